// Skinned menus with the built-in skin, per call: opening the main window's
// three-item system menu (layout and placement of one level, window not
// shown), drawing that level, and drawing a 30-item level with short-cuts.
#include "skin/skin_data.h"
#include "skin/skin_menu.h"
#include "skin/skin_popup_window.h"
#include "toolkit/forms.h"

#include <benchmark/benchmark.h>

namespace {

class HostForm : public TForm, public TbsSkinMenuHost {
public:
  HostForm() : TForm(nullptr), menu_(new TbsSkinMenu(this))
  {
    menu_->SetForm(this);
    stored_ = new TbsCompressedStoredSkin(this);
    stored_->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    skin_ = new TbsSkinData(this);
    skin_->SetCompressedStoredSkin(stored_);
  }
  TbsSkinMenu* SkinMenu() const override { return menu_; }
  TbsSkinData* MenuSkinData() const override { return skin_; }

private:
  TbsSkinMenu* menu_;
  TbsCompressedStoredSkin* stored_;
  TbsSkinData* skin_;
};

TMenuItem* Items(int count)
{
  auto* root = new TMenuItem(nullptr);
  if (count == 3) {
    root->Add(TMenuItem::Create("BSF_MINTOTRAY", QStringLiteral("最小化到托盘(&T)")));
    root->Add(TMenuItem::Create("N1", "-"));
    root->Add(TMenuItem::Create("BSF_CLOSE", QStringLiteral("关闭(&C)"), "Alt+F4"));
    return root;
  }
  for (int i = 0; i < count; ++i)
    root->Add(i % 6 == 5 ? TMenuItem::Create(QString(), "-")
                         : TMenuItem::Create(QString(), QStringLiteral("菜单项 %1(&%2)").arg(i).arg(i % 10), "Ctrl+F5"));
  return root;
}

void BM_OpenSystemMenuLevel(benchmark::State& state)
{
  HostForm form;
  TMenuItem* items = Items(3);
  for (auto _ : state) {
    TbsSkinPopupWindow level(form.SkinMenu(), form.MenuSkinData());
    level.Prepare(items, 0, QRect(200, 150, 0, 0), false, false);
    benchmark::DoNotOptimize(level.Height());
  }
  state.SetLabel(form.MenuSkinData()->IsEmptySkin() ? "no skin" : "built-in skin");
  TComponent::Free(items);
}
BENCHMARK(BM_OpenSystemMenuLevel)->Unit(benchmark::kMicrosecond);

void PaintLevel(benchmark::State& state, int count)
{
  HostForm form;
  TMenuItem* items = Items(count);
  TbsSkinPopupWindow level(form.SkinMenu(), form.MenuSkinData());
  level.Prepare(items, 0, QRect(20, 20, 0, 0), false, false);
  level.SetActive(1);
  TBitmap out;
  for (auto _ : state) {
    level.PaintToBitmap(out);
    benchmark::DoNotOptimize(out.Image().constBits());
  }
  state.SetLabel(QStringLiteral("%1 x %2").arg(level.Width()).arg(level.Height()).toStdString());
  TComponent::Free(items);
}

void BM_PaintSystemMenu(benchmark::State& state) { PaintLevel(state, 3); }
BENCHMARK(BM_PaintSystemMenu)->Unit(benchmark::kMicrosecond);

void BM_PaintThirtyItemMenu(benchmark::State& state) { PaintLevel(state, 30); }
BENCHMARK(BM_PaintThirtyItemMenu)->Unit(benchmark::kMicrosecond);

} // namespace
