// The Linux shell namespace on temporary trees: places, listing rules, paths
// and identifiers, details, ordering and renaming.
#include "platform/shell_namespace.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

void Touch(const QString& path, const QByteArray& bytes = "x")
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
  f.write(bytes);
}

// home/ with Desktop/, a "mount" outside home, and the namespace over them.
struct Tree {
  QTemporaryDir dir;
  QString home, desktop, media;
  std::vector<TShellMount> mounts;
  std::unique_ptr<TShellNamespace> ns;

  explicit Tree(bool withDesktop = true)
  {
    home = dir.filePath("home");
    desktop = home + "/Desktop";
    media = dir.filePath("media/USB");
    QDir().mkpath(home);
    QDir().mkpath(media);
    if (withDesktop) QDir().mkpath(desktop);
    mounts = {{"/", "overlay", ""}, {media, "vfat", "USB"}, {dir.filePath("media/ram"), "tmpfs", ""}};
    TShellPlaces places{withDesktop ? desktop : home + "/NoDesktop", home, [this] { return mounts; }};
    ns = LinuxShellNamespace(places);
  }

  QStringList Names(const TShellItemId& folder, TShellObjectTypes types) const
  {
    QStringList out;
    const auto entries = ns->Enumerate(folder, types);
    if (!entries) return {"<none>"};
    for (const auto& e : *entries) out << e.displayName;
    out.sort();
    return out;
  }
};

TEST(ShellNamespace, DesktopRootHoldsTheDesktopsItemsHomeAndTheComputer)
{
  Tree t;
  QDir().mkpath(t.desktop + "/Project");
  Touch(t.desktop + "/note.txt");
  EXPECT_EQ(t.Names({}, otFolders | otNonFolders), QStringList({"Project", "note.txt", "主文件夹", "计算机"}));
  EXPECT_EQ(t.Names({}, otFolders), QStringList({"Project", "主文件夹", "计算机"}));
  EXPECT_EQ(t.ns->DisplayName({}), "桌面");
  EXPECT_EQ(t.ns->Path({}), t.desktop);
  EXPECT_EQ(t.ns->Path({kShellHomeId}), t.home);
  EXPECT_TRUE(t.ns->Path({kShellComputerId}).isEmpty());
  EXPECT_FALSE(t.ns->IsFileSystem({kShellComputerId}));

  // "/" always, user mounts by label; tmpfs never.
  EXPECT_EQ(t.Names({kShellComputerId}, otFolders), QStringList({"USB", "文件系统"}));
  EXPECT_EQ(t.Names({kShellComputerId}, otNonFolders), QStringList());
  EXPECT_EQ(t.ns->Path({kShellComputerId, t.media, "x"}), t.media + "/x");
  EXPECT_EQ(t.ns->DisplayName({kShellComputerId, "/"}), "文件系统");

  // Without a desktop folder the desktop is home, listed once.
  Tree bare(false);
  Touch(bare.home + "/a.mp3");
  EXPECT_EQ(bare.ns->Path({}), bare.home);
  EXPECT_EQ(bare.Names({}, otFolders | otNonFolders), QStringList({"a.mp3", "计算机"}));
}

TEST(ShellNamespace, ListsFoldersAndFilesOnlyAndHiddenOnesWhenAsked)
{
  Tree t;
  const QString f = t.home + "/f";
  QDir().mkpath(f + "/sub");
  QDir().mkpath(f + "/.cache");
  Touch(f + "/song.mp3");
  Touch(f + "/.secret");
  ASSERT_EQ(::mkfifo(QFile::encodeName(f + "/pipe").constData(), 0600), 0);
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const QByteArray sockPath = QFile::encodeName(f + "/sock");
  ASSERT_LT(sockPath.size(), int(sizeof addr.sun_path));
  qstrcpy(addr.sun_path, sockPath.constData());
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(s);
  ASSERT_TRUE(QFile::link("/dev/null", f + "/null-device"));
  ASSERT_TRUE(QFile::link(f + "/sub", f + "/sub-link"));
  ASSERT_TRUE(QFile::link(f + "/gone", f + "/dangling"));

  const TShellItemId id{kShellHomeId, "f"};
  EXPECT_EQ(t.Names(id, otFolders | otNonFolders), QStringList({"song.mp3", "sub", "sub-link"}));
  EXPECT_EQ(t.Names(id, otFolders), QStringList({"sub", "sub-link"}));
  EXPECT_EQ(t.Names(id, otNonFolders), QStringList({"song.mp3"}));
  EXPECT_EQ(t.Names(id, otFolders | otNonFolders | otHidden),
            QStringList({".cache", ".secret", "song.mp3", "sub", "sub-link"}));
  const auto entries = t.ns->Enumerate(id, otFolders | otNonFolders | otHidden);
  for (const auto& e : *entries) {
    EXPECT_EQ(e.hidden, e.displayName.startsWith('.')) << e.displayName.toStdString();
    EXPECT_EQ(e.folder, !e.displayName.contains("mp3") && !e.displayName.contains("secret"));
  }

  // A folder that cannot be listed is told from an empty one.
  EXPECT_EQ(t.Names({kShellHomeId, "missing"}, otFolders), QStringList({"<none>"}));
  EXPECT_EQ(t.Names({kShellHomeId, "f", "song.mp3"}, otFolders), QStringList({"<none>"}));
  EXPECT_EQ(t.Names({kShellHomeId, "f", "sub"}, otFolders), QStringList());
}

