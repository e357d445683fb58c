// Exceptions of the toolkit. Every error of the program is an Exception carrying
// a message text; each family derives its own classes from it.
#pragma once

#include <QString>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
  const QString& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

private:
  QString message_;
  std::string utf8_;
};

// Declares an exception class with a message constructor.
#define VELMORA_EXCEPTION(Name, Base)                     \
  class Name : public Base {                              \
  public:                                                 \
    explicit Name(QString message) : Base(std::move(message)) {} \
  }

VELMORA_EXCEPTION(EComponentError, Exception);   // bad names, duplicate names
VELMORA_EXCEPTION(EConvertError, Exception);     // a value of the wrong kind
VELMORA_EXCEPTION(EInOutError, Exception);       // file reads and writes
VELMORA_EXCEPTION(EFCreateError, EInOutError);   // "Cannot create file %s"
VELMORA_EXCEPTION(EFOpenError, EInOutError);     // "Cannot open file %s"
VELMORA_EXCEPTION(EThread, Exception);           // thread misuse
VELMORA_EXCEPTION(EInvalidOperation, Exception); // an operation that needs a window
VELMORA_EXCEPTION(EOutOfResources, Exception);   // limits that guard allocations

// A stored window description could not be read; the message reads FILE:LINE: text.
class EReadError : public Exception {
public:
  EReadError(QString file, int line, QString text)
      : Exception(QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(text)),
        file_(std::move(file)), line_(line), text_(std::move(text)) {}
  const QString& File() const { return file_; }
  int Line() const { return line_; }
  const QString& Text() const { return text_; }

private:
  QString file_;
  int line_;
  QString text_;
};
