#include "skin_controls_support.h"

#include "skin_controls/skin_controls_register.h"
#include "support/files.h"
#include "toolkit/std_controls.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <gtest/gtest.h>

namespace skin_test {

TbsSkinData* LoadBuiltinSkin(TComponent* owner)
{
  auto* stored = new TbsCompressedStoredSkin(owner);
  stored->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
  auto* data = new TbsSkinData(owner);
  data->SetCompressedStoredSkin(stored);
  return data;
}

TColor ColumnColor(int x, int y) { return RGB(x * 6, y * 8, 90); }

QImage ColumnPicture()
{
  QImage image(40, 30, QImage::Format_RGB888);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) image.setPixelColor(x, y, ColorToQColor(ColumnColor(x, y)));
  return image;
}

QStringList ControlLines(const QStringList& entries, const QStringList& sections)
{
  QStringList lines = {"[SKINCONTROLS]", QStringLiteral("count=%1").arg(entries.size())};
  for (int i = 0; i < entries.size(); ++i) lines << QStringLiteral("%1=%2").arg(i).arg(entries[i]);
  return lines + sections;
}

TbsSkinData* LoadSmallSkin(TComponent* owner, const QStringList& controlLines)
{
  QImage mask(8, 8, QImage::Format_RGB888);
  mask.fill(Qt::white);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 4; ++x) mask.setPixelColor(x, y, Qt::black);
  QImage frame(8, 8, QImage::Format_RGB888);
  frame.fill(Qt::gray);
  const QStringList head = {"[VERSION]", "skinname=small", "[PICTURES]", "picture=main.bmp", "activepicturescount=2",
                            "0=columns.bmp", "1=mask.bmp"};
  auto* data = new TbsSkinData(owner);
  data->LoadFromContainer(
      BuildSkinContainer({frame, 24}, {}, {}, {{ColumnPicture(), 24}, {mask, 24}}, head + controlLines));
  return data;
}

void RegisterClasses()
{
  RegisterToolkitClasses();
  RegisterToolkitVisualClasses();
  RegisterSkinClasses();
  RegisterSkinControlClasses();
}

TForm* NewForm()
{
  RegisterClasses();
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(TForm::bsNone);
  form->SetBounds(0, 0, 300, 200);
  return form;
}

QImage Paint(TControl* control)
{
  QImage image(std::max(1, control->Width()), std::max(1, control->Height()), QImage::Format_RGB32);
  image.fill(ColorToQColor(kUnpainted));
  QPainter painter(&image);
  control->PaintTo(painter, 0, 0);
  return image;
}

TemporaryHome::TemporaryHome() : home_(dir_.filePath("home"))
{
  QDir().mkpath(home_ + "/Desktop");
  previous_ = SetShellNamespace(LinuxShellNamespace({home_ + "/Desktop", home_, [] {
                                                       return std::vector<TShellMount>{{"/", "ext4", ""}};
                                                     }}));
}

TemporaryHome::~TemporaryHome() { SetShellNamespace(std::move(previous_)); }

void Touch(const QString& path) { WriteFile(path, "data"); }

} // namespace skin_test
