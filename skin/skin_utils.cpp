#include "skin/skin_utils.h"

#include "toolkit/controls.h"
#include "toolkit/forms.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstring>

QString TruncateWithEllipsis(TCanvas* canvas, const QString& text, int width)
{
  if (canvas->TextWidth(text) <= width) return text;
  const QString dots = QStringLiteral("...");
  QString head = text;
  while (!head.isEmpty()) {
    // Drop whole characters: a surrogate pair goes as one.
    int cut = 1;
    if (head.size() >= 2 && head.at(head.size() - 1).isLowSurrogate() && head.at(head.size() - 2).isHighSurrogate())
      cut = 2;
    head.chop(cut);
    if (canvas->TextWidth(head + dots) <= width) return head + dots;
  }
  return dots;
}

void DrawTextInRect(TCanvas* canvas, const QString& text, const QRect& rect, int leftOffset)
{
  const int y = rect.top() + rect.height() / 2 - canvas->TextHeight(text) / 2;
  canvas->TextRect(rect, rect.left() + 2 + leftOffset, y, text);
}

void DrawGlyphFrame(TCanvas* canvas, int x, int y, int frame, int count, const TBitmap& strip)
{
  if (strip.Empty()) return;
  count = std::max(count, 1);
  const int w = strip.Width() / count;
  if (w <= 0) return;
  frame = std::clamp(frame, 1, count);
  TBitmap piece;
  piece.SetImage(strip.Image().copy((frame - 1) * w, 0, w, strip.Height()));
  piece.SetTransparent(true);
  canvas->Draw(x, y, &piece);
}

const std::vector<const char*>& GlyphPattern(TbsGlyph glyph)
{
  static const std::vector<const char*> arrowLeft = {"   #", "  ##", " ###", "####", " ###", "  ##", "   #"};
  static const std::vector<const char*> arrowRight = {"#   ", "##  ", "### ", "####", "### ", "##  ", "#   "};
  static const std::vector<const char*> arrowUp = {"   #   ", "  ###  ", " ##### ", "#######"};
  static const std::vector<const char*> arrowDown = {"#######", " ##### ", "  ###  ", "   #   "};
  static const std::vector<const char*> dropDown = {"#####", " ### ", "  #  "};
  static const std::vector<const char*> check = {"      #", "     ##", "#   ###", "## ### ",
                                                 "#####  ", " ###   ", "  #    "};
  static const std::vector<const char*> close = {"##     ##", " ##   ## ", "  ## ##  ", "   ###   ", "   ###   ",
                                                 "  ## ##  ", " ##   ## ", "##     ##", "#       #"};
  static const std::vector<const char*> minimize = {"         ", "         ", "         ", "         ", "         ",
                                                    "         ", "         ", " ######  ", " ######  "};
  static const std::vector<const char*> maximize = {"###########", "###########", "#         #", "#         #",
                                                    "#         #", "#         #", "#         #", "#         #",
                                                    "#         #", "###########"};
  static const std::vector<const char*> restore = {"   ########", "   ########", "   #      #", "######## #",
                                                   "######## #", "#      # #", "#      ####", "#      #   ",
                                                   "#      #   ", "########   "};
  static const std::vector<const char*> rollUp = {"    #    ", "   ###   ", "  #####  ", " ####### ", "#########"};
  static const std::vector<const char*> rollDown = {"#########", " ####### ", "  #####  ", "   ###   ", "    #    "};
  static const std::vector<const char*> square = {"######", "######", "######", "######", "######", "######"};
  switch (glyph) {
  case TbsGlyph::ArrowLeft: return arrowLeft;
  case TbsGlyph::ArrowRight: return arrowRight;
  case TbsGlyph::ArrowUp: return arrowUp;
  case TbsGlyph::ArrowDown: return arrowDown;
  case TbsGlyph::DropDown: return dropDown;
  case TbsGlyph::Check: return check;
  case TbsGlyph::Close: return close;
  case TbsGlyph::Minimize: return minimize;
  case TbsGlyph::Maximize: return maximize;
  case TbsGlyph::Restore: return restore;
  case TbsGlyph::RollUp: return rollUp;
  case TbsGlyph::RollDown: return rollDown;
  case TbsGlyph::Square: return square;
  }
  return square;
}

