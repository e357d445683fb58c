// The windows' stored descriptions as shipped: they read cleanly, carry the
// built-in skin exactly as a fresh pack of resources/skin makes it, and what
// the writer makes of them reads back to the same text.
#include "app/all_classes.h"
#include "skin/skin_data.h"
#include "support/qt_printers.h"
#include "toolkit/form_reader.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(ShippedDescriptions, ReadCleanlyAndCarryTheBuiltInSkin)
{
  RegisterAllClasses();
  TbsCompressedStoredSkin packer(nullptr);
  ASSERT_TRUE(packer.PackSkinFolder(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.ini")));
  const QByteArray fresh = packer.CompressedData();
  ASSERT_FALSE(fresh.isEmpty());
  ASSERT_TRUE(fresh.startsWith("\x78\xDA")) << "zlib at level 9";
  const QDir forms(QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms"));
  const QStringList files = forms.entryList({"*.vfm"});
  ASSERT_FALSE(files.isEmpty());
  for (const QString& name : files) {
    TComponent* root = ReadComponentFile(forms.filePath(name), nullptr, nullptr, TReadOptions{.Designing = true});
    auto* stored = qobject_cast<TbsCompressedStoredSkin*>(root->FindComponent("bsCompressedStoredSkin1"));
    ASSERT_NE(stored, nullptr) << name.toStdString() << " carries no stored skin";
    EXPECT_EQ(stored->CompressedData() == fresh, true)
        << name.toStdString() << ": run velmora-tool art skin resources/forms/" << name.toStdString()
        << " resources/skin/skin.ini";
    // Written, read back and written again: the same text (hints a control
    // takes from its parent are not written as its own).
    const QString written = WriteComponentText(root);
    TComponent::Free(root);
    TComponent* again = ReadComponentText(written, name, nullptr, nullptr, TReadOptions{.Designing = true});
    EXPECT_EQ(WriteComponentText(again), written) << name.toStdString();
    TComponent::Free(again);
  }
}

} // namespace
