#include "toolkit/ini_file.h"

#include "toolkit/regular_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
QString Fold(const QString& s) { return s.toCaseFolded(); }

// Settings files are small; anything bigger is no settings file of ours.
constexpr qint64 kMaxIniFileSize = 4 * 1024 * 1024;

// A missing file is an empty document; a FIFO, a device or an oversized file
// is refused rather than read (and never replaced by a write).
QByteArray ReadBytes(const QString& fileName)
{
  if (fileName.isEmpty()) return {};
  TRegularFileRead r = ReadRegularFile(fileName, kMaxIniFileSize);
  if (r.Status == TRegularFileRead::Refused)
    throw EIniFileException(QStringLiteral("无法读取 %1：%2").arg(fileName, r.Error));
  return std::move(r.Data);
}

void WriteBytes(const QString& fileName, const QByteArray& data)
{
  if (fileName.isEmpty()) throw EIniFileException(QStringLiteral("Unable to write an INI file without a name"));
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

void TIniDocument::Parse(const QStringList& lines) { Parse(lines, {}); }

void TIniDocument::ParseBytes(QByteArray data)
{
  if (data.startsWith("\xEF\xBB\xBF")) data.remove(0, 3);
  // Split as SplitTextLines does ("\r", "\n", "\r\n"); line breaks never sit
  // inside a UTF-8 sequence, so each line decodes on its own.
  QStringList lines;
  std::vector<QByteArray> originals;
  const auto add = [&](QByteArrayView line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(line);
    if (!utf8.hasError()) {
      lines.append(text);
      originals.emplace_back();
      return;
    }
    // Not UTF-8 (Latin-1 from another editor, or damage): read as Latin-1 and
    // written back byte for byte unless the program changes the line.
    lines.append(QString::fromLatin1(line));
    originals.emplace_back(line.toByteArray());
  };
  qsizetype start = 0;
  const qsizetype n = data.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = data.at(i);
    if (c == '\r' || c == '\n') {
      add(QByteArrayView(data).sliced(start, i - start));
      if (c == '\r' && i + 1 < n && data.at(i + 1) == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < n) add(QByteArrayView(data).sliced(start));
  Parse(lines, originals);
}

void TIniDocument::Parse(const QStringList& lines, const std::vector<QByteArray>& originals)
{
  Clear();
  Section* current = nullptr;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    const QByteArray original = i < qsizetype(originals.size()) ? originals[size_t(i)] : QByteArray();
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']') && t.size() >= 2) {
      sections_.push_back(Section{t.mid(1, t.size() - 2).trimmed(), line, original, {}});
      current = &sections_.back();
      continue;
    }
    if (!current) {
      preamble_.push_back(Entry{QString(), QString(), line, original});
      continue;
    }
    Entry e;
    const qsizetype eq = t.indexOf(u'=');
    if (eq > 0 && !t.startsWith(u';')) {
      e.Key = t.left(eq).trimmed();
      e.Value = t.mid(eq + 1).trimmed();
    }
    e.Raw = line;
    e.Original = original;
    current->Entries.push_back(std::move(e));
  }
}

QStringList TIniDocument::Lines() const
{
  QStringList lines;
  for (const Entry& e : preamble_) lines.append(e.Raw);
  for (const Section& s : sections_) {
    lines.append(s.Header.isEmpty() ? u'[' + s.Name + u']' : s.Header);
    for (const Entry& e : s.Entries) lines.append(e.Edited ? e.Key + u'=' + e.Value : e.Raw);
  }
  return lines;
}

QByteArray TIniDocument::Bytes() const
{
  QByteArray data;
  const auto add = [&data](const QByteArray& original, const QString& text) {
    data += original.isNull() ? text.toUtf8() : original;
    data += '\n';
  };
  for (const Entry& e : preamble_) add(e.Original, e.Raw);
  for (const Section& s : sections_) {
    add(s.Original, s.Header.isEmpty() ? u'[' + s.Name + u']' : s.Header);
    for (const Entry& e : s.Entries) add(e.Edited ? QByteArray() : e.Original, e.Edited ? e.Key + u'=' + e.Value : e.Raw);
  }
  return data;
}

