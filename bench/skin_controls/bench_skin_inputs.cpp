// Input controls painted from the built-in skin, per call: the record window's
// 120 x 20 bit-rate box (closed, and its open three-row list), a 17 x 160
// vertical scroll bar with a page, and the same bar in the built-in look.
#include "paint_control.h"
#include "skin/skin_data.h"
#include "skin_controls/skin_combo_box.h"
#include "skin_controls/skin_scroll_bar.h"
#include "toolkit/forms.h"

#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

struct Built {
  TForm* Form = nullptr;
  TbsSkinComboBox* Box = nullptr;
  TbsSkinScrollBar* SkinnedBar = nullptr;
  TbsSkinScrollBar* PlainBar = nullptr;
};

Built& Controls()
{
  static Built b = [] {
    Built s;
    s.Form = new TForm(nullptr);
    s.Form->SetBorderStyle(TForm::bsNone);
    s.Form->SetBounds(0, 0, 300, 200);
    auto* stored = new TbsCompressedStoredSkin(s.Form);
    stored->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    auto* skin = new TbsSkinData(s.Form);
    skin->SetCompressedStoredSkin(stored);

    s.Box = new TbsSkinComboBox(s.Form);
    s.Box->SetParent(s.Form);
    s.Box->SetBounds(136, 11, 120, 20);
    s.Box->SetItems({QStringLiteral("32 kbps"), QStringLiteral("64 kbps"), QStringLiteral("128 kbps")});
    s.Box->SetItemIndex(1);
    s.Box->SetSkinData(skin);

    for (TbsSkinScrollBar** bar : {&s.SkinnedBar, &s.PlainBar}) {
      *bar = new TbsSkinScrollBar(s.Form);
      (*bar)->SetParent(s.Form);
      (*bar)->SetKind(TbsSkinScrollBar::sbVertical);
      (*bar)->SetSkinDataName(QStringLiteral("vscrollbar"));
      (*bar)->SetBounds(0, 0, 17, 160);
      (*bar)->AssignRange(0, 29, 8, 12);
    }
    s.SkinnedBar->SetSkinData(skin);
    return s;
  }();
  return b;
}

void BM_SkinComboBoxPaint(benchmark::State& state) { PaintControl(state, Controls().Box); }
BENCHMARK(BM_SkinComboBoxPaint);

void BM_SkinComboBoxListPaint(benchmark::State& state)
{
  TbsSkinComboBox* box = Controls().Box;
  box->DropDownList();
  PaintControl(state, box->PopupList());
  box->CloseUpList(false);
}
BENCHMARK(BM_SkinComboBoxListPaint);

void BM_SkinScrollBarPaint(benchmark::State& state)
{
  PaintControl(state, state.range(0) ? Controls().SkinnedBar : Controls().PlainBar);
}
BENCHMARK(BM_SkinScrollBarPaint)->Arg(1)->Arg(0)->ArgName("skinned");

} // namespace
