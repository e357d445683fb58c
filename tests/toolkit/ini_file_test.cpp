#include "support/scoped_process_state.h"
#include "toolkit/ini_file.h"
#include "toolkit/string_list.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
QByteArray ReadAll(const QString& path)
{
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& data)
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}
} // namespace

TEST(IniFile, SectionsAndKeysIgnoreCaseAndFirstMatchWins)
{
  TMemIniFile ini(QStringList{"; comment", "[Main]", "Left = 10", "left=20", "[MAIN]", "top=5", "[other]",
                              "key=a=b", "noequals", "=novalue"});
  EXPECT_EQ(ini.ReadInteger("main", "LEFT", -1), 10);
  // A second section of the same name is never consulted.
  EXPECT_EQ(ini.ReadInteger("main", "top", -1), -1);
  EXPECT_EQ(ini.ReadString("OTHER", "key", ""), "a=b");
  EXPECT_FALSE(ini.ValueExists("other", "noequals"));
  EXPECT_TRUE(ini.SectionExists("oThEr"));
  EXPECT_FALSE(ini.SectionExists("none"));
  TStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(sections.Lines(), (QStringList{"Main", "other"}));
  TStringList keys;
  ini.ReadSection("main", keys);
  EXPECT_EQ(keys.Lines(), (QStringList{"Left", "left"}));
  TStringList values;
  ini.ReadSectionValues("other", values);
  EXPECT_EQ(values.Lines(), (QStringList{"key=a=b"}));
}

TEST(IniFile, IntegersHexAndOddValues)
{
  TMemIniFile ini(QStringList{"[n]", "a=0x1F", "b=0X1f", "c=$ff", "d=-12", "e=12abc", "f=", "g=99999999999",
                              "h=$FFFFFFFF", "i= 7 ", "j=0x", "k=2147483647", "l=-2147483648", "m=1.5"});
  EXPECT_EQ(ini.ReadInteger("n", "a", 0), 31);
  EXPECT_EQ(ini.ReadInteger("n", "b", 0), 31);
  EXPECT_EQ(ini.ReadInteger("n", "c", 0), 255);
  EXPECT_EQ(ini.ReadInteger("n", "d", 0), -12);
  EXPECT_EQ(ini.ReadInteger("n", "e", 42), 42);
  EXPECT_EQ(ini.ReadInteger("n", "f", 42), 42);
  EXPECT_EQ(ini.ReadInteger("n", "g", 42), 42);
  EXPECT_EQ(ini.ReadInteger("n", "h", 0), -1);
  EXPECT_EQ(ini.ReadInteger("n", "i", 0), 7);
  EXPECT_EQ(ini.ReadInteger("n", "j", 42), 42);
  EXPECT_EQ(ini.ReadInteger("n", "k", 0), 2147483647);
  EXPECT_EQ(ini.ReadInteger("n", "l", 0), -2147483647 - 1);
  EXPECT_EQ(ini.ReadInteger("n", "m", 42), 42);
  EXPECT_EQ(ini.ReadInteger("n", "missing", 42), 42);
}

TEST(IniFile, BooleansAreIntegers)
{
  TMemIniFile ini(QStringList{"[b]", "zero=0", "one=1", "two=2", "text=yes", "hex=$0"});
  EXPECT_FALSE(ini.ReadBool("b", "zero", true));
  EXPECT_TRUE(ini.ReadBool("b", "one", false));
  EXPECT_TRUE(ini.ReadBool("b", "two", false));
  EXPECT_TRUE(ini.ReadBool("b", "text", true));
  EXPECT_FALSE(ini.ReadBool("b", "text", false));
  EXPECT_FALSE(ini.ReadBool("b", "hex", true));
  ini.WriteBool("b", "w", true);
  ini.WriteBool("b", "x", false);
  EXPECT_EQ(ini.ReadString("b", "w", ""), "1");
  EXPECT_EQ(ini.ReadString("b", "x", ""), "0");
}

