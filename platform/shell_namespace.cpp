#include "platform/shell_namespace.h"

#include <QCollator>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kDesktopName = QStringLiteral("桌面");
const QString kHomeName = QStringLiteral("主文件夹");
const QString kComputerName = QStringLiteral("计算机");
const QString kRootName = QStringLiteral("文件系统");
const QString kFolderType = QStringLiteral("文件夹");

bool IsUnder(const QString& path, const QString& folder)
{
  if (folder == QLatin1String("/")) return path.startsWith(QLatin1Char('/'));
  return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

QStringList RelativeParts(const QString& path, const QString& folder)
{
  if (path == folder) return {};
  const QString rest = folder == QLatin1String("/") ? path.mid(1) : path.mid(folder.size() + 1);
  return rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

QString JoinPath(const QString& folder, const QStringList& parts)
{
  QString path = folder;
  for (const QString& p : parts) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    path += p;
  }
  return path;
}

// A real file or folder the list may show: no FIFOs, sockets or devices.
bool IsListable(const QFileInfo& info) { return info.isDir() || info.isFile(); }

class TLinuxShellNamespace final : public TShellNamespace {
public:
  explicit TLinuxShellNamespace(TShellPlaces places) : places_(std::move(places))
  {
    home_ = QDir::cleanPath(places_.HomeDir.isEmpty() ? QDir::homePath() : places_.HomeDir);
    const QFileInfo desk(places_.DesktopDir);
    desktop_ = !places_.DesktopDir.isEmpty() && desk.isDir() ? QDir::cleanPath(desk.absoluteFilePath()) : home_;
    // The plain C locale compares code points only: Chinese collation then
    // (the program speaks Chinese), which also orders numbers by value.
    if (QLocale().language() == QLocale::C) collator_ = QCollator(QLocale(QLocale::Chinese, QLocale::China));
    collator_.setNumericMode(true);
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
  }

  std::optional<TShellItemId> Parse(const QString& path) const override
  {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return std::nullopt;
    const QString clean = QDir::cleanPath(path);
    if (!QFileInfo::exists(clean)) return std::nullopt;
    if (IsUnder(clean, desktop_)) return RelativeParts(clean, desktop_);
    if (IsUnder(clean, home_)) return TShellItemId{kShellHomeId} + RelativeParts(clean, home_);
    QString best;
    for (const TShellMount& m : VisibleMounts()) {
      if (IsUnder(clean, m.RootPath) && m.RootPath.size() > best.size()) best = m.RootPath;
    }
    if (best.isEmpty()) best = QStringLiteral("/");
    return TShellItemId{kShellComputerId, best} + RelativeParts(clean, best);
  }

  std::optional<TShellItemId> SpecialFolder(int number) const override
  {
    switch (number) {
    case sfDesktop: return TShellItemId{};
    case sfMyComputer: return TShellItemId{kShellComputerId};
    case sfDesktopDirectory: return Parse(desktop_);
    case sfPersonal: return Parse(home_);
    default: return std::nullopt;
    }
  }

  std::optional<std::vector<TShellEntry>> Enumerate(const TShellItemId& folder, TShellObjectTypes types) const override
  {
    std::vector<TShellEntry> out;
    if (folder == TShellItemId{kShellComputerId}) {
      if (types & otFolders) {
        for (const TShellMount& m : VisibleMounts()) {
          out.push_back({m.RootPath, MountName(m), true, true, false});
        }
      }
      return out;
    }
    const QString path = Path(folder);
    if (path.isEmpty() || !IsFileSystem(folder)) return std::nullopt;
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable()) return std::nullopt;
    QDir::Filters filters = QDir::NoDotAndDotDot;
    if (types & otFolders) filters |= QDir::Dirs;
    if (types & otNonFolders) filters |= QDir::Files;
    if (types & otHidden) filters |= QDir::Hidden;
    if (types & (otFolders | otNonFolders)) {
      const QFileInfoList infos = dir.entryInfoList(filters, QDir::NoSort);
      out.reserve(size_t(infos.size()) + 2);
      for (const QFileInfo& info : infos) {
        if (!IsListable(info)) continue;
        out.push_back({info.fileName(), info.fileName(), info.isDir(), true, info.isHidden()});
      }
    }
    if (folder.isEmpty() && (types & otFolders)) {
      if (desktop_ != home_) out.push_back({kShellHomeId, kHomeName, true, true, false});
      out.push_back({kShellComputerId, kComputerName, true, false, false});
    }
    return out;
  }

  QString DisplayName(const TShellItemId& id) const override
  {
    if (id.isEmpty()) return kDesktopName;
    if (id.size() == 1 && id[0] == kShellHomeId) return kHomeName;
    if (id.size() == 1 && id[0] == kShellComputerId) return kComputerName;
    if (id.size() == 2 && id[0] == kShellComputerId) {
      for (const TShellMount& m : VisibleMounts()) {
        if (m.RootPath == id[1]) return MountName(m);
      }
      return id[1] == QLatin1String("/") ? kRootName : QFileInfo(id[1]).fileName();
    }
    return id.last();
  }

  QString Path(const TShellItemId& id) const override
  {
    if (id.isEmpty()) return desktop_;
    if (id[0] == kShellHomeId) return JoinPath(home_, id.mid(1));
    if (id[0] == kShellComputerId) return id.size() < 2 ? QString() : JoinPath(id[1], id.mid(2));
    return JoinPath(desktop_, id);
  }

  bool IsFileSystem(const TShellItemId& id) const override { return id != TShellItemId{kShellComputerId}; }

  bool IsFolder(const TShellItemId& id) const override
  {
    if (!IsFileSystem(id)) return true;
    return QFileInfo(Path(id)).isDir();
  }

  QIcon Icon(const TShellItemId& id, bool openFolder) const override
  {
    Q_UNUSED(openFolder);
    QFileIconProvider& provider = Provider();
    if (id.isEmpty()) return provider.icon(QAbstractFileIconProvider::Desktop);
    if (id.size() == 1 && id[0] == kShellComputerId) return provider.icon(QAbstractFileIconProvider::Computer);
    if (id.size() == 2 && id[0] == kShellComputerId) return provider.icon(QAbstractFileIconProvider::Drive);
    const QFileInfo info(Path(id));
    // One look-up per kind of file: asking the provider for every file is slow.
    const QString key = info.isDir() ? QStringLiteral("/") : info.suffix().toLower();
    auto it = icons_.constFind(key);
    if (it != icons_.constEnd()) return *it;
    QIcon icon = info.isDir() ? provider.icon(QAbstractFileIconProvider::Folder) : provider.icon(info);
    if (icon.isNull()) icon = provider.icon(QAbstractFileIconProvider::File);
    icons_.insert(key, icon);
    return icon;
  }

  std::optional<TShellDetails> Details(const TShellItemId& id, int* error) const override
  {
    TShellDetails d;
    d.Name = DisplayName(id);
    if (!IsFileSystem(id)) {
      d.Folder = true;
      d.TypeName = kFolderType;
      return d;
    }
    const QString path = Path(id);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
      if (error) *error = errno;
      return std::nullopt;
    }
    d.Folder = S_ISDIR(st.st_mode);
    d.Size = d.Folder ? -1 : qint64(st.st_size);
    d.Modified = QDateTime::fromSecsSinceEpoch(qint64(st.st_mtim.tv_sec));
    d.TypeName = d.Folder ? kFolderType : TypeName(QFileInfo(path).suffix());
    return d;
  }

  std::vector<TShellColumn> Columns(const TShellItemId& folder) const override
  {
    if (!IsFileSystem(folder)) return {{QStringLiteral("名称"), 0, 25}};
    return {{QStringLiteral("名称"), 0, 25}, {QStringLiteral("大小"), 1, 10}, {QStringLiteral("类型"), 0, 10},
            {QStringLiteral("已修改"), 0, 14}};
  }

  int Compare(const TShellEntry& a, const TShellEntry& b) const override
  {
    if (a.FileSystem != b.FileSystem) return a.FileSystem ? 1 : -1;
    const int c = collator_.compare(a.DisplayName, b.DisplayName);
    return c != 0 ? c : QString::compare(a.DisplayName, b.DisplayName);
  }

  bool CanRename(const TShellItemId& id) const override
  {
    if (id.isEmpty() || !IsFileSystem(id)) return false;
    // The places themselves (home, a mount) keep their names.
    if (id[0] == kShellHomeId) return id.size() > 1;
    if (id[0] == kShellComputerId) return id.size() > 2;
    return true;
  }

  TShellItemId Rename(const TShellItemId& id, const QString& newName) const override
  {
    const auto fail = [&](const QString& why) {
      return EShellError(QStringLiteral("Rename to %1 failed").arg(newName) + QStringLiteral(": ") + why);
    };
    if (!CanRename(id)) throw fail(QStringLiteral("这个项目不能改名"));
    if (newName.trimmed().isEmpty() || newName == QLatin1String(".") || newName == QLatin1String("..") ||
        newName.contains(QLatin1Char('/')) || newName.contains(QChar(0)))
      throw fail(QStringLiteral("名称无效"));
    if (newName == id.last()) return id;
    const QString from = Path(id);
    const QString to = JoinPath(QFileInfo(from).path(), {newName});
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
    // Never replaces an existing item, even one made a moment ago.
    int rc = ::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
      struct stat st {};
      if (::lstat(t.constData(), &st) == 0) errno = EEXIST;
      else rc = ::rename(f.constData(), t.constData());
    }
    if (rc != 0) {
      if (errno == EEXIST) throw fail(QStringLiteral("已有同名的项目"));
      throw fail(QString::fromLocal8Bit(strerror(errno)));
    }
    TShellItemId renamed = id;
    renamed.last() = newName;
    return renamed;
  }

