// The shell namespace the file list and the folder box browse: a virtual
// desktop at the top, under it the desktop folder's items, the home folder and
// a virtual "计算机" holding "/" and the user-visible mounts; below those, real
// folders and files.
//
// An item is named by its identifier: the chain of relative identifiers from
// the desktop down (an empty chain is the desktop itself). A relative
// identifier is a file name inside a real folder, or one of the virtual
// entries ("/::home", "/::computer", a mount's root path under the computer:
// a file name never holds "/", so they never meet a real name).
//
// TShellNamespace is the interface; LinuxShellNamespace() builds the real one
// over the file system (its places can be given, so tests run it on temporary
// trees). The controls use ShellNamespace(), which tests may replace.
#pragma once

#include "toolkit/exceptions.h"

#include <QDateTime>
#include <QFlags>
#include <QIcon>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

VELMORA_EXCEPTION(EShellError, Exception);

using TShellItemId = QStringList;

enum TShellObjectType { otFolders = 0x1, otNonFolders = 0x2, otHidden = 0x4 };
Q_DECLARE_FLAGS(TShellObjectTypes, TShellObjectType)
Q_DECLARE_OPERATORS_FOR_FLAGS(TShellObjectTypes)

// What a folder's listing tells of one item (read once, while listing).
struct TShellEntry {
  QString RelativeId;
  QString DisplayName;
  bool Folder = false;
  bool FileSystem = false;  // a real file or folder (virtual entries are not)
  bool Hidden = false;
};

// One item's detail columns: name, size, type, modified.
struct TShellDetails {
  QString Name;
  qint64 Size = -1;  // -1 for a folder
  QString TypeName;
  QDateTime Modified;
  bool Folder = false;
};

// A column the folder offers for its items' details.
struct TShellColumn {
  QString Caption;
  int Alignment = 0;  // 0 left, 1 right, 2 centre
  int Chars = 10;     // width in characters
};

// Mounted file systems as the system reports them.
struct TShellMount {
  QString RootPath;
  QString FileSystemType;
  QString Label;
};

// Special folder numbers the controls resolve.
inline const QString kShellHomeId = QStringLiteral("/::home");
inline const QString kShellComputerId = QStringLiteral("/::computer");

enum : int { sfDesktop = 0, sfPersonal = 5, sfDesktopDirectory = 16, sfMyComputer = 17 };

class TShellNamespace {
public:
  virtual ~TShellNamespace() = default;

  // The identifier of a file-system path (absolute, existing), or nothing.
  virtual std::optional<TShellItemId> Parse(const QString& path) const = 0;
  // A special folder by number; nothing when this system has none of that kind.
  virtual std::optional<TShellItemId> SpecialFolder(int number) const = 0;
  // The folder's items of those types, unsorted. Nothing when the folder
  // cannot be listed (gone, not a folder, no permission).
  virtual std::optional<std::vector<TShellEntry>> Enumerate(const TShellItemId& folder,
                                                            TShellObjectTypes types) const = 0;
  virtual QString DisplayName(const TShellItemId& id) const = 0;
  // The item's file-system path; empty for the virtual computer.
  virtual QString Path(const TShellItemId& id) const = 0;
  // A real folder or file stands behind the identifier.
  virtual bool IsFileSystem(const TShellItemId& id) const = 0;
  virtual bool IsFolder(const TShellItemId& id) const = 0;
  virtual QIcon Icon(const TShellItemId& id, bool openFolder) const = 0;
  // The item's details as they are now; nothing when it cannot be read.
  virtual std::optional<TShellDetails> Details(const TShellItemId& id, int* error = nullptr) const = 0;
  // The columns a folder shows in the details view.
  virtual std::vector<TShellColumn> Columns(const TShellItemId& folder) const = 0;
  // Orders two items of one folder (<0, 0, >0): virtual entries first, then
  // by name as people read it (letters of any case together, numbers by value).
  virtual int Compare(const TShellEntry& a, const TShellEntry& b) const = 0;
  // Renames an item of a real folder; the new identifier. Raises EShellError.
  virtual TShellItemId Rename(const TShellItemId& id, const QString& newName) const = 0;
  virtual bool CanRename(const TShellItemId& id) const = 0;
};

// Where the Linux namespace finds its places.
struct TShellPlaces {
  QString DesktopDir;  // the desktop root; home when empty or missing
  QString HomeDir;
  std::function<std::vector<TShellMount>()> Mounts;  // QStorageInfo when unset
};

// The places of this user and machine (XDG desktop folder, home, mounts).
TShellPlaces SystemShellPlaces();
std::unique_ptr<TShellNamespace> LinuxShellNamespace(TShellPlaces places);

// True for the mounts the computer shows: "/" and user file systems, never
// pseudo, tmpfs, overlay or snap ones.
bool IsUserVisibleMount(const TShellMount& mount);

// The namespace the controls use; the system's unless replaced.
TShellNamespace& ShellNamespace();
// Installs a namespace (null: the system's again) and returns the previous one.
std::unique_ptr<TShellNamespace> SetShellNamespace(std::unique_ptr<TShellNamespace> ns);
