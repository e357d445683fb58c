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
  QTemporaryDir Dir;
  QString Home, Desktop, Media;
  std::vector<TShellMount> Mounts;
  std::unique_ptr<TShellNamespace> Ns;

  explicit Tree(bool withDesktop = true)
  {
    Home = Dir.filePath("home");
    Desktop = Home + "/Desktop";
    Media = Dir.filePath("media/USB");
    QDir().mkpath(Home);
    QDir().mkpath(Media);
    if (withDesktop) QDir().mkpath(Desktop);
    Mounts = {{"/", "overlay", ""}, {Media, "vfat", "USB"}, {Dir.filePath("media/ram"), "tmpfs", ""}};
    TShellPlaces places{withDesktop ? Desktop : Home + "/NoDesktop", Home, [this] { return Mounts; }};
    Ns = LinuxShellNamespace(places);
  }

  QStringList Names(const TShellItemId& folder, TShellObjectTypes types) const
  {
    QStringList out;
    const auto entries = Ns->Enumerate(folder, types);
    if (!entries) return {"<none>"};
    for (const auto& e : *entries) out << e.DisplayName;
    out.sort();
    return out;
  }
};

TEST(ShellNamespace, DesktopRootHoldsTheDesktopsItemsHomeAndTheComputer)
{
  Tree t;
  QDir().mkpath(t.Desktop + "/Project");
  Touch(t.Desktop + "/note.txt");
  EXPECT_EQ(t.Names({}, otFolders | otNonFolders), QStringList({"Project", "note.txt", "主文件夹", "计算机"}));
  EXPECT_EQ(t.Names({}, otFolders), QStringList({"Project", "主文件夹", "计算机"}));
  EXPECT_EQ(t.Ns->DisplayName({}), "桌面");
  EXPECT_EQ(t.Ns->Path({}), t.Desktop);
  EXPECT_EQ(t.Ns->Path({kShellHomeId}), t.Home);
  EXPECT_TRUE(t.Ns->Path({kShellComputerId}).isEmpty());
  EXPECT_FALSE(t.Ns->IsFileSystem({kShellComputerId}));

  // "/" always, user mounts by label; tmpfs never.
  EXPECT_EQ(t.Names({kShellComputerId}, otFolders), QStringList({"USB", "文件系统"}));
  EXPECT_EQ(t.Names({kShellComputerId}, otNonFolders), QStringList());
  EXPECT_EQ(t.Ns->Path({kShellComputerId, t.Media, "x"}), t.Media + "/x");
  EXPECT_EQ(t.Ns->DisplayName({kShellComputerId, "/"}), "文件系统");

  // Without a desktop folder the desktop is home, listed once.
  Tree bare(false);
  Touch(bare.Home + "/a.mp3");
  EXPECT_EQ(bare.Ns->Path({}), bare.Home);
  EXPECT_EQ(bare.Names({}, otFolders | otNonFolders), QStringList({"a.mp3", "计算机"}));
}

TEST(ShellNamespace, ListsFoldersAndFilesOnlyAndHiddenOnesWhenAsked)
{
  Tree t;
  const QString f = t.Home + "/f";
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
  const auto entries = t.Ns->Enumerate(id, otFolders | otNonFolders | otHidden);
  for (const auto& e : *entries) {
    EXPECT_EQ(e.Hidden, e.DisplayName.startsWith('.')) << e.DisplayName.toStdString();
    EXPECT_EQ(e.Folder, !e.DisplayName.contains("mp3") && !e.DisplayName.contains("secret"));
  }

  // A folder that cannot be listed is told from an empty one.
  EXPECT_EQ(t.Names({kShellHomeId, "missing"}, otFolders), QStringList({"<none>"}));
  EXPECT_EQ(t.Names({kShellHomeId, "f", "song.mp3"}, otFolders), QStringList({"<none>"}));
  EXPECT_EQ(t.Names({kShellHomeId, "f", "sub"}, otFolders), QStringList());
}