private:
  std::vector<TShellMount> VisibleMounts() const
  {
    std::vector<TShellMount> all = places_.Mounts ? places_.Mounts() : SystemMounts();
    std::vector<TShellMount> out;
    bool root = false;
    for (TShellMount& m : all) {
      m.RootPath = QDir::cleanPath(m.RootPath);
      if (m.RootPath == QLatin1String("/")) {
        if (!root) out.push_back(m);
        root = true;
      } else if (IsUserVisibleMount(m) &&
                 std::none_of(out.begin(), out.end(), [&](const TShellMount& o) { return o.RootPath == m.RootPath; })) {
        out.push_back(m);
      }
    }
    if (!root) out.insert(out.begin(), TShellMount{QStringLiteral("/"), QString(), QString()});
    return out;
  }

  static std::vector<TShellMount> SystemMounts()
  {
    std::vector<TShellMount> out;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
      if (!s.isValid()) continue;
      out.push_back({s.rootPath(), QString::fromLatin1(s.fileSystemType()), s.name()});
    }
    return out;
  }

  static QString MountName(const TShellMount& m)
  {
    if (!m.Label.isEmpty()) return m.Label;
    if (m.RootPath == QLatin1String("/")) return kRootName;
    return QFileInfo(m.RootPath).fileName();
  }

  QString TypeName(const QString& suffix) const
  {
    const QString key = suffix.toLower();
    auto it = types_.constFind(key);
    if (it != types_.constEnd()) return *it;
    QString name;
    if (!suffix.isEmpty()) {
      const QMimeType mime = mimes_.mimeTypeForFile(QStringLiteral("x.") + suffix, QMimeDatabase::MatchExtension);
      name = mime.isDefault() ? suffix.toUpper() + QStringLiteral(" 文件") : mime.comment();
    } else {
      name = QStringLiteral("文件");
    }
    types_.insert(key, name);
    return name;
  }

  QFileIconProvider& Provider() const
  {
    if (!provider_) provider_ = std::make_unique<QFileIconProvider>();
    return *provider_;
  }

  TShellPlaces places_;
  QString home_, desktop_;
  QCollator collator_;
  QMimeDatabase mimes_;
  mutable std::unique_ptr<QFileIconProvider> provider_;
  mutable QHash<QString, QIcon> icons_;
  mutable QHash<QString, QString> types_;
};

