// The file list over a real folder of 2,000 files and 20 folders: listing it
// (read, mask, sort), painting one screen of the dialog's 450 x 290 list in the
// details and list styles with the built-in skin, and type-ahead to the last item.
#include "skin/skin_data.h"
#include "skin_controls/skin_file_list.h"
#include "toolkit/forms.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

struct Folder {
  QTemporaryDir Dir;
  TForm* Form = nullptr;
  TbsSkinFileListView* List = nullptr;

  Folder()
  {
    for (int i = 0; i < 20; ++i) QDir().mkpath(Dir.filePath(QStringLiteral("folder %1").arg(i)));
    for (int i = 0; i < 2000; ++i) {
      QFile f(Dir.filePath(QStringLiteral("录音 %1.%2").arg(i).arg(i % 4 == 0 ? "wav" : "mp3")));
      if (f.open(QIODevice::WriteOnly)) f.write("ID3");
    }
    Form = new TForm(nullptr);
    Form->SetBorderStyle(TForm::bsNone);
    Form->SetBounds(0, 0, 450, 290);
    auto* stored = new TbsCompressedStoredSkin(Form);
    stored->ImportPackedFile(QStringLiteral(VELMORA_SOURCE_DIR "/resources/skin/skin.bin"));
    auto* skin = new TbsSkinData(Form);
    skin->SetCompressedStoredSkin(stored);
    List = new TbsSkinFileListView(Form);
    List->SetParent(Form);
    List->SetBounds(0, 0, 450, 290);
    List->SetSkinData(skin);
    List->ApplySkinData();
    List->SetMask(QStringLiteral("*.mp3"));
    List->GoToPath(Dir.path());
  }
};

Folder& Shared()
{
  static Folder f;
  return f;
}

void BM_FileList_List2000(benchmark::State& state)
{
  Folder& f = Shared();
  for (auto _ : state) {
    f.List->Refresh();
    benchmark::DoNotOptimize(f.List->ItemCount());
  }
  state.counters["items"] = f.List->ItemCount();
}
BENCHMARK(BM_FileList_List2000)->Unit(benchmark::kMillisecond);

void PaintScreen(benchmark::State& state, TbsSkinCustomListView::TViewStyle style)
{
  Folder& f = Shared();
  f.List->SetViewStyle(style);
  QImage image(450, 290, QImage::Format_RGB32);
  int step = 0;
  for (auto _ : state) {
    // A different screenful each time, as when scrolling through the folder.
    f.List->SetScrollPos(QPoint(style == TbsSkinCustomListView::vsList ? (step * 97) % 20000 : 0, (step * 97) % 20000));
    ++step;
    QPainter painter(&image);
    f.List->PaintTo(painter, 0, 0);
  }
}

void BM_FileList_PaintDetails(benchmark::State& state) { PaintScreen(state, TbsSkinCustomListView::vsReport); }
BENCHMARK(BM_FileList_PaintDetails)->Unit(benchmark::kMillisecond);
void BM_FileList_PaintList(benchmark::State& state) { PaintScreen(state, TbsSkinCustomListView::vsList); }
BENCHMARK(BM_FileList_PaintList)->Unit(benchmark::kMillisecond);

void BM_FileList_TypeAheadToLast(benchmark::State& state)
{
  Folder& f = Shared();
  const QString last = f.List->Folder(f.List->ItemCount() - 1)->DisplayName();
  for (auto _ : state) benchmark::DoNotOptimize(f.List->FindCaption(0, last, true));
}
BENCHMARK(BM_FileList_TypeAheadToLast)->Unit(benchmark::kMicrosecond);

} // namespace