TEST(ShellNamespace, ParsesPathsUnderTheNearestPlace)
{
  Tree t;
  QDir().mkpath(t.desktop + "/d");
  QDir().mkpath(t.home + "/Music/Live");
  QDir().mkpath(t.media + "/Rec");
  QDir().mkpath(t.dir.filePath("elsewhere"));
  EXPECT_EQ(t.ns->Parse(t.desktop), TShellItemId());
  EXPECT_EQ(t.ns->Parse(t.desktop + "/d/"), TShellItemId({"d"}));
  EXPECT_EQ(t.ns->Parse(t.home + "/Music/./Live"), TShellItemId({kShellHomeId, "Music", "Live"}));
  EXPECT_EQ(t.ns->Parse(t.home), TShellItemId({kShellHomeId}));
  EXPECT_EQ(t.ns->Parse(t.media + "/Rec"), TShellItemId({kShellComputerId, t.media, "Rec"}));
  const QStringList elsewhere = QDir::cleanPath(t.dir.filePath("elsewhere")).split('/', Qt::SkipEmptyParts);
  EXPECT_EQ(t.ns->Parse(t.dir.filePath("elsewhere")), TShellItemId({kShellComputerId, "/"}) + elsewhere);
  // Every identifier leads back to its path.
  for (const QString& p : {t.home + "/Music/Live", t.media + "/Rec", t.desktop + "/d"})
    EXPECT_EQ(t.ns->Path(*t.ns->Parse(p)), p);

  EXPECT_FALSE(t.ns->Parse(t.home + "/nothing-here"));
  EXPECT_FALSE(t.ns->Parse("relative/path"));
  EXPECT_FALSE(t.ns->Parse(""));
  EXPECT_EQ(t.ns->SpecialFolder(sfMyComputer), TShellItemId({kShellComputerId}));
  EXPECT_EQ(t.ns->SpecialFolder(sfPersonal), TShellItemId({kShellHomeId}));
  EXPECT_FALSE(t.ns->SpecialFolder(18));
}

TEST(ShellNamespace, OnlyUserFileSystemsAreShownAsMounts)
{
  EXPECT_TRUE(IsUserVisibleMount({"/", "overlay", ""}));
  EXPECT_TRUE(IsUserVisibleMount({"/run/media/me/STICK", "vfat", "STICK"}));
  EXPECT_TRUE(IsUserVisibleMount({"/mnt/data", "ext4", ""}));
  EXPECT_TRUE(IsUserVisibleMount({"/home", "btrfs", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/run/user/1000", "tmpfs", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/var/lib/docker/x", "overlay", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/snap/core/1", "squashfs", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/proc", "proc", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/sys/fs/cgroup", "cgroup2", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/boot/efi", "vfat", ""}));
  EXPECT_FALSE(IsUserVisibleMount({"/run/lock", "ext4", ""}));
}

TEST(ShellNamespace, DetailsAndOrder)
{
  Tree t;
  Touch(t.home + "/clip.mp3", QByteArray(3000, 'a'));
  QDir().mkpath(t.home + "/Box");
  const auto file = t.ns->Details({kShellHomeId, "clip.mp3"});
  ASSERT_TRUE(file);
  EXPECT_EQ(file->size, 3000);
  EXPECT_FALSE(file->folder);
  EXPECT_FALSE(file->typeName.isEmpty());
  EXPECT_LE(file->modified.secsTo(QDateTime::currentDateTime()), 60);
  const auto folder = t.ns->Details({kShellHomeId, "Box"});
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->size, -1);
  EXPECT_EQ(folder->typeName, "文件夹");
  int error = 0;
  EXPECT_FALSE(t.ns->Details({kShellHomeId, "vanished.mp3"}, &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(t.ns->Columns({kShellHomeId}).size(), 4u);
  EXPECT_EQ(t.ns->Columns({kShellComputerId}).size(), 1u);

  const auto entry = [](const char* name, bool fs = true) { return TShellEntry{name, name, false, fs, false}; };
  EXPECT_LT(t.ns->Compare(entry("track2"), entry("track10")), 0);
  EXPECT_LT(t.ns->Compare(entry("apple"), entry("Banana")), 0);
  EXPECT_LT(t.ns->Compare(entry("Banana"), entry("cherry")), 0);
  EXPECT_LT(t.ns->Compare(entry("zz", false), entry("aa")), 0);
  EXPECT_NE(t.ns->Compare(entry("a"), entry("A")), 0);
}

TEST(ShellNamespace, RenameRefusesBadAndTakenNamesAndKeepsEveryFile)
{
  Tree t;
  Touch(t.home + "/a.mp3", "first");
  Touch(t.home + "/b.mp3", "second");
  const TShellItemId a{kShellHomeId, "a.mp3"};
  for (const QString& bad : {QString(), QString("  "), QString("."), QString(".."), QString("x/y"), QString("b.mp3")}) {
    try {
      t.ns->Rename(a, bad);
      ADD_FAILURE() << "renamed to " << bad.toStdString();
    } catch (const EShellError& e) {
      EXPECT_TRUE(e.Message().startsWith(QString("Rename to %1 failed").arg(bad))) << e.what();
    }
  }
  QFile b(t.home + "/b.mp3");
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  EXPECT_EQ(b.readAll(), "second");
  EXPECT_TRUE(QFile::exists(t.home + "/a.mp3"));

  EXPECT_EQ(t.ns->Rename(a, "c.mp3"), TShellItemId({kShellHomeId, "c.mp3"}));
  EXPECT_FALSE(QFile::exists(t.home + "/a.mp3"));
  EXPECT_TRUE(QFile::exists(t.home + "/c.mp3"));
  EXPECT_FALSE(t.ns->CanRename({kShellHomeId}));
  EXPECT_FALSE(t.ns->CanRename({kShellComputerId, "/"}));
  EXPECT_THROW(t.ns->Rename({kShellComputerId}, "x"), EShellError);
  EXPECT_THROW(t.ns->Rename({kShellHomeId, "gone.mp3"}, "x.mp3"), EShellError);
}

} // namespace
