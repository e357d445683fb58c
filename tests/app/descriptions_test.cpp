// The windows' stored descriptions as shipped: they read cleanly and carry
// the built-in skin exactly as a fresh pack of resources/skin makes it.
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
    TComponent* root = ReadComponentFile(forms.filePath(name), nullptr, nullptr, TReadOptions{.designing = true});
    auto* stored = qobject_cast<TbsCompressedStoredSkin*>(root->FindComponent("bsCompressedStoredSkin1"));
    ASSERT_NE(stored, nullptr) << name.toStdString() << " carries no stored skin";
    EXPECT_EQ(stored->CompressedData() == fresh, true)
        << name.toStdString() << ": run velmora-tool art skin resources/forms/" << name.toStdString()
        << " resources/skin/skin.ini";
    TComponent::Free(root);
  }
}

} // namespace
