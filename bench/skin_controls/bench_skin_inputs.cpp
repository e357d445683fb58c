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
  TForm* form = nullptr;
  TbsSkinComboBox* box = nullptr;
  TbsSkinScrollBar* skinnedBar = nullptr;
  TbsSkinScrollBar* plainBar = nullptr;
};

Built& Controls()
{
  static Built b = [] {
    Built s;
    s.form = new TForm(nullptr);
    s.form->SetBorderStyle(TForm::bsNone);
    s.form->SetBounds(0, 0, 300, 200);
    auto* stored = new TbsCompressedStoredSkin(s.form);
    stored->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    auto* skin = new TbsSkinData(s.form);
    skin->SetCompressedStoredSkin(stored);

    s.box = new TbsSkinComboBox(s.form);
    s.box->SetParent(s.form);
    s.box->SetBounds(136, 11, 120, 20);
    s.box->SetItems({QStringLiteral("32 kbps"), QStringLiteral("64 kbps"), QStringLiteral("128 kbps")});
    s.box->SetItemIndex(1);
    s.box->SetSkinData(skin);

    for (TbsSkinScrollBar** bar : {&s.skinnedBar, &s.plainBar}) {
      *bar = new TbsSkinScrollBar(s.form);
      (*bar)->SetParent(s.form);
      (*bar)->SetKind(TbsSkinScrollBar::sbVertical);
      (*bar)->SetSkinDataName(QStringLiteral("vscrollbar"));
      (*bar)->SetBounds(0, 0, 17, 160);
      (*bar)->AssignRange(0, 29, 8, 12);
    }
    s.skinnedBar->SetSkinData(skin);
    return s;
  }();
  return b;
}

void BM_SkinComboBoxPaint(benchmark::State& state) { PaintControl(state, Controls().box); }
BENCHMARK(BM_SkinComboBoxPaint);

void BM_SkinComboBoxListPaint(benchmark::State& state)
{
  TbsSkinComboBox* box = Controls().box;
  box->DropDownList();
  PaintControl(state, box->PopupList());
  box->CloseUpList(false);
}
BENCHMARK(BM_SkinComboBoxListPaint);

void BM_SkinScrollBarPaint(benchmark::State& state)
{
  PaintControl(state, state.range(0) ? Controls().skinnedBar : Controls().plainBar);
}
BENCHMARK(BM_SkinScrollBarPaint)->Arg(1)->Arg(0)->ArgName("skinned");

} // namespace
