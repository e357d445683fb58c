// Reading files anyone may have replaced: FIFOs, devices and oversized files
// are refused at once, by the helper and by every toolkit reader on it.
#include "support/hostile_files.h"
#include "toolkit/form_reader.h"
#include "toolkit/ini_file.h"
#include "toolkit/regular_file.h"
#include "toolkit/string_list.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void WriteAll(const QString& path, const QByteArray& data)
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

TEST(RegularFile, ReadsRegularFilesAndRefusesTheRestWithTheReason)
{
  QTemporaryDir dir;
  const QString plain = dir.filePath("plain.txt");
  WriteAll(plain, "abc\n");
  ASSERT_TRUE(QFile::link(plain, dir.filePath("link.txt")));
  TRegularFileRead r = ReadRegularFile(dir.filePath("link.txt"), 4);
  EXPECT_TRUE(r.Ok()) << r.Error.toStdString();
  EXPECT_EQ(r.Data, "abc\n");

  EXPECT_EQ(ReadRegularFile(dir.filePath("missing"), 10).Status, TRegularFileRead::Missing);
  EXPECT_EQ(ReadRegularFile(dir.filePath("dangling"), 10).Status, TRegularFileRead::Missing);

  r = ReadRegularFile(plain, 3);
  EXPECT_EQ(r.Status, TRegularFileRead::Refused);
  EXPECT_TRUE(r.Error.contains("文件太大")) << r.Error.toStdString();

  ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("zero")));
  r = ReadRegularFile(dir.filePath("zero"), 1 << 20);
  EXPECT_EQ(r.Status, TRegularFileRead::Refused);
  EXPECT_TRUE(r.Error.contains("设备")) << r.Error.toStdString();
  EXPECT_EQ(ReadRegularFile(dir.path(), 1 << 20).Status, TRegularFileRead::Refused);

  const QString fifo = dir.filePath("fifo");
  ASSERT_TRUE(MakeFifo(fifo));
  TFifoWatch watch(fifo);
  r = ReadRegularFile(fifo, 1 << 20);
  EXPECT_EQ(r.Status, TRegularFileRead::Refused);
  EXPECT_TRUE(r.Error.contains("管道")) << r.Error.toStdString();
  EXPECT_THROW(ReadRegularFileOrRaise(fifo, 10), EFOpenError);
  EXPECT_FALSE(watch.Released()) << "open() blocked on the FIFO";
}

TEST(RegularFile, ToolkitReadersNeitherBlockNorReadWithoutEnd)
{
  QTemporaryDir dir;
  const QString fifo = dir.filePath("mainform.ini");
  ASSERT_TRUE(MakeFifo(fifo));
  {
    TFifoWatch watch(fifo);
    EXPECT_THROW(TMemIniFile{fifo}, EIniFileException);
    TIniFile ini(fifo);
    EXPECT_THROW(ini.WriteInteger("main", "left", 1), EIniFileException);
    TStringList lines;
    EXPECT_THROW(lines.LoadFromFile(fifo), EFOpenError);
    EXPECT_FALSE(watch.Released()) << "open() blocked on the FIFO";
  }
  EXPECT_FALSE(QFileInfo(fifo).isFile()) << "the FIFO is not replaced by a file";

  // A device never ends: refused, not read until memory runs out.
  const QString zero = dir.filePath("zero.vfm");
  ASSERT_TRUE(QFile::link("/dev/zero", zero));
  try {
    ReadComponentFile(zero);
    ADD_FAILURE() << "a device was read as a description";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.File(), zero);
    EXPECT_TRUE(e.Text().contains("设备")) << e.Text().toStdString();
  }
  EXPECT_THROW(TMemIniFile{zero}, EIniFileException);
}

} // namespace