namespace {

// Fills rectangles in one colour with the canvas' brush, leaving the brush as it was.
class SolidFill {
public:
  SolidFill(TCanvas* canvas, TColor color)
      : canvas_(canvas), color_(canvas->Brush()->Color()), style_(canvas->Brush()->Style())
  {
    canvas->Brush()->SetColor(color);
    canvas->Brush()->SetStyle(TBrush::bsSolid);
  }
  ~SolidFill()
  {
    canvas_->Brush()->SetColor(color_);
    canvas_->Brush()->SetStyle(style_);
  }
  void Fill(const QRect& r) { canvas_->FillRect(r); }

private:
  TCanvas* canvas_;
  TColor color_;
  TBrush::TBrushStyle style_;
};

} // namespace

void DrawGlyph(TCanvas* canvas, const QRect& rect, TbsGlyph glyph, TColor color)
{
  const auto& rows = GlyphPattern(glyph);
  const int gh = int(rows.size());
  const int gw = int(std::strlen(rows.front()));
  const int x0 = rect.left() + (rect.width() - gw) / 2;
  const int y0 = rect.top() + (rect.height() - gh) / 2;
  SolidFill fill(canvas, color);
  for (int y = 0; y < gh; ++y) {
    const char* row = rows[size_t(y)];
    for (int x = 0; x < gw;) {
      if (row[x] != '#') {
        ++x;
        continue;
      }
      const int start = x;
      while (x < gw && row[x] == '#') ++x;
      fill.Fill(QRect(x0 + start, y0 + y, x - start, 1));
    }
  }
}

void DrawTwoColorFrame(TCanvas* canvas, const QRect& r, TColor light, TColor dark)
{
  if (r.isEmpty()) return;
  {
    SolidFill fill(canvas, dark);
    fill.Fill(QRect(r.left(), r.bottom(), r.width(), 1));
    fill.Fill(QRect(r.right(), r.top(), 1, r.height()));
  }
  SolidFill fill(canvas, light);
  fill.Fill(QRect(r.left(), r.top(), r.width() - 1, 1));
  fill.Fill(QRect(r.left(), r.top(), 1, r.height() - 1));
}

QRect GetMonitorWorkArea(const TWinControl* window, bool workArea)
{
  if (Screen->MonitorCount() > 1) {
    const TMonitor m = Screen->MonitorFromWindow(window);
    return workArea ? m.WorkareaRect : m.BoundsRect;
  }
  return workArea ? Screen->WorkAreaRect() : QRect(0, 0, Screen->Width(), Screen->Height());
}

bool TransparencySupported()
{
  if (!QGuiApplication::instance()) return false;
  // Window opacity reaches the screen on X11 (with a compositor), Windows and
  // macOS; the headless platform keeps the value on its windows. Wayland
  // offers no per-window opacity.
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("xcb") || platform == QLatin1String("windows") ||
         platform == QLatin1String("cocoa") || platform == QLatin1String("offscreen");
}

void SetWindowAlpha(TWinControl* control, int alpha)
{
  if (!control || !TransparencySupported()) return;
  alpha = std::clamp(alpha, 0, 255);
  if (auto* form = dynamic_cast<TForm*>(control)) {
    form->SetWindowOpacity(alpha);
    return;
  }
  if (control->HandleAllocated()) control->Handle()->window()->setWindowOpacity(alpha / 255.0);
}

bool RectInRect(const QRect& inner, const QRect& outer)
{
  auto in = [&outer](int x, int y) {
    return x >= outer.x() && x < outer.x() + outer.width() && y >= outer.y() && y < outer.y() + outer.height();
  };
  return in(inner.x(), inner.y()) && in(inner.x() + inner.width(), inner.y() + inner.height());
}
