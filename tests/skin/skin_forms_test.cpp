// The skin components inside the program's machinery: real forms receive the
// notices, descriptions carry the block, designing rebuilds it.
#include "skin/skin_data.h"
#include "toolkit/form_reader.h"
#include "toolkit/forms.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString kFolder = QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin");

// A form that records the skin notices it receives.
class RecordingForm : public TForm {
public:
  RecordingForm(QString name, QStringList* log) : TForm(nullptr), log_(log) { SetName(name); }
  void WndProc(TMessage& m) override
  {
    if (m.Msg >= SKN_CHANGING && m.Msg <= SKN_RESSTRINGS) log_->append(QStringLiteral("%1:%2").arg(Name()).arg(m.Msg));
    TForm::WndProc(m);
  }

private:
  QStringList* log_;
};

QByteArray BuiltinBlock()
{
  TbsCompressedStoredSkin stored(nullptr);
  stored.ImportPackedFile(kFolder + "/skin.bin");
  return stored.CompressedData();
}
} // namespace

TEST(SkinForms, NoticesReachTheScreensFormsOwnerFirst)
{
  QStringList log;
  auto* main = new RecordingForm("MainForm", &log);
  auto* record = new RecordingForm("RecordForm", &log);
  auto* stored = new TbsCompressedStoredSkin(record);
  stored->SetCompressedData(BuiltinBlock());
  auto* data = new TbsSkinData(record);
  data->SetCompressedStoredSkin(stored);
  EXPECT_FALSE(data->IsEmptySkin());
  QStringList expected;
  for (int msg : {1225, 1226, 1227}) expected << QStringLiteral("RecordForm:%1").arg(msg) << QStringLiteral("MainForm:%1").arg(msg);
  EXPECT_EQ(log, expected);
  TComponent::Free(record);
  TComponent::Free(main);
}

TEST(SkinForms, DescriptionsCarryTheBlockAndLinkTheSkinData)
{
  RegisterToolkitClasses();
  RegisterSkinClasses();
  const QByteArray block = BuiltinBlock();
  const QString text = QStringLiteral(
                           "object Holder: TComponent\n"
                           "  object bsSkinData1: TbsSkinData\n"
                           "    CompressedStoredSkin = bsCompressedStoredSkin1\n"
                           "  end\n"
                           "  object bsCompressedStoredSkin1: TbsCompressedStoredSkin\n"
                           "    FileName = 'skin.ini'\n"
                           "    CompressedData = {%1}\n"
                           "  end\n"
                           "end\n")
                           .arg(QString::fromLatin1(block.toHex().toUpper()));
  TComponent* root = ReadComponentText(text, "holder.vfm");
  auto* data = qobject_cast<TbsSkinData*>(root->FindComponent("bsSkinData1"));
  ASSERT_NE(data, nullptr);
  EXPECT_FALSE(data->IsEmptySkin());
  EXPECT_EQ(data->FindSkinControl("statusbar"), 24);
  auto* stored = qobject_cast<TbsCompressedStoredSkin*>(root->FindComponent("bsCompressedStoredSkin1"));
  EXPECT_EQ(stored->FileName(), "skin.ini");

  // Written back, the block is there; an empty block is written too.
  const QString written = WriteComponentText(root);
  EXPECT_TRUE(written.contains(QString::fromLatin1(block.toHex().toUpper().left(64)))) << written.left(400).toStdString();
  stored->SetCompressedData(QByteArray());
  EXPECT_TRUE(WriteComponentText(root).contains("CompressedData = {}")) << WriteComponentText(root).toStdString();
  TComponent::Free(root);
}

TEST(SkinForms, DesigningRebuildsTheBlockFromTheGivenPath)
{
  QTemporaryDir dir;
  for (const QString& name : QDir(kFolder).entryList(QDir::Files))
    ASSERT_TRUE(QFile::copy(kFolder + '/' + name, dir.filePath(name)));

  TbsCompressedStoredSkin stored(nullptr);
  stored.SetFileName(dir.filePath("skin.ini"));  // at run time only the name changes
  EXPECT_TRUE(stored.IsDataEmpty());
  EXPECT_EQ(stored.FileName(), dir.filePath("skin.ini"));

  stored.SetDesigning(true);
  stored.SetFileName(dir.filePath("skin.ini"));
  EXPECT_EQ(stored.FileName(), "skin.ini");
  QFile packed(dir.filePath("skin.bin"));
  ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
  EXPECT_EQ(stored.PackedFileData(), packed.readAll());
  stored.SetCompressedFileName(dir.filePath("skin.bin"));
  EXPECT_EQ(stored.CompressedFileName(), "skin.bin");
  EXPECT_FALSE(stored.IsDataEmpty());

  // While a description is read, designing or not, only names are stored.
  stored.BeginLoading();
  stored.SetFileName(dir.filePath("elsewhere/skin.ini"));
  EXPECT_EQ(stored.FileName(), dir.filePath("elsewhere/skin.ini"));

  // A designing skin data does not load.
  TbsSkinData data(nullptr);
  data.SetDesigning(true);
  data.SetCompressedStoredSkin(&stored);
  EXPECT_TRUE(data.IsEmptySkin());
}