TEST(IniFile, WritesKeepTheRestOfTheDocument)
{
  TMemIniFile ini(QStringList{"; top", "[a]", "x=1", "; note", "", "[b]", "y=2"});
  ini.WriteString("A", "X", "9");   // replaces in place, keeps the stored key spelling
  ini.WriteString("a", "z", "3");   // goes after the last key, before the blank line
  ini.WriteInteger("new", "k", -4);
  EXPECT_EQ(ini.Lines(), (QStringList{"; top", "[a]", "x=9", "; note", "z=3", "", "[b]", "y=2", "", "[new]", "k=-4"}));
  ini.DeleteKey("b", "Y");
  EXPECT_FALSE(ini.ValueExists("b", "y"));
  EXPECT_TRUE(ini.SectionExists("b"));
  ini.EraseSection("A");
  EXPECT_FALSE(ini.SectionExists("a"));
  EXPECT_EQ(ini.ReadInteger("new", "k", 0), -4);
  // A value cannot break the line structure.
  ini.WriteString("new", "multi", "one\ntwo");
  EXPECT_EQ(ini.ReadString("new", "multi", ""), "one two");
  EXPECT_THROW(ini.WriteString("new", "a=b", "x"), EIniFileException);
}

TEST(IniFile, OnDiskFileWritesThroughAndSeesOtherWriters)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("mainform.ini");
  WriteAll(path, "\xEF\xBB\xBF# kept\r\n[main]\r\nleft=5\r\n[其他]\r\n名字=收音机\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("MAIN", "left", 0), 5);
  EXPECT_EQ(ini.ReadString("其他", "名字", ""), QString::fromUtf8("收音机"));
  ini.WriteInteger("main", "top", 7);
  EXPECT_EQ(ReadAll(path), QByteArray("# kept\n[main]\nleft=5\ntop=7\n[其他]\n名字=收音机\n"));
  // Another writer changes the file; the next read sees it and the next write keeps it.
  WriteAll(path, "[main]\nleft=8\n");
  EXPECT_EQ(ini.ReadInteger("main", "left", 0), 8);
  ini.WriteBool("main", "FormTop", true);
  EXPECT_EQ(ReadAll(path), QByteArray("[main]\nleft=8\nFormTop=1\n"));

  // A file that does not exist yet reads as empty and is created by the first write.
  TIniFile fresh(dir.filePath("new.ini"));
  EXPECT_EQ(fresh.ReadInteger("main", "left", -3), -3);
  fresh.WriteString("main", "left", "1");
  EXPECT_EQ(ReadAll(dir.filePath("new.ini")), QByteArray("[main]\nleft=1\n"));
}

TEST(IniFile, UnwritableFileRaisesAndKeepsTheOldContents)
{
  QTemporaryDir dir;
  const QString sub = dir.filePath("ro");
  ASSERT_TRUE(QDir().mkdir(sub));
  const QString path = sub + "/settings.ini";
  WriteAll(path, "[main]\nleft=5\n");
  QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner);
  if (geteuid() == 0) {
    // root writes anywhere; a path below a regular file fails for everyone
    const QString blocker = dir.filePath("file");
    WriteAll(blocker, "x");
    TIniFile bad(blocker + "/settings.ini");
    try {
      bad.WriteInteger("main", "left", 1);
      FAIL() << "write below a regular file succeeded";
    } catch (const EIniFileException& e) {
      EXPECT_TRUE(e.Message().contains(blocker)) << e.what();
    }
  } else {
    TIniFile ini(path);
    EXPECT_THROW(ini.WriteInteger("main", "left", 1), EIniFileException);
    EXPECT_EQ(ini.ReadInteger("main", "left", 0), 5);
  }
  QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(ReadAll(path), QByteArray("[main]\nleft=5\n"));
}

// The file is replaced whole, for every user (root too): a name linked to the
// old file keeps the old contents, and a write that fails half way (the disk
// full) leaves them where they were.
TEST(IniFile, AWriteReplacesTheFileWholeOrNotAtAll)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("settings.ini");
  const QString linked = dir.filePath("linked.ini");
  WriteAll(path, "[main]\nleft=5\n");
  ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(linked).constData()), 0);
  TIniFile(path).WriteString("main", "name", "x");
  EXPECT_EQ(ReadAll(path), QByteArray("[main]\nleft=5\nname=x\n"));
  EXPECT_EQ(ReadAll(linked), QByteArray("[main]\nleft=5\n")) << "written in place";

  {
    TScopedFileSizeLimit full(64);
    EXPECT_THROW(TIniFile(path).WriteString("main", "long", QString(200, 'y')), EIniFileException);
  }
  EXPECT_EQ(ReadAll(path), QByteArray("[main]\nleft=5\nname=x\n"));
}

