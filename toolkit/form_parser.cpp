#include "toolkit/form_parser.h"

#include <QMetaType>
#include <cmath>
#include <limits>

QString TDescValue::KindName(Kind k)
{
  switch (k) {
  case Integer: return QStringLiteral("an integer");
  case Float: return QStringLiteral("a number");
  case String: return QStringLiteral("a string");
  case Ident: return QStringLiteral("an identifier");
  case Set: return QStringLiteral("a set");
  case Binary: return QStringLiteral("binary data");
  case List: return QStringLiteral("a list");
  }
  return QString();
}

namespace {

class Parser {
public:
  Parser(const QString& text, const QString& file) : s_(text), file_(file) {}

  std::unique_ptr<TDescObject> Run()
  {
    if (s_.size() > kMaxDescriptionSize) Fail(QStringLiteral("description is too large"));
    SkipSpace();
    if (AtEnd()) Fail(QStringLiteral("empty description: expected \"object\""));
    auto root = ReadObject(0);
    SkipSpace();
    if (!AtEnd()) Fail(QStringLiteral("unexpected text after the final \"end\""));
    return root;
  }

private:
  [[noreturn]] void Fail(const QString& message, int line = 0) const
  {
    throw EReadError(file_, line ? line : line_, message);
  }

  bool AtEnd() const { return pos_ >= s_.size(); }
  QChar Peek(qsizetype ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : QChar(); }
  QChar Next()
  {
    QChar c = s_[pos_++];
    if (c == u'\n') ++line_;
    return c;
  }

  // Skips blanks, line breaks and // comments.
  void SkipSpace()
  {
    while (!AtEnd()) {
      QChar c = Peek();
      if (c == u'/' && Peek(1) == u'/') {
        while (!AtEnd() && Peek() != u'\n') Next();
      } else if (c.isSpace()) {
        Next();
      } else {
        break;
      }
    }
  }

