// Reading files that anyone may have put in place of ours (the settings, the
// favourites, the user's station list, descriptions, skins): only a regular
// file (or a link to one) of bounded size is read. A FIFO would block open()
// until a writer comes (the program then ignores even SIGTERM) and a device
// such as /dev/zero never ends, so both are refused without blocking, and a
// file that grows while it is read stops at the limit.
#pragma once

#include "toolkit/exceptions.h"

#include <QByteArray>
#include <QString>

struct TRegularFileRead {
  enum TStatus { Read, Missing, Refused };
  TStatus Status = Missing;
  QByteArray Data;
  // Why the file was not read (Chinese, the system's reason with it); empty when read.
  QString Error;
  bool Ok() const { return Status == Read; }
};

// Reads `path` whole; Qt resource paths (":/...") are read as they are.
TRegularFileRead ReadRegularFile(const QString& path, qint64 maxBytes);

// The same, raising EFOpenError ("Cannot open file PATH. REASON") unless the file was read.
QByteArray ReadRegularFileOrRaise(const QString& path, qint64 maxBytes);
