#include "toolkit/regular_file.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString SystemReason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

TRegularFileRead Refused(QString why)
{
  TRegularFileRead r;
  r.Status = TRegularFileRead::Refused;
  r.Error = std::move(why);
  return r;
}

QString TooLarge(qint64 maxBytes)
{
  return QStringLiteral("文件太大（上限 %1 字节）").arg(maxBytes);
}

QString KindOf(mode_t mode)
{
  if (S_ISFIFO(mode)) return QStringLiteral("管道");
  if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("设备");
  if (S_ISSOCK(mode)) return QStringLiteral("套接字");
  if (S_ISDIR(mode)) return QStringLiteral("文件夹");
  return QStringLiteral("特殊文件");
}

TRegularFileRead ReadResource(const QString& path, qint64 maxBytes)
{
  QFile f(path);
  if (!f.exists()) return {};
  if (!f.open(QIODevice::ReadOnly)) return Refused(f.errorString());
  if (f.size() > maxBytes) return Refused(TooLarge(maxBytes));
  TRegularFileRead r;
  r.Status = TRegularFileRead::Read;
  r.Data = f.read(maxBytes);
  return r;
}
} // namespace

TRegularFileRead ReadRegularFile(const QString& path, qint64 maxBytes)
{
  if (path.isEmpty()) return {};
  if (path.startsWith(u':')) return ReadResource(path, maxBytes);
  const QByteArray name = QFile::encodeName(path);
  // Looked at before opening: opening a device may itself do something.
  struct stat st {};
  if (::stat(name.constData(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return Refused(SystemReason(errno));
  }
  if (!S_ISREG(st.st_mode)) return Refused(QStringLiteral("不是普通文件，而是%1").arg(KindOf(st.st_mode)));
  // Without blocking, and checked again on what was opened: the name may
  // have been replaced by a FIFO in between.
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    return Refused(SystemReason(errno));
  }
  struct Closer {
    int Fd;
    ~Closer() { ::close(Fd); }
  } closer{fd};
  if (::fstat(fd, &st) != 0) return Refused(SystemReason(errno));
  if (!S_ISREG(st.st_mode)) return Refused(QStringLiteral("不是普通文件，而是%1").arg(KindOf(st.st_mode)));
  if (st.st_size > maxBytes) return Refused(TooLarge(maxBytes));
  TRegularFileRead r;
  r.Data.resize(static_cast<qsizetype>(st.st_size));
  qint64 got = 0;
  for (;;) {
    // One byte more than the limit tells a file that grew past it.
    if (got == r.Data.size()) {
      if (got > maxBytes) return Refused(TooLarge(maxBytes));
      r.Data.resize(static_cast<qsizetype>(std::min<qint64>(maxBytes + 1, std::max<qint64>(got * 2, got + 4096))));
    }
    const ssize_t n = ::read(fd, r.Data.data() + got, static_cast<size_t>(r.Data.size() - got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Refused(SystemReason(errno));
    }
    if (n == 0) break;
    got += n;
  }
  if (got > maxBytes) return Refused(TooLarge(maxBytes));
  r.Data.resize(static_cast<qsizetype>(got));
  r.Status = TRegularFileRead::Read;
  return r;
}

QByteArray ReadRegularFileOrRaise(const QString& path, qint64 maxBytes)
{
  TRegularFileRead r = ReadRegularFile(path, maxBytes);
  if (r.Status == TRegularFileRead::Missing) throw EFOpenError(QStringLiteral("Cannot open file %1. %2").arg(path, SystemReason(ENOENT)));
  if (!r.Ok()) throw EFOpenError(QStringLiteral("Cannot open file %1. %2").arg(path, r.Error));
  return std::move(r.Data);
}