TEST(ShellNamespace, ParsesPathsUnderTheNearestPlace)
{
  Tree t;
  QDir().mkpath(t.Desktop + "/d");
  QDir().mkpath(t.Home + "/Music/Live");
  QDir().mkpath(t.Media + "/Rec");
  QDir().mkpath(t.Dir.filePath("elsewhere"));
  EXPECT_EQ(t.Ns->Parse(t.Desktop), TShellItemId());
  EXPECT_EQ(t.Ns->Parse(t.Desktop + "/d/"), TShellItemId({"d"}));
  EXPECT_EQ(t.Ns->Parse(t.Home + "/Music/./Live"), TShellItemId({kShellHomeId, "Music", "Live"}));
  EXPECT_EQ(t.Ns->Parse(t.Home), TShellItemId({kShellHomeId}));
  EXPECT_EQ(t.Ns->Parse(t.Media + "/Rec"), TShellItemId({kShellComputerId, t.Media, "Rec"}));
  const QStringList elsewhere = QDir::cleanPath(t.Dir.filePath("elsewhere")).split('/', Qt::SkipEmptyParts);
  EXPECT_EQ(t.Ns->Parse(t.Dir.filePath("elsewhere")), TShellItemId({kShellComputerId, "/"}) + elsewhere);
  // Every identifier leads back to its path.
  for (const QString& p : {t.Home + "/Music/Live", t.Media + "/Rec", t.Desktop + "/d"})
    EXPECT_EQ(t.Ns->Path(*t.Ns->Parse(p)), p);

  EXPECT_FALSE(t.Ns->Parse(t.Home + "/nothing-here"));
  EXPECT_FALSE(t.Ns->Parse("relative/path"));
  EXPECT_FALSE(t.Ns->Parse(""));
  EXPECT_EQ(t.Ns->SpecialFolder(sfMyComputer), TShellItemId({kShellComputerId}));
  EXPECT_EQ(t.Ns->SpecialFolder(sfPersonal), TShellItemId({kShellHomeId}));
  EXPECT_FALSE(t.Ns->SpecialFolder(18));
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
  Touch(t.Home + "/clip.mp3", QByteArray(3000, 'a'));
  QDir().mkpath(t.Home + "/Box");
  const auto file = t.Ns->Details({kShellHomeId, "clip.mp3"});
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size, 3000);
  EXPECT_FALSE(file->Folder);
  EXPECT_FALSE(file->TypeName.isEmpty());
  EXPECT_LE(file->Modified.secsTo(QDateTime::currentDateTime()), 60);
  const auto folder = t.Ns->Details({kShellHomeId, "Box"});
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->Size, -1);
  EXPECT_EQ(folder->TypeName, "文件夹");
  int error = 0;
  EXPECT_FALSE(t.Ns->Details({kShellHomeId, "vanished.mp3"}, &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(t.Ns->Columns({kShellHomeId}).size(), 4u);
  EXPECT_EQ(t.Ns->Columns({kShellComputerId}).size(), 1u);

  const auto entry = [](const char* name, bool fs = true) { return TShellEntry{name, name, false, fs, false}; };
  EXPECT_LT(t.Ns->Compare(entry("track2"), entry("track10")), 0);
  EXPECT_LT(t.Ns->Compare(entry("apple"), entry("Banana")), 0);
  EXPECT_LT(t.Ns->Compare(entry("Banana"), entry("cherry")), 0);
  EXPECT_LT(t.Ns->Compare(entry("zz", false), entry("aa")), 0);
  EXPECT_NE(t.Ns->Compare(entry("a"), entry("A")), 0);
}

TEST(ShellNamespace, RenameRefusesBadAndTakenNamesAndKeepsEveryFile)
{
  Tree t;
  Touch(t.Home + "/a.mp3", "first");
  Touch(t.Home + "/b.mp3", "second");
  const TShellItemId a{kShellHomeId, "a.mp3"};
  for (const QString& bad : {QString(), QString("  "), QString("."), QString(".."), QString("x/y"), QString("b.mp3")}) {
    try {
      t.Ns->Rename(a, bad);
      ADD_FAILURE() << "renamed to " << bad.toStdString();
    } catch (const EShellError& e) {
      EXPECT_TRUE(e.Message().startsWith(QString("Rename to %1 failed").arg(bad))) << e.what();
    }
  }
  QFile b(t.Home + "/b.mp3");
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  EXPECT_EQ(b.readAll(), "second");
  EXPECT_TRUE(QFile::exists(t.Home + "/a.mp3"));

  EXPECT_EQ(t.Ns->Rename(a, "c.mp3"), TShellItemId({kShellHomeId, "c.mp3"}));
  EXPECT_FALSE(QFile::exists(t.Home + "/a.mp3"));
  EXPECT_TRUE(QFile::exists(t.Home + "/c.mp3"));
  EXPECT_FALSE(t.Ns->CanRename({kShellHomeId}));
  EXPECT_FALSE(t.Ns->CanRename({kShellComputerId, "/"}));
  EXPECT_THROW(t.Ns->Rename({kShellComputerId}, "x"), EShellError);
  EXPECT_THROW(t.Ns->Rename({kShellHomeId, "gone.mp3"}, "x.mp3"), EShellError);
}

} // namespace