void TIniDocument::Reindex() const
{
  index_.clear();
  for (int i = 0; i < static_cast<int>(sections_.size()); ++i) {
    const QString key = Fold(sections_[i].Name);
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
  for (int i = 0; i < static_cast<int>(s.Entries.size()); ++i)
    if (!s.Entries[i].Key.isEmpty() && s.Entries[i].Key.compare(key, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

const QString* TIniDocument::Find(const QString& section, const QString& key) const
{
  const int si = FindSection(section);
  if (si < 0) return nullptr;
  const Section& s = sections_[si];
  const int ki = FindKey(s, key);
  return ki < 0 ? nullptr : &s.Entries[ki].Value;
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
    const auto blank = [](const Entry& e) { return e.Key.isEmpty() && e.Raw.trimmed().isEmpty(); };
    if (!sections_.empty() && !sections_.back().Entries.empty() && !blank(sections_.back().Entries.back()))
      sections_.back().Entries.push_back(Entry{});
    else if (sections_.empty() && !preamble_.empty() && !blank(preamble_.back()))
      preamble_.push_back(Entry{});
    sections_.push_back(Section{section.trimmed(), QString(), QByteArray(), {}});
    indexValid_ = false;
    si = static_cast<int>(sections_.size()) - 1;
  }
  Section& s = sections_[si];
  const int ki = FindKey(s, k);
  if (ki >= 0) {
    // An unchanged value keeps its line as it was, bytes and all.
    if (s.Entries[ki].Value != v) {
      s.Entries[ki].Value = v;
      s.Entries[ki].Edited = true;
    }
    return;
  }
  // After the section's last key, before the blank lines that close it.
  int pos = static_cast<int>(s.Entries.size());
  while (pos > 0 && s.Entries[pos - 1].Key.isEmpty() && s.Entries[pos - 1].Raw.trimmed().isEmpty()) --pos;
  s.Entries.insert(s.Entries.begin() + pos, Entry{k, v, QString(), QByteArray(), true});
}

QStringList TIniDocument::SectionKeys(const QString& section) const
{
  QStringList keys;
  const int si = FindSection(section);
  if (si >= 0)
    for (const Entry& e : sections_[si].Entries)
      if (!e.Key.isEmpty()) keys.append(e.Key);
  return keys;
}

QStringList TIniDocument::SectionValues(const QString& section) const
{
  QStringList values;
  const int si = FindSection(section);
  if (si >= 0)
    for (const Entry& e : sections_[si].Entries)
      if (!e.Key.isEmpty()) values.append(e.Key + u'=' + e.Value);
  return values;
}

QStringList TIniDocument::SectionNames() const
{
  QStringList names;
  if (!indexValid_) Reindex();
  for (int i = 0; i < static_cast<int>(sections_.size()); ++i)
    if (index_.value(Fold(sections_[i].Name)) == i) names.append(sections_[i].Name);
  return names;
}

void TIniDocument::EraseSection(const QString& section)
{
  const QString key = Fold(section);
  std::erase_if(sections_, [&](const Section& s) { return Fold(s.Name) == key; });
  indexValid_ = false;
}

void TIniDocument::DeleteKey(const QString& section, const QString& key)
{
  const int si = FindSection(section);
  if (si < 0) return;
  std::erase_if(sections_[si].Entries,
                [&](const Entry& e) { return !e.Key.isEmpty() && e.Key.compare(key, Qt::CaseInsensitive) == 0; });
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

TMemIniFile::TMemIniFile(const QString& fileName) : TCustomIniFile(fileName) { doc_.ParseBytes(ReadBytes(fileName)); }

TMemIniFile::TMemIniFile(const QStringList& lines) : TCustomIniFile(QString()) { doc_.Parse(lines); }

void TMemIniFile::UpdateFile() const { WriteBytes(FileName(), doc_.Bytes()); }

// ---------------------------------------------------------------- TIniFile

TIniFile::TIniFile(const QString& fileName) : TCustomIniFile(fileName) {}

void TIniFile::Refresh() const { doc_.ParseBytes(ReadBytes(FileName())); }

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
  fresh.ParseBytes(ReadBytes(FileName()));
  change(fresh);
  WriteBytes(FileName(), fresh.Bytes());
  doc_ = std::move(fresh);
}
