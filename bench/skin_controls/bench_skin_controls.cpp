// Skinned controls painted from the built-in skin (resources/skin/skin.bin),
// per call: a 113 x 28 push button with its caption (normal and hot), the
// main window's 246 x 30 tool bar with three tool buttons and the version
// label, and its 246 x 23 status bar with the text field and the link.
#include "paint_control.h"
#include "skin/skin_data.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_labels.h"
#include "skin_controls/skin_panels.h"
#include "toolkit/forms.h"
#include "toolkit/image_list.h"

#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

struct Window {
  TForm* Form;
  TbsSkinData* Skin;
  TbsSkinButton* Button;
  TbsSkinToolBar* Bar;
  TbsSkinStatusBar* Status;
};

Window& Built()
{
  static Window w = [] {
    Window s{};
    s.Form = new TForm(nullptr);
    s.Form->SetBorderStyle(TForm::bsNone);
    s.Form->SetBounds(0, 0, 246, 534);
    auto* stored = new TbsCompressedStoredSkin(s.Form);
    stored->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    s.Skin = new TbsSkinData(s.Form);
    s.Skin->SetCompressedStoredSkin(stored);
    auto* images = new TImageList(s.Form);
    for (int i = 0; i < 5; ++i) {
      QImage image(16, 16, QImage::Format_ARGB32);
      image.fill(QColor(40 * i, 90, 200));
      images->AddImage(image);
    }

    s.Bar = new TbsSkinToolBar(s.Form);
    s.Bar->SetParent(s.Form);
    s.Bar->SetAlign(TControl::alTop);
    s.Bar->SetImages(images);
    for (int i : {4, 2, 0}) {
      auto* b = new TbsSkinSpeedButton(s.Form);
      b->SetParent(s.Bar);
      b->SetAlign(TControl::alLeft);
      b->SetImageIndex(i);
    }
    auto* version = new TbsSkinStdLabel(s.Form);
    version->SetParent(s.Bar);
    version->SetAlign(TControl::alRight);
    version->SetAutoSize(false);
    version->SetWidth(65);
    version->SetAlignment(TControl::taCenter);
    version->SetLayout(TControl::tlCenter);
    version->SetCaption(QStringLiteral("版本 1.2.4"));
    s.Bar->SetSkinData(s.Skin);
    version->SetSkinData(s.Skin);

    s.Status = new TbsSkinStatusBar(s.Form);
    s.Status->SetParent(s.Form);
    auto* field = new TbsSkinStatusPanel(s.Form);
    field->SetParent(s.Status);
    field->SetAlign(TControl::alLeft);
    field->SetCaption(QStringLiteral("网络版请登录："));
    field->SetAutoSize(true);
    auto* link = new TbsSkinLinkLabel(s.Form);
    link->SetParent(s.Status);
    link->SetAlign(TControl::alClient);
    link->SetAlignment(TControl::taCenter);
    link->SetLayout(TControl::tlCenter);
    link->SetCaption(QStringLiteral("www.velmora.example"));
    s.Status->SetSkinData(s.Skin);

    s.Button = new TbsSkinButton(s.Form);
    s.Button->SetParent(s.Form);
    s.Button->SetBounds(8, 60, 113, 25);
    s.Button->SetCaption(QStringLiteral("开始录音"));
    s.Button->SetSkinData(s.Skin);
    return s;
  }();
  return w;
}

void BM_SkinButtonPaint(benchmark::State& state)
{
  TbsSkinButton* b = Built().Button;
  if (state.range(0)) b->Perform(CM_MOUSEENTER);
  PaintControl(state, b);
  if (state.range(0)) b->Perform(CM_MOUSELEAVE);
}
BENCHMARK(BM_SkinButtonPaint)->Arg(0)->Arg(1)->ArgName("hot");

void BM_SkinToolBarPaint(benchmark::State& state) { PaintControl(state, Built().Bar); }
BENCHMARK(BM_SkinToolBarPaint);

void BM_SkinStatusBarPaint(benchmark::State& state) { PaintControl(state, Built().Status); }
BENCHMARK(BM_SkinStatusBarPaint);

} // namespace