std::unique_ptr<TShellNamespace>& Installed()
{
  static std::unique_ptr<TShellNamespace> ns;
  return ns;
}

} // namespace

bool IsUserVisibleMount(const TShellMount& m)
{
  static const QStringList pseudo = {
      "proc",     "sysfs",      "devtmpfs", "devpts",  "tmpfs",   "ramfs",      "overlay",    "squashfs",
      "cgroup",   "cgroup2",    "securityfs", "debugfs", "tracefs", "configfs", "fusectl",   "mqueue",
      "hugetlbfs", "pstore",    "bpf",      "autofs",  "binfmt_misc", "efivarfs", "nsfs",     "rpc_pipefs",
      "nfsd",     "fuse.gvfsd-fuse", "fuse.portal", "fuse.snapfuse", "selinuxfs", "none"};
  if (QDir::cleanPath(m.RootPath) == QLatin1String("/")) return true;
  if (pseudo.contains(m.FileSystemType, Qt::CaseInsensitive)) return false;
  const QString p = QDir::cleanPath(m.RootPath);
  for (const char* sys : {"/proc", "/sys", "/dev", "/snap", "/boot", "/var/lib/snapd", "/run"}) {
    if (IsUnder(p, QString::fromLatin1(sys))) {
      // Removable media mount under /run/media.
      return IsUnder(p, QStringLiteral("/run/media")) && p != QLatin1String("/run/media");
    }
  }
  return true;
}

TShellPlaces SystemShellPlaces()
{
  TShellPlaces p;
  p.HomeDir = QDir::homePath();
  const QString desk = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  // Qt answers home when the user has no desktop folder.
  if (QFileInfo(desk).isDir()) p.DesktopDir = desk;
  return p;
}

std::unique_ptr<TShellNamespace> LinuxShellNamespace(TShellPlaces places)
{
  return std::make_unique<TLinuxShellNamespace>(std::move(places));
}

TShellNamespace& ShellNamespace()
{
  auto& ns = Installed();
  if (!ns) ns = LinuxShellNamespace(SystemShellPlaces());
  return *ns;
}

std::unique_ptr<TShellNamespace> SetShellNamespace(std::unique_ptr<TShellNamespace> ns)
{
  auto previous = std::move(Installed());
  Installed() = std::move(ns);
  return previous;
}
