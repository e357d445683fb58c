// INI files with the desktop toolkit's rules: "[section]" lines open sections,
// other lines are key=value; section and key names are matched without regard
// to case and the first match wins; integers are decimal or hexadecimal after
// "0x", "0X" or "$", and text that is no number gives the default; booleans
// are integers (0 false, anything else true) and are written as 1 or 0.
//
// TMemIniFile is a document in memory (built from text lines or a file);
// TIniFile works on a file on disk: reads see the file, every write goes back
// to the file at once and keeps the rest of it (comments, other sections,
// order). A write that cannot reach the disk raises EIniFileException and
// leaves the object as the file is.
#pragma once

#include "toolkit/exceptions.h"
#include "toolkit/string_list.h"

#include <functional>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

VELMORA_EXCEPTION(EIniFileException, EInOutError);

// Parses an integer as the INI readers do; false when the text is no number
// (or does not fit 32 bits; hexadecimal up to FFFFFFFF wraps to negative).
bool TryParseIniInteger(QStringView text, int& value);

// The parsed document: sections in file order, each with its lines. Lines
// that are no key=value (comments, blanks) are kept so writing preserves them.
// Lines go back as they were read unless the program changes them; a file's
// lines that are not UTF-8 read as Latin-1 and go back byte for byte.
class TIniDocument {
public:
  void Parse(const QStringList& lines);
  // The file's contents (UTF-8, an optional byte-order mark, any line breaks).
  void ParseBytes(QByteArray data);
  QStringList Lines() const;
  // What goes into the file: the lines, each ended by "\n".
  QByteArray Bytes() const;
  void Clear();

  const QString* Find(const QString& section, const QString& key) const;
  void Write(const QString& section, const QString& key, const QString& value);
  bool SectionExists(const QString& section) const { return FindSection(section) >= 0; }
  QStringList SectionKeys(const QString& section) const;
  QStringList SectionValues(const QString& section) const;
  QStringList SectionNames() const;
  void EraseSection(const QString& section);
  void DeleteKey(const QString& section, const QString& key);

private:
  struct Entry {
    QString Key;       // empty for a line that is no key=value
    QString Value;
    QString Raw;       // the line as read
    QByteArray Original;  // the line's bytes when they were no UTF-8 (null otherwise)
    bool Edited = false;  // the program set the value: written as key=value
  };
  struct Section {
    QString Name;
    QString Header;    // the line as read (kept when written back)
    QByteArray Original;
    std::vector<Entry> Entries;
  };
  void Parse(const QStringList& lines, const std::vector<QByteArray>& originals);
  int FindSection(const QString& section) const;
  static int FindKey(const Section& s, const QString& key);
  void Reindex() const;

  std::vector<Entry> preamble_;   // lines before the first section (never keys)
  std::vector<Section> sections_;
  mutable QHash<QString, int> index_;  // folded name -> first section
  mutable bool indexValid_ = false;
};

class TCustomIniFile {
public:
  explicit TCustomIniFile(QString fileName) : fileName_(std::move(fileName)) {}
  virtual ~TCustomIniFile() = default;
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;

  const QString& FileName() const { return fileName_; }

  QString ReadString(const QString& Section, const QString& Ident, const QString& Default) const;
  int ReadInteger(const QString& Section, const QString& Ident, int Default) const;
  bool ReadBool(const QString& Section, const QString& Ident, bool Default) const;
  void WriteString(const QString& Section, const QString& Ident, const QString& Value);
  void WriteInteger(const QString& Section, const QString& Ident, int Value);
  void WriteBool(const QString& Section, const QString& Ident, bool Value);

  // The keys of a section, in order.
  void ReadSection(const QString& Section, TStringList& Strings) const;
  void ReadSections(TStringList& Strings) const;
  // "key=value" lines of a section.
  void ReadSectionValues(const QString& Section, TStringList& Strings) const;
  bool SectionExists(const QString& Section) const;
  bool ValueExists(const QString& Section, const QString& Ident) const;
  void EraseSection(const QString& Section);
  void DeleteKey(const QString& Section, const QString& Ident);

protected:
  // The document as it stands for a read.
  virtual const TIniDocument& ReadDocument() const = 0;
  // Applies a change; an on-disk file writes it through.
  virtual void Modify(const std::function<void(TIniDocument&)>& change) = 0;

private:
  QString fileName_;
};

class TMemIniFile : public TCustomIniFile {
public:
  // Reads the file when it exists (UTF-8); a missing file gives an empty
  // document. A FIFO, a device or a file over 4 MB raises EIniFileException.
  explicit TMemIniFile(const QString& fileName = QString());
  explicit TMemIniFile(const QStringList& lines);

  void SetStrings(const QStringList& lines) { doc_.Parse(lines); }
  void GetStrings(TStringList& lines) const { lines = TStringList(doc_.Lines()); }
  QStringList Lines() const { return doc_.Lines(); }
  void Clear() { doc_.Clear(); }
  // Writes the document to FileName; raises EIniFileException when it cannot.
  void UpdateFile() const;

protected:
  const TIniDocument& ReadDocument() const override { return doc_; }
  void Modify(const std::function<void(TIniDocument&)>& change) override { change(doc_); }

private:
  TIniDocument doc_;
};

class TIniFile : public TCustomIniFile {
public:
  explicit TIniFile(const QString& fileName);

protected:
  const TIniDocument& ReadDocument() const override;
  void Modify(const std::function<void(TIniDocument&)>& change) override;

private:
  // Reads the file as it is now (it is small; another program may change it).
  void Refresh() const;
  mutable TIniDocument doc_;
};