TEST(IniFile, MemIniFileLoadsAndUpdatesItsFile)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("skin.ini");
  WriteAll(path, "[VERSION]\r\nskinname=测试\r\n");
  TMemIniFile ini(path);
  EXPECT_EQ(ini.ReadString("version", "SKINNAME", ""), QString::fromUtf8("测试"));
  ini.WriteString("version", "skinauthor", "me");
  EXPECT_EQ(ReadAll(path), QByteArray("[VERSION]\r\nskinname=测试\r\n"));  // not yet written
  ini.UpdateFile();
  EXPECT_EQ(ReadAll(path), QByteArray("[VERSION]\nskinname=测试\nskinauthor=me\n"));
  TMemIniFile nameless(QStringList{"[a]"});
  EXPECT_THROW(nameless.UpdateFile(), EIniFileException);
}

TEST(IniFile, LinesThatAreNoUtf8StayByteForByte)
{
  QTemporaryDir dir;
  const QString path = dir.filePath("mainform.ini");
  // Latin-1 from another editor, a damaged line, and a section header in Latin-1.
  const QByteArray stored = "\xff\xfe junk\n[record]\nsource=Mikrofon (USB-Ger\xe4t)\n\x80\x81=\x82\n"
                            "[caf\xe9]\nk=v\n[main]\nleft=5\n";
  WriteAll(path, stored);
  TIniFile ini(path);
  // Read as Latin-1, so the name still matches a source of that name.
  EXPECT_EQ(ini.ReadString("record", "source", ""), QStringLiteral("Mikrofon (USB-Gerät)"));
  EXPECT_EQ(ini.ReadString("café", "k", ""), "v");
  ini.WriteInteger("main", "left", 6);
  ini.WriteString("record", "source", QStringLiteral("Mikrofon (USB-Gerät)"));  // unchanged: kept as it was
  EXPECT_EQ(ReadAll(path), QByteArray(stored).replace("left=5", "left=6"));
  // A line the program changes is its own from then on, in UTF-8.
  ini.WriteString("record", "source", QStringLiteral("Gerät 2"));
  EXPECT_EQ(ReadAll(path), QByteArray("\xff\xfe junk\n[record]\nsource=Ger\xc3\xa4t 2\n\x80\x81=\x82\n"
                                      "[caf\xe9]\nk=v\n[main]\nleft=6\n"));
  TMemIniFile mem(path);
  mem.WriteString("main", "top", "1");
  mem.UpdateFile();
  EXPECT_TRUE(ReadAll(path).startsWith("\xff\xfe junk\n")) << "the in-memory file keeps them too";
}

TEST(StringList, NamesValuesAndLookup)
{
  TStringList list;
  list.Add("MI_MINCAPTION=Mi&nimize");
  list.Add("Plain");
  list.Add("FLV_LOOKIN=Look in: ");
  list.Insert(0, "a=b=c");
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.IndexOf("plain"), 2);
  EXPECT_EQ(list.IndexOf("Plai"), -1);
  EXPECT_EQ(list.Names(0), "a");
  EXPECT_EQ(list.ValueFromIndex(0), "b=c");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.Values("mi_mincaption"), "Mi&nimize");
  EXPECT_EQ(list.Values("FLV_LOOKIN"), "Look in: ");
  EXPECT_EQ(list.Values("none"), "");
  list.SetValues("A", "z");
  EXPECT_EQ(list.Strings(0), "A=z");
  list.SetValues("a", "");
  EXPECT_EQ(list.Count(), 3);
  list.SetValues("new", "v");
  EXPECT_EQ(list.Strings(3), "new=v");
  list.Delete(1);
  EXPECT_EQ(list.Strings(1), "FLV_LOOKIN=Look in: ");
  EXPECT_THROW(list.Delete(7), EConvertError);
  EXPECT_THROW(list.Insert(-1, "x"), EConvertError);
}

TEST(StringList, TextAndFiles)
{
  TStringList list;
  list.SetText("one\r\ntwo\nthree\rfour\r\n\r\n");
  EXPECT_EQ(list.Lines(), (QStringList{"one", "two", "three", "four", ""}));
  EXPECT_EQ(list.Text(), "one\ntwo\nthree\nfour\n\n");
  QTemporaryDir dir;
  const QString path = dir.filePath("lines.txt");
  TStringList chinese(QStringList{"收音机", "录音"});
  chinese.SaveToFile(path);
  TStringList back;
  back.LoadFromFile(path);
  EXPECT_EQ(back, chinese);
  EXPECT_THROW(back.LoadFromFile(dir.filePath("missing.txt")), EFOpenError);
  EXPECT_THROW(back.SaveToFile(path + "/below-a-file"), EFCreateError);
}
