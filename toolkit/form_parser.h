// Syntax of stored window descriptions: text to a tree of object nodes, with
// line numbers for the reader's messages. No components are touched here.
#pragma once

#include "toolkit/exceptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

struct TDescValue {
  enum Kind { Integer, Float, String, Ident, Set, Binary, List };
  Kind ValueKind = Integer;
  qint64 IntValue = 0;
  double Real = 0;
  QString Text;            // String, Ident
  QStringList Idents;      // Set
  QByteArray Bytes;        // Binary
  std::vector<TDescValue> Items;  // List
  int Line = 0;

  static QString KindName(Kind k);
};

struct TDescProperty {
  QString Name;  // dotted path, e.g. "Font.Name"
  TDescValue Value;
  int Line = 0;
};

struct TDescObject {
  QString Name;
  QString ClassName;
  int Line = 0;
  std::vector<TDescProperty> Properties;
  std::vector<std::unique_ptr<TDescObject>> Children;
};

// Limits that keep a hostile description from exhausting memory or stack.
constexpr int kMaxDescriptionNesting = 64;
constexpr qint64 kMaxDescriptionSize = qint64(64) * 1024 * 1024;

// Parses a whole description; raises EReadError "FILE:LINE: message".
std::unique_ptr<TDescObject> ParseDescription(const QString& text, const QString& fileName);

// Writing helpers shared with the writer.
QString QuoteDescString(const QString& s);
// Whether a property of the type is a whole number (written as one, or as a
// name of its TIntegerIdents table).
bool IsDescIntegerType(int typeId);
