// A list of text lines with the desktop toolkit's conveniences: "name=value"
// lines, case-insensitive look-up, the whole list as one text, files.
#pragma once

#include <QString>
#include <QStringList>

class TStringList {
public:
  TStringList() = default;
  TStringList(const QStringList& lines) : lines_(lines) {}

  int Add(const QString& s);
  void Insert(int index, const QString& s);
  void Delete(int index);
  void Clear() { lines_.clear(); }
  int Count() const { return static_cast<int>(lines_.size()); }
  const QString& Strings(int index) const { return lines_.at(index); }
  void SetStrings(int index, const QString& s) { lines_[index] = s; }
  const QString& operator[](int index) const { return lines_.at(index); }
  // First line equal to `s` without regard to case, or -1.
  int IndexOf(const QString& s) const;

  // The lines joined, each followed by a line break; assigning splits at
  // CR LF, LF or CR.
  QString Text() const;
  void SetText(const QString& text);

  // "name=value" lines: the name is the text before the first "=".
  QString Names(int index) const;
  QString ValueFromIndex(int index) const;
  int IndexOfName(const QString& name) const;  // case-insensitive, first match
  QString Values(const QString& name) const;   // "" when there is no such line
  // Replaces the first line of that name, or adds one; an empty value removes it.
  void SetValues(const QString& name, const QString& value);

  // UTF-8 text; a byte-order mark is skipped. Raise EFOpenError / EFCreateError.
  void LoadFromFile(const QString& fileName);
  void SaveToFile(const QString& fileName) const;

  const QStringList& Lines() const { return lines_; }
  bool operator==(const TStringList& other) const { return lines_ == other.lines_; }

private:
  QStringList lines_;
};

// Splits text into lines at CR LF, LF or CR; a final line break adds no empty line.
QStringList SplitTextLines(const QString& text);
