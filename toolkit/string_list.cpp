#include "toolkit/string_list.h"

#include "toolkit/exceptions.h"
#include "toolkit/regular_file.h"

#include <QSaveFile>

namespace {
// Text files of lines (a skin's definitions): far below this.
constexpr qint64 kMaxStringListFile = 64 * 1024 * 1024;
} // namespace

QStringList SplitTextLines(const QString& text)
{
  QStringList lines;
  qsizetype start = 0;
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text.at(i);
    if (c == u'\r' || c == u'\n') {
      lines.append(text.mid(start, i - start));
      if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ++i;
      start = i + 1;
    }
  }
  if (start < n) lines.append(text.mid(start));
  return lines;
}

int TStringList::Add(const QString& s)
{
  lines_.append(s);
  return Count() - 1;
}

void TStringList::Insert(int index, const QString& s)
{
  if (index < 0 || index > Count())
    throw EConvertError(QStringLiteral("List index out of bounds (%1)").arg(index));
  lines_.insert(index, s);
}

void TStringList::Delete(int index)
{
  if (index < 0 || index >= Count())
    throw EConvertError(QStringLiteral("List index out of bounds (%1)").arg(index));
  lines_.removeAt(index);
}

int TStringList::IndexOf(const QString& s) const
{
  for (int i = 0; i < Count(); ++i)
    if (lines_.at(i).compare(s, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

QString TStringList::Text() const
{
  QString text;
  for (const QString& line : lines_) {
    text += line;
    text += u'\n';
  }
  return text;
}

void TStringList::SetText(const QString& text) { lines_ = SplitTextLines(text); }

QString TStringList::Names(int index) const
{
  const QString& line = lines_.at(index);
  const qsizetype eq = line.indexOf(u'=');
  return eq < 0 ? QString() : line.left(eq);
}

QString TStringList::ValueFromIndex(int index) const
{
  const QString& line = lines_.at(index);
  const qsizetype eq = line.indexOf(u'=');
  return eq < 0 ? QString() : line.mid(eq + 1);
}

int TStringList::IndexOfName(const QString& name) const
{
  for (int i = 0; i < Count(); ++i) {
    const QString& line = lines_.at(i);
    const qsizetype eq = line.indexOf(u'=');
    if (eq >= 0 && QStringView(line).left(eq).compare(name, Qt::CaseInsensitive) == 0) return i;
  }
  return -1;
}

QString TStringList::Values(const QString& name) const
{
  const int i = IndexOfName(name);
  return i < 0 ? QString() : ValueFromIndex(i);
}

void TStringList::SetValues(const QString& name, const QString& value)
{
  const int i = IndexOfName(name);
  if (value.isEmpty()) {
    if (i >= 0) lines_.removeAt(i);
    return;
  }
  if (i >= 0)
    lines_[i] = name + u'=' + value;
  else
    lines_.append(name + u'=' + value);
}

void TStringList::LoadFromFile(const QString& fileName)
{
  QByteArray data = ReadRegularFileOrRaise(fileName, kMaxStringListFile);
  if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
  SetText(QString::fromUtf8(data));
}

void TStringList::SaveToFile(const QString& fileName) const
{
  QSaveFile f(fileName);
  if (!f.open(QIODevice::WriteOnly))
    throw EFCreateError(QStringLiteral("Cannot create file %1. %2").arg(fileName, f.errorString()));
  const QByteArray data = Text().toUtf8();
  if (f.write(data) != data.size() || !f.commit())
    throw EFCreateError(QStringLiteral("Cannot write file %1. %2").arg(fileName, f.errorString()));
}
