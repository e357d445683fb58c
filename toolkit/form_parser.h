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
  Kind kind = Integer;
  qint64 integer = 0;
  double real = 0;
  QString text;            // String, Ident
  QStringList idents;      // Set
  QByteArray bytes;        // Binary
  std::vector<TDescValue> items;  // List
  int line = 0;

  static QString KindName(Kind k);
};

struct TDescProperty {
  QString name;  // dotted path, e.g. "Font.Name"
  TDescValue value;
  int line = 0;
};

struct TDescObject {
  QString name;
  QString className;
  int line = 0;
  std::vector<TDescProperty> properties;
  std::vector<std::unique_ptr<TDescObject>> children;
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
