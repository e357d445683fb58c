#include "toolkit/ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
QString Fold(const QString& s) { return s.toCaseFolded(); }

// Reads a file as UTF-8 lines; a missing file is an empty document.
QStringList ReadLines(const QString& fileName)
{
  if (fileName.isEmpty() || !QFileInfo::exists(fileName)) return {};
  QFile f(fileName);
  if (!f.open(QIODevice::ReadOnly))
    throw EIniFileException(QStringLiteral("Unable to read %1: %2").arg(fileName, f.errorString()));
  QByteArray data = f.readAll();
  if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
  return SplitTextLines(QString::fromUtf8(data));
}

void WriteLines(const QString& fileName, const QStringList& lines)
{
  if (fileName.isEmpty()) throw EIniFileException(QStringLiteral("Unable to write an INI file without a name"));
  QByteArray data;
  for (const QString& line : lines) {
    data += line.toUtf8();
    data += '\n';
  }
  // Written to a temporary file and renamed: a failed write never leaves half a
  // file. Unbuffered, so that a write the disk refuses fails here: a buffered
  // one would fail only in commit's flush, which renames the short file anyway.
  QSaveFile f(fileName);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(data) != data.size() || !f.commit())
    throw EIniFileException(QStringLiteral("Unable to write to %1: %2").arg(fileName, f.errorString()));
}
} // namespace

bool TryParseIniInteger(QStringView text, int& value)
{
  text = text.trimmed();
  bool negative = false;
  if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text = text.mid(1);
  }
  int base = 10;
  if (text.startsWith(u'$')) {
    base = 16;
    text = text.mid(1);
  } else if (text.startsWith(u"0x") || text.startsWith(u"0X")) {
    base = 16;
    text = text.mid(2);
  }
  if (text.isEmpty()) return false;
  quint64 n = 0;
  for (QChar c : text) {
    int d;
    if (c >= u'0' && c <= u'9')
      d = c.unicode() - '0';
    else if (base == 16 && c >= u'a' && c <= u'f')
      d = c.unicode() - 'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F')
      d = c.unicode() - 'A' + 10;
    else
      return false;
    n = n * base + d;
    if (n > 0xFFFFFFFFull) return false;
  }
  if (base == 10) {
    if (n > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
    value = negative ? static_cast<int>(-static_cast<qint64>(n)) : static_cast<int>(n);
  } else {
    // Hexadecimal covers the full 32 bits: $FFFFFFFF is -1.
    const qint32 v = static_cast<qint32>(static_cast<quint32>(n));
    value = negative ? -v : v;
  }
  return true;
}

// ---------------------------------------------------------------- TIniDocument

void TIniDocument::Clear()
{
  preamble_.clear();
  sections_.clear();
  indexValid_ = false;
}

void TIniDocument::Parse(const QStringList& lines)
{
  Clear();
  Section* current = nullptr;
  for (const QString& line : lines) {
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']') && t.size() >= 2) {
      sections_.push_back(Section{t.mid(1, t.size() - 2).trimmed(), line, {}});
      current = &sections_.back();
      continue;
    }
    Entry e;
    const qsizetype eq = t.indexOf(u'=');
    if (eq > 0 && !t.startsWith(u';')) {
      e.key = t.left(eq).trimmed();
      e.value = t.mid(eq + 1).trimmed();
    }
    if (e.key.isEmpty()) e.raw = line;
    if (current)
      current->entries.push_back(std::move(e));
    else
      preamble_.append(line);
  }
}

QStringList TIniDocument::Lines() const
{
  QStringList lines = preamble_;
  for (const Section& s : sections_) {
    lines.append(s.header.isEmpty() ? u'[' + s.name + u']' : s.header);
    for (const Entry& e : s.entries) lines.append(e.key.isEmpty() ? e.raw : e.key + u'=' + e.value);
  }
  return lines;
}

void TIniDocument::Reindex() const
{
  index_.clear();
  for (int i = 0; i < static_cast<int>(sections_.size()); ++i) {
    const QString key = Fold(sections_[i].name);
    if (!index_.contains(key)) index_.insert(key, i);
  }
  indexValid_ = true;
}

int TIniDocument::FindSection(const QString& section) const
{
  if (!indexValid_) Reindex();
  return index_.value(Fold(section), -1);
}