  static bool IdentStart(QChar c) { return c.isLetter() || c == u'_'; }
  static bool IdentPart(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

  QString ReadIdent(const char* what)
  {
    SkipSpace();
    if (AtEnd() || !IdentStart(Peek()))
      Fail(AtEnd() ? QStringLiteral("unexpected end of text: expected %1").arg(QLatin1String(what))
                   : QStringLiteral("expected %1, found \"%2\"").arg(QLatin1String(what)).arg(Peek()));
    qsizetype start = pos_;
    while (!AtEnd() && IdentPart(Peek())) Next();
    return s_.mid(start, pos_ - start);
  }

  // A property path: identifiers joined by dots.
  QString ReadPath()
  {
    QString path = ReadIdent("a property name");
    while (Peek() == u'.') {
      Next();
      path += u'.' + ReadIdent("a property name after \".\"");
    }
    return path;
  }

  void Expect(QChar c)
  {
    SkipSpace();
    if (AtEnd()) Fail(QStringLiteral("unexpected end of text: expected \"%1\"").arg(c));
    if (Peek() != c) Fail(QStringLiteral("expected \"%1\", found \"%2\"").arg(c).arg(Peek()));
    Next();
  }

  // Looks at the next word without consuming it.
  QString PeekWord()
  {
    SkipSpace();
    qsizetype p = pos_;
    while (p < s_.size() && IdentPart(s_[p])) ++p;
    return s_.mid(pos_, p - pos_);
  }

  std::unique_ptr<TDescObject> ReadObject(int depth)
  {
    if (depth > kMaxDescriptionNesting) Fail(QStringLiteral("objects are nested too deeply"));
    SkipSpace();
    const int objectLine = line_;
    QString keyword = ReadIdent("\"object\"");
    if (keyword.compare(QLatin1String("object"), Qt::CaseInsensitive) != 0 &&
        keyword.compare(QLatin1String("inherited"), Qt::CaseInsensitive) != 0)
      Fail(QStringLiteral("expected \"object\", found \"%1\"").arg(keyword), objectLine);
    auto obj = std::make_unique<TDescObject>();
    obj->Line = objectLine;
    obj->Name = ReadIdent("a component name");
    Expect(u':');
    obj->ClassName = ReadIdent("a class name");
    for (;;) {
      SkipSpace();
      if (AtEnd())
        Fail(QStringLiteral("object \"%1\" is not terminated: expected \"end\"").arg(obj->Name), objectLine);
      QString word = PeekWord();
      if (word.compare(QLatin1String("end"), Qt::CaseInsensitive) == 0) {
        ReadIdent("\"end\"");
        return obj;
      }
      if (word.compare(QLatin1String("object"), Qt::CaseInsensitive) == 0 ||
          word.compare(QLatin1String("inherited"), Qt::CaseInsensitive) == 0) {
        obj->Children.push_back(ReadObject(depth + 1));
        continue;
      }
      TDescProperty prop;
      prop.Line = line_;
      prop.Name = ReadPath();
      Expect(u'=');
      prop.Value = ReadValue(0);
      obj->Properties.push_back(std::move(prop));
    }
  }

  TDescValue ReadValue(int depth)
  {
    if (depth > kMaxDescriptionNesting) Fail(QStringLiteral("values are nested too deeply"));
    SkipSpace();
    TDescValue v;
    v.Line = line_;
    if (AtEnd()) Fail(QStringLiteral("unexpected end of text: expected a value"));
    QChar c = Peek();
    if (c == u'\'' || c == u'#') {
      v.ValueKind = TDescValue::String;
      v.Text = ReadString();
    } else if (c == u'[') {
      v.ValueKind = TDescValue::Set;
      Next();
      SkipSpace();
      if (Peek() != u']') {
        for (;;) {
          v.Idents << ReadIdent("a set element");
          SkipSpace();
          if (Peek() == u',') {
            Next();
            continue;
          }
          break;
        }
      }
      Expect(u']');
    } else if (c == u'{') {
      v.ValueKind = TDescValue::Binary;
      v.Bytes = ReadBinary();
    } else if (c == u'(') {
      v.ValueKind = TDescValue::List;
      Next();
      for (;;) {
        SkipSpace();
        if (AtEnd()) Fail(QStringLiteral("list is not terminated: expected \")\""), v.Line);
        if (Peek() == u')') {
          Next();
          break;
        }
        v.Items.push_back(ReadValue(depth + 1));
      }
    } else if (c.isDigit() || c == u'-' || c == u'+' || c == u'$') {
      ReadNumber(v);
    } else if (IdentStart(c)) {
      v.ValueKind = TDescValue::Ident;
      v.Text = ReadIdent("a value");
    } else {
      Fail(QStringLiteral("expected a value, found \"%1\"").arg(c));
    }
    return v;
  }

  void ReadNumber(TDescValue& v)
  {
    qsizetype start = pos_;
    bool negative = false;
    if (Peek() == u'-' || Peek() == u'+') negative = Next() == u'-';
    int base = 10;
    if (Peek() == u'$') {
      Next();
      base = 16;
    } else if (Peek() == u'0' && (Peek(1) == u'x' || Peek(1) == u'X')) {
      Next();
      Next();
      base = 16;
    }
    qsizetype digitsStart = pos_;
    bool isFloat = false;
    while (!AtEnd()) {
      QChar c = Peek();
      if (base == 16 ? std::isxdigit(c.toLatin1()) && c.unicode() < 128 : c.isDigit()) {
        Next();
      } else if (base == 10 && (c == u'.' || c == u'e' || c == u'E')) {
        isFloat = true;
        Next();
        if ((c == u'e' || c == u'E') && (Peek() == u'-' || Peek() == u'+')) Next();
      } else {
        break;
      }
    }
    QString digits = s_.mid(digitsStart, pos_ - digitsStart);
    if (digits.isEmpty()) Fail(QStringLiteral("invalid number \"%1\"").arg(s_.mid(start, pos_ - start + 1)));
    if (!AtEnd() && IdentPart(Peek()))
      Fail(QStringLiteral("invalid number \"%1%2\"").arg(s_.mid(start, pos_ - start)).arg(Peek()));
    bool ok = false;
    if (isFloat) {
      v.ValueKind = TDescValue::Float;
      v.Real = s_.mid(start, pos_ - start).toDouble(&ok);
      if (!ok || !std::isfinite(v.Real)) Fail(QStringLiteral("invalid number \"%1\"").arg(s_.mid(start, pos_ - start)));
      return;
    }
    v.ValueKind = TDescValue::Integer;
    quint64 magnitude = digits.toULongLong(&ok, base);
    if (!ok || magnitude > quint64(std::numeric_limits<qint64>::max()))
      Fail(QStringLiteral("number \"%1\" is out of range").arg(s_.mid(start, pos_ - start)));
    v.IntValue = negative ? -qint64(magnitude) : qint64(magnitude);
  }

  // 'text' with '' for a quote, #<code> characters, parts joined by +.
  QString ReadString()
  {
    QString out;
    const int startLine = line_;
    for (;;) {
      SkipSpace();
      if (Peek() == u'\'') {
        Next();
        for (;;) {
          if (AtEnd() || Peek() == u'\n') Fail(QStringLiteral("string is not terminated"), startLine);
          QChar c = Next();
          if (c == u'\'') {
            if (Peek() == u'\'') {
              Next();
              out += u'\'';
              continue;
            }
            break;
          }
          out += c;
        }
      } else if (Peek() == u'#') {
        Next();
        qsizetype start = pos_;
        while (!AtEnd() && Peek().isDigit()) Next();
        bool ok = false;
        uint code = s_.mid(start, pos_ - start).toUInt(&ok);
        if (!ok || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
          Fail(QStringLiteral("invalid character code in string"));
        char32_t ch = code;
        out += QString::fromUcs4(&ch, 1);
      } else {
        Fail(QStringLiteral("expected a string"));
      }
      // Adjacent parts: 'a'#13'b' or 'a' + 'b'.
      qsizetype save = pos_;
      int saveLine = line_;
      SkipSpace();
      if (Peek() == u'+') {
        Next();
        continue;
      }
      if (Peek() == u'#' || (Peek() == u'\'' && pos_ == save)) continue;
      pos_ = save;
      line_ = saveLine;
      return out;
    }
  }

  QByteArray ReadBinary()
  {
    const int startLine = line_;
    Next();  // {
    QByteArray hex;
    for (;;) {
      if (AtEnd()) Fail(QStringLiteral("binary data is not terminated: expected \"}\""), startLine);
      QChar c = Next();
      if (c == u'}') break;
      if (c.isSpace()) continue;
      if (c.unicode() >= 128 || !std::isxdigit(c.toLatin1()))
        Fail(QStringLiteral("binary data is not hexadecimal: \"%1\"").arg(c));
      hex += c.toLatin1();
    }
    if (hex.size() % 2) Fail(QStringLiteral("binary data has an odd number of hex digits"), startLine);
    return QByteArray::fromHex(hex);
  }

  const QString& s_;
  QString file_;
  qsizetype pos_ = 0;
  int line_ = 1;
};

} // namespace

std::unique_ptr<TDescObject> ParseDescription(const QString& text, const QString& fileName)
{
  return Parser(text, fileName).Run();
}

bool IsDescIntegerType(int typeId)
{
  switch (typeId) {
  case QMetaType::Int:
  case QMetaType::UInt:
  case QMetaType::Long:
  case QMetaType::LongLong:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::ULongLong:
  case QMetaType::UChar:
  case QMetaType::Char:
  case QMetaType::SChar:
    return true;
  default: return false;
  }
}

QString QuoteDescString(const QString& s)
{
  if (s.isEmpty()) return QStringLiteral("''");
  QString out;
  bool inQuotes = false;
  for (QChar c : s) {
    if (c.unicode() < 32) {
      if (inQuotes) out += u'\'';
      inQuotes = false;
      out += u'#' + QString::number(c.unicode());
    } else {
      if (!inQuotes) out += u'\'';
      inQuotes = true;
      out += c;
      if (c == u'\'') out += u'\'';
    }
  }
  if (inQuotes) out += u'\'';
  return out;
}
