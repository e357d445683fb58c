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
  TForm* form;
  TbsSkinData* skin;
  TbsSkinButton* button;
  TbsSkinToolBar* bar;
  TbsSkinStatusBar* status;
};

Window& Built()
{
  static Window w = [] {
    Window s{};
    s.form = new TForm(nullptr);
    s.form->SetBorderStyle(TForm::bsNone);
    s.form->SetBounds(0, 0, 246, 534);
    auto* stored = new TbsCompressedStoredSkin(s.form);
    stored->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    s.skin = new TbsSkinData(s.form);
    s.skin->SetCompressedStoredSkin(stored);
    auto* images = new TImageList(s.form);
    for (int i = 0; i < 5; ++i) {
      QImage image(16, 16, QImage::Format_ARGB32);
      image.fill(QColor(40 * i, 90, 200));
      images->AddImage(image);
    }

    s.bar = new TbsSkinToolBar(s.form);
    s.bar->SetParent(s.form);
    s.bar->SetAlign(TControl::alTop);
    s.bar->SetImages(images);
    for (int i : {4, 2, 0}) {
      auto* b = new TbsSkinSpeedButton(s.form);
      b->SetParent(s.bar);
      b->SetAlign(TControl::alLeft);
      b->SetImageIndex(i);
    }
    auto* version = new TbsSkinStdLabel(s.form);
    version->SetParent(s.bar);
    version->SetAlign(TControl::alRight);
    version->SetAutoSize(false);
    version->SetWidth(65);
    version->SetAlignment(TControl::taCenter);
    version->SetLayout(TControl::tlCenter);
    version->SetCaption(QStringLiteral("版本 1.2.4"));
    s.bar->SetSkinData(s.skin);
    version->SetSkinData(s.skin);

    s.status = new TbsSkinStatusBar(s.form);
    s.status->SetParent(s.form);
    auto* field = new TbsSkinStatusPanel(s.form);
    field->SetParent(s.status);
    field->SetAlign(TControl::alLeft);
    field->SetCaption(QStringLiteral("网络版请登录："));
    field->SetAutoSize(true);
    auto* link = new TbsSkinLinkLabel(s.form);
    link->SetParent(s.status);
    link->SetAlign(TControl::alClient);
    link->SetAlignment(TControl::taCenter);
    link->SetLayout(TControl::tlCenter);
    link->SetCaption(QStringLiteral("www.velmora.example"));
    s.status->SetSkinData(s.skin);

    s.button = new TbsSkinButton(s.form);
    s.button->SetParent(s.form);
    s.button->SetBounds(8, 60, 113, 25);
    s.button->SetCaption(QStringLiteral("开始录音"));
    s.button->SetSkinData(s.skin);
    return s;
  }();
  return w;
}

void BM_SkinButtonPaint(benchmark::State& state)
{
  TbsSkinButton* b = Built().button;
  if (state.range(0)) b->Perform(CM_MOUSEENTER);
  PaintControl(state, b);
  if (state.range(0)) b->Perform(CM_MOUSELEAVE);
}
BENCHMARK(BM_SkinButtonPaint)->Arg(0)->Arg(1)->ArgName("hot");

void BM_SkinToolBarPaint(benchmark::State& state) { PaintControl(state, Built().bar); }
BENCHMARK(BM_SkinToolBarPaint);

void BM_SkinStatusBarPaint(benchmark::State& state) { PaintControl(state, Built().status); }
BENCHMARK(BM_SkinStatusBarPaint);

} // namespace