int TIniDocument::FindKey(const Section& s, const QString& key)
{
  for (int i = 0; i < static_cast<int>(s.entries.size()); ++i)
    if (!s.entries[i].key.isEmpty() && s.entries[i].key.compare(key, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

const QString* TIniDocument::Find(const QString& section, const QString& key) const
{
  const int si = FindSection(section);
  if (si < 0) return nullptr;
  const Section& s = sections_[si];
  const int ki = FindKey(s, key);
  return ki < 0 ? nullptr : &s.entries[ki].value;
}

void TIniDocument::Write(const QString& section, const QString& key, const QString& value)
{
  const QString k = key.trimmed();
  if (k.isEmpty() || k.contains(u'=')) throw EIniFileException(QStringLiteral("Invalid INI key \"%1\"").arg(key));
  QString v = value;
  v.replace(u'\r', u' ').replace(u'\n', u' ');
  int si = FindSection(section);
  if (si < 0) {
    // A new section goes last, set off by a blank line.
    const auto blank = [](const Entry& e) { return e.key.isEmpty() && e.raw.trimmed().isEmpty(); };
    if (!sections_.empty() && !sections_.back().entries.empty() && !blank(sections_.back().entries.back()))
      sections_.back().entries.push_back(Entry{QString(), QString(), QString()});
    else if (sections_.empty() && !preamble_.isEmpty() && !preamble_.back().trimmed().isEmpty())
      preamble_.append(QString());
    sections_.push_back(Section{section.trimmed(), QString(), {}});
    indexValid_ = false;
    si = static_cast<int>(sections_.size()) - 1;
  }
  Section& s = sections_[si];
  const int ki = FindKey(s, k);
  if (ki >= 0) {
    s.entries[ki].value = v;
    return;
  }
  // After the section's last key, before the blank lines that close it.
  int pos = static_cast<int>(s.entries.size());
  while (pos > 0 && s.entries[pos - 1].key.isEmpty() && s.entries[pos - 1].raw.trimmed().isEmpty()) --pos;
  s.entries.insert(s.entries.begin() + pos, Entry{k, v, QString()});
}

QStringList TIniDocument::SectionKeys(const QString& section) const
{
  QStringList keys;
  const int si = FindSection(section);
  if (si >= 0)
    for (const Entry& e : sections_[si].entries)
      if (!e.key.isEmpty()) keys.append(e.key);
  return keys;
}

QStringList TIniDocument::SectionValues(const QString& section) const
{
  QStringList values;
  const int si = FindSection(section);
  if (si >= 0)
    for (const Entry& e : sections_[si].entries)
      if (!e.key.isEmpty()) values.append(e.key + u'=' + e.value);
  return values;
}

QStringList TIniDocument::SectionNames() const
{
  QStringList names;
  if (!indexValid_) Reindex();
  for (int i = 0; i < static_cast<int>(sections_.size()); ++i)
    if (index_.value(Fold(sections_[i].name)) == i) names.append(sections_[i].name);
  return names;
}

void TIniDocument::EraseSection(const QString& section)
{
  const QString key = Fold(section);
  std::erase_if(sections_, [&](const Section& s) { return Fold(s.name) == key; });
  indexValid_ = false;
}

void TIniDocument::DeleteKey(const QString& section, const QString& key)
{
  const int si = FindSection(section);
  if (si < 0) return;
  std::erase_if(sections_[si].entries,
                [&](const Entry& e) { return !e.key.isEmpty() && e.key.compare(key, Qt::CaseInsensitive) == 0; });
}

// ---------------------------------------------------------------- TCustomIniFile

QString TCustomIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default) const
{
  const QString* v = ReadDocument().Find(Section, Ident);
  return v ? *v : Default;
}

int TCustomIniFile::ReadInteger(const QString& Section, const QString& Ident, int Default) const
{
  const QString* v = ReadDocument().Find(Section, Ident);
  int value;
  return v && TryParseIniInteger(*v, value) ? value : Default;
}

bool TCustomIniFile::ReadBool(const QString& Section, const QString& Ident, bool Default) const
{
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
  Modify([&](TIniDocument& d) { d.Write(Section, Ident, Value); });
}

void TCustomIniFile::WriteInteger(const QString& Section, const QString& Ident, int Value)
{
  WriteString(Section, Ident, QString::number(Value));
}

void TCustomIniFile::WriteBool(const QString& Section, const QString& Ident, bool Value)
{
  WriteString(Section, Ident, Value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TCustomIniFile::ReadSection(const QString& Section, TStringList& Strings) const
{
  Strings = TStringList(ReadDocument().SectionKeys(Section));
}

void TCustomIniFile::ReadSections(TStringList& Strings) const { Strings = TStringList(ReadDocument().SectionNames()); }

void TCustomIniFile::ReadSectionValues(const QString& Section, TStringList& Strings) const
{
  Strings = TStringList(ReadDocument().SectionValues(Section));
}

bool TCustomIniFile::SectionExists(const QString& Section) const { return ReadDocument().SectionExists(Section); }

bool TCustomIniFile::ValueExists(const QString& Section, const QString& Ident) const
{
  return ReadDocument().Find(Section, Ident) != nullptr;
}

void TCustomIniFile::EraseSection(const QString& Section)
{
  Modify([&](TIniDocument& d) { d.EraseSection(Section); });
}

void TCustomIniFile::DeleteKey(const QString& Section, const QString& Ident)
{
  Modify([&](TIniDocument& d) { d.DeleteKey(Section, Ident); });
}

// ---------------------------------------------------------------- TMemIniFile

TMemIniFile::TMemIniFile(const QString& fileName) : TCustomIniFile(fileName) { doc_.Parse(ReadLines(fileName)); }

TMemIniFile::TMemIniFile(const QStringList& lines) : TCustomIniFile(QString()) { doc_.Parse(lines); }

void TMemIniFile::UpdateFile() const { WriteLines(FileName(), doc_.Lines()); }

// ---------------------------------------------------------------- TIniFile

TIniFile::TIniFile(const QString& fileName) : TCustomIniFile(fileName) {}

void TIniFile::Refresh() const { doc_.Parse(ReadLines(FileName())); }

const TIniDocument& TIniFile::ReadDocument() const
{
  Refresh();
  return doc_;
}

void TIniFile::Modify(const std::function<void(TIniDocument&)>& change)
{
  // Change what is on disk now, not an older copy; on failure the file and
  // this object stay as they were.
  TIniDocument fresh;
  fresh.Parse(ReadLines(FileName()));
  change(fresh);
  WriteLines(FileName(), fresh.Lines());
  doc_ = std::move(fresh);
}
