// velmora-skin-generator [--check] FOLDER
//
// Draws the built-in skin and writes its definition (skin.ini), its eight
// pictures and the packed block (skin.bin) into FOLDER. With --check it
// draws into a scratch folder and reports every file of FOLDER that differs,
// so a test catches a committed skin that no longer matches its generator.
#include "skin/skin_data.h"
#include "tools/skin_generator/skin_art.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <map>

using namespace skin_art;
using namespace skin_art::colours;

namespace {

constexpr int kDefinitionTextSize = 32227;  // bytes of the definition text, CR LF included
constexpr int kControlsPicture = 4;
constexpr int kActivePicture = 2;

QRect R(int l, int t, int r, int b) { return SkinRect(l, t, r, b); }

struct Picture {
  const char* File;
  int Width, Height, Bits, Colours;
  QImage Art;
};

class Generator {
public:
  Generator()
  {
    for (Picture& p : pictures_) {
      p.Art = QImage(p.Width, p.Height, QImage::Format_RGB32);
      p.Art.fill(Window);
    }
    DrawFrame();
    DrawPopupAndMenus();
    DrawCaptionButtons();
    DrawHint();
    DrawMdiBackground();
    ReserveFixedControls();
    DrawControls();
    DefineObjects();
  }

  void Write(const QString& folder);

private:
  // main, then the extra pictures in index order
  Picture pictures_[8] = {{"main.bmp", 191, 140, 8, 44, {}},         {"mainmenuitems.bmp", 37, 59, 8, 24, {}},
                          {"pw.bmp", 67, 59, 8, 225, {}},            {"active.bmp", 100, 216, 8, 256, {}},
                          {"hw.bmp", 39, 17, 8, 256, {}},            {"controls.bmp", 430, 333, 8, 256, {}},
                          {"menuitems.bmp", 67, 59, 8, 35, {}},      {"mdibg.bmp", 103, 67, 4, 16, {}}};
  QImage& Art(int extraIndex) { return pictures_[extraIndex + 1].Art; }
  QImage& Controls() { return Art(kControlsPicture); }

  std::vector<QRect> used_;
  std::vector<std::unique_ptr<TbsDataSkinObject>> objects_;
  std::vector<std::unique_ptr<TbsDataSkinControl>> controls_;
  std::map<QString, QString> notes_;  // definition name -> comment line

  // A free place of the given size on the controls picture (first fit, 2 pixels apart).
  QRect Tile(int w, int h)
  {
    const QImage& c = Controls();
    for (int y = 1; y + h <= c.height() - 1; ++y)
      for (int x = 1; x + w <= c.width() - 1;) {
        const QRect want(x - 1, y - 1, w + 2, h + 2);
        const auto hit = std::find_if(used_.begin(), used_.end(), [&](const QRect& u) { return u.intersects(want); });
        if (hit == used_.end()) {
          used_.push_back(QRect(x, y, w, h));
          return QRect(x, y, w, h);
        }
        x = hit->x() + hit->width() + 1;
      }
    qFatal("the controls picture is full");
  }
  void Reserve(const QRect& r) { used_.push_back(r); }

  template <typename T>
  T& Control(const QString& name, const QString& kind)
  {
    auto d = CreateSkinControl(kind, name);
    T* typed = dynamic_cast<T*>(d.get());
    if (!typed) qFatal("kind %s is not the class asked for", qPrintable(kind));
    d->PictureIndex = kControlsPicture;
    controls_.push_back(std::move(d));
    return *typed;
  }
  template <typename T>
  T& Object(const QString& name, const QString& kind)
  {
    auto d = CreateSkinObject(kind, name);
    T* typed = dynamic_cast<T*>(d.get());
    if (!typed) qFatal("kind %s is not the class asked for", qPrintable(kind));
    objects_.push_back(std::move(d));
    return *typed;
  }

  void DrawFrame();
  void DrawPopupAndMenus();
  void DrawCaptionButtons();
  void DrawHint();
  void DrawMdiBackground();
  void ReserveFixedControls();
  void DrawControls();
  void DefineObjects();

  // The control families of DrawControls.
  void DrawPanelAndButton(QPainter& p);
  void DrawCheckAndRadioBoxes(QPainter& p);
  void DrawGauge(QPainter& p, const QString& name, int w, int h, bool vertical);
  void DrawTrackBar(QPainter& p, const QString& name, bool vertical);
  void DrawLabel(QPainter& p);
  void DrawToolBar(QPainter& p);
  void DrawGrid(QPainter& p);
  void DrawTab(QPainter& p);
  TbsDataSkinEditControl& DefineEdit(const QString& name, const QRect& client);
  void DrawEditAndMemo(QPainter& p);
  void DrawScrollBars(QPainter& p);
  void DefineScrollBar(const QString& name, const QRect& skin, bool vertical);
  void DrawListBoxPictures(QPainter& p);
  TbsDataSkinListBox& DefineListBox(QPainter& p, const QString& name, const QString& kind, bool caption);
  void DefineCheckListBox(QPainter& p, const QString& name, bool caption);
  void DrawComboBoxPictures(QPainter& p);
  void DefineComboBox(const QString& name);
  void DrawSpinEdit(QPainter& p, const QString& name, int h);
  void DrawGroupBox(QPainter& p);
  void DefineLabels();
  void DrawStatusBar(QPainter& p);
  void DrawButtonEdit(QPainter& p, const QString& name, int h);
  void DrawUpDown(QPainter& p, const QString& name, bool vertical);
  void DrawMainMenuBarAndControlBar(QPainter& p);
  void DrawSplitter(QPainter& p, const QString& name, bool vertical);
  void DrawListHeader(QPainter& p);
  TbsDataSkinButtonControl& DefineToolButton(const QString& name, const QString& kind, const QRect& strip, int w, int h,
                                             int step);
  QRect DrawMenuButtonStrip(QPainter& p, int w, int h);
  void DrawBigAndMenuToolButtons(QPainter& p);
  void DefineScrollBoxAndViews();
  void DefineRichEdit();
  void DrawExPanel(QPainter& p);
  void DrawSliderAndBevel(QPainter& p);
  void DrawStatusBarFields(QPainter& p);

  QRect checks_;         // the check box's images (the check list boxes use them too)
  QRect captionedList_;  // the captioned list boxes' picture, once drawn
  QStringList Definition();
};

// ---------------------------------------------------------------- frame and small pictures

void Generator::DrawFrame()
{
  QImage& img = pictures_[0].Art;
  QPainter p(&img);
  const int w = img.width(), h = img.height();
  // Caption band (rows 0..29), then the thin borders around the client area (4, 30, 187, 136).
  for (int y = 0; y < 30; ++y) p.fillRect(0, y, w, 1, CaptionRow(y));
  const QColor rim(0xDC, 0xE3, 0xEE);
  p.fillRect(0, 30, w, h - 30, rim);
  p.fillRect(R(4, 30, 187, 136), Window);
  // Outer edge, and a hairline around the client area.
  p.setPen(DarkBorder);
  p.drawLine(0, 2, 0, h - 1);
  p.drawLine(w - 1, 2, w - 1, h - 1);
  p.drawLine(0, h - 1, w - 1, h - 1);
  p.setPen(SoftBorder);
  p.drawLine(3, 29, w - 4, 29);
  p.drawLine(3, 29, 3, 136);
  p.drawLine(w - 4, 29, w - 4, 136);
  p.drawLine(3, 136, w - 4, 136);
}

void Generator::DrawPopupAndMenus()
{
  // Popup window picture: white sheet, soft border, a faint shadow line inside the bottom edge.
  {
    QPainter p(&Art(1));
    Box(p, R(0, 0, 67, 59), Field, Border);
    p.setPen(QColor(0xE9, 0xEE, 0xF5));
    p.drawLine(1, 57, 65, 57);
  }
  // Menu items: normal, hot, and the separator.
  {
    QPainter p(&Art(5));
    p.fillRect(R(0, 0, 67, 59), Field);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x8D, 0xB0, 0xEE), 1));
    p.setBrush(AccentSoft);
    p.drawRoundedRect(QRectF(R(1, 19, 58, 37)).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(SoftBorder);
    p.drawLine(4, 44, 54, 44);
  }
  // Main-menu bar items: normal (flat), hot, pressed.
  {
    QPainter p(&Art(0));
    p.fillRect(R(0, 0, 37, 59), Panel);
    Face(p, R(0, 19, 37, 37), Look::Hot, 3);
    Face(p, R(0, 38, 37, 56), Look::Pressed, 3);
  }
}

// Glyphs of the caption buttons, drawn into a 14 x 14 cell.
void CaptionGlyph(QPainter& p, const QRect& cell, TbsStdCommand command, const QColor& c)
{
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(c, 1));
  const int x = cell.x(), y = cell.y();
  switch (command) {
  case TbsStdCommand::cmClose:
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(c, 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x + 4, y + 4), QPointF(x + 10, y + 10));
    p.drawLine(QPointF(x + 10, y + 4), QPointF(x + 4, y + 10));
    break;
  case TbsStdCommand::cmMaximize:
    p.drawRect(x + 3, y + 3, 7, 7);
    p.drawLine(x + 3, y + 4, x + 10, y + 4);
    break;
  case TbsStdCommand::cmMinimize: p.fillRect(x + 3, y + 9, 8, 2, c); break;
  case TbsStdCommand::cmRollUp:
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygon() << QPoint(x + 3, y + 9) << QPoint(x + 11, y + 9) << QPoint(x + 7, y + 5));
    break;
  case TbsStdCommand::cmMinimizeToTray:
    p.drawRect(x + 2, y + 3, 9, 7);
    p.fillRect(x + 7, y + 7, 3, 2, c);
    break;
  case TbsStdCommand::cmSysMenu: {
    // The program's mark: a rounded tile with two radio waves.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawRoundedRect(QRectF(x + 1.5, y + 1.5, 11, 11), 3, 3);
    p.setBrush(Field);
    p.drawEllipse(QRectF(x + 3.5, y + 8, 2.5, 2.5));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Field, 1.2));
    p.drawArc(QRectF(x + 1.5, y + 4.5, 8, 8), 0 * 16, 90 * 16);
    p.drawArc(QRectF(x - 0.5, y + 2.5, 12, 12), 0 * 16, 90 * 16);
    break;
  }
  default: break;
  }
  p.restore();
}

void Generator::DrawCaptionButtons()
{
  QImage& img = Art(kActivePicture);
  QPainter p(&img);
  // Animated caption buttons: 7 frames that fade the hover plate in. The cells
  // repeat the caption band behind them (rows 9..22 of the window).
  const TbsStdCommand rows[] = {TbsStdCommand::cmClose, TbsStdCommand::cmMaximize, TbsStdCommand::cmMinimize,
                                TbsStdCommand::cmRollUp, TbsStdCommand::cmSysMenu, TbsStdCommand::cmMinimizeToTray};
  for (int row = 0; row < 6; ++row) {
    const TbsStdCommand command = rows[row];
    for (int frame = 0; frame < 7; ++frame) {
      const QRect cell(frame * 14, row * 14, 14, 14);
      for (int j = 0; j < 14; ++j) p.fillRect(cell.x(), cell.y() + j, 14, 1, CaptionRow(9 + j));
      const double t = frame / 6.0;
      const bool close = command == TbsStdCommand::cmClose;
      const QColor plate = close ? CloseHot : AccentSoft;
      if (command != TbsStdCommand::cmSysMenu && frame > 0) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(t);
        p.setPen(close ? QPen(CloseHot.darker(115), 1) : QPen(QColor(0x8D, 0xB0, 0xEE), 1));
        p.setBrush(plate);
        p.drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
        p.restore();
      }
      QColor glyph = Glyph;
      if (close) glyph = QColor(qRound(Glyph.red() + (255 - Glyph.red()) * t), qRound(Glyph.green() + (255 - Glyph.green()) * t),
                                qRound(Glyph.blue() + (255 - Glyph.blue()) * t));
      else if (frame > 0) glyph = QColor(qRound(Glyph.red() + (Accent.red() - Glyph.red()) * t),
                                         qRound(Glyph.green() + (Accent.green() - Glyph.green()) * t),
                                         qRound(Glyph.blue() + (Accent.blue() - Glyph.blue()) * t));
      if (command == TbsStdCommand::cmSysMenu && frame > 0) {
        p.save();
        p.setOpacity(t * 0.6);
        p.fillRect(cell, AccentSoft);
        p.restore();
      }
      CaptionGlyph(p, cell, command, glyph);
    }
  }
  // Caption text plate: inactive (blends with the band) and active (white pill).
  const auto plate = [&](const QRect& r, const QColor& fill, const QColor& border) {
    for (int j = 0; j < r.height(); ++j) p.fillRect(r.x(), r.y() + j, r.width(), 1, CaptionRow(5 + j));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 1.5, -0.5, -1.5), 8, 8);
    p.restore();
  };
  plate(R(0, 90, 40, 109), QColor(0xE8, 0xED, 0xF4), QColor(0xD3, 0xDB, 0xE7));
  plate(R(0, 110, 40, 129), Field, QColor(0xC3, 0xCF, 0xE2));
  // Menu-bar buttons (sysmenu, close, maximize, minimize): normal, hot, pressed, and restore.
  const TbsStdCommand bar[] = {TbsStdCommand::cmSysMenu, TbsStdCommand::cmClose, TbsStdCommand::cmMaximize,
                               TbsStdCommand::cmMinimize};
  for (int row = 0; row < 4; ++row)
    for (int look = 0; look < 4; ++look) {
      const QRect cell(look * 14, 130 + row * 14, 14, 14);
      p.fillRect(cell, Panel);
      if (look == 1) Face(p, cell, Look::Hot, 2);
      if (look == 2) Face(p, cell, Look::Pressed, 2);
      CaptionGlyph(p, cell, bar[row], look == 0 || look == 3 ? Glyph : Accent);
      if (look == 3 && bar[row] == TbsStdCommand::cmMaximize) {
        p.fillRect(cell, Panel);
        p.setPen(Glyph);
        p.drawRect(cell.x() + 5, cell.y() + 2, 6, 6);
        p.fillRect(cell.x() + 2, cell.y() + 5, 7, 7, Panel);
        p.drawRect(cell.x() + 2, cell.y() + 5, 6, 6);
      }
    }
}

void Generator::DrawHint()
{
  QPainter p(&Art(3));
  p.fillRect(R(0, 0, 39, 17), Window);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0xC9, 0xB4, 0x58), 1));
  p.setBrush(QColor(0xFF, 0xFB, 0xE6));
  p.drawRoundedRect(QRectF(0.5, 0.5, 38, 16), 3, 3);
}

void Generator::DrawMdiBackground()
{
  // A quiet diagonal weave in four blue-greys (16-colour picture).
  QImage& img = Art(6);
  const QColor tones[] = {QColor(0xE4, 0xE9, 0xF1), QColor(0xDD, 0xE3, 0xEC), QColor(0xD6, 0xDD, 0xE8),
                          QColor(0xEA, 0xEE, 0xF4)};
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) img.setPixelColor(x, y, tones[((x + y) / 3 + (x - y + 200) / 7) % 4]);
}

void Generator::ReserveFixedControls()
{
  for (const QRect& r : {R(2, 3, 104, 31), R(142, 3, 181, 38), R(4, 123, 53, 167), R(56, 123, 103, 182),
                         R(108, 123, 171, 143), R(108, 145, 138, 161), R(108, 163, 152, 181), R(176, 123, 229, 140),
                         R(144, 143, 222, 173), R(230, 123, 247, 176), R(250, 123, 279, 183), R(282, 156, 377, 182),
                         R(197, 183, 258, 206), R(260, 187, 305, 204), R(155, 213, 225, 230), R(210, 275, 259, 305)})
    Reserve(r);
}

} // namespace

namespace {

// Edit-like geometry shared by the field definitions.
template <typename T>
void FieldGeometry(T& d, const QRect& skin, QPoint lt, QPoint rt, const QRect& client)
{
  d.SkinRect = skin;
  d.LTPoint = lt;
  d.RTPoint = rt;
  d.ClientRect = client;
}

// The grey of disabled text.
int DisabledGrey() { return WinColor(QColor(0x80, 0x80, 0x80)); }

// Cell `i` of a strip of 13 x 13 check images, 15 pixels apart.
QRect CheckCell(const QRect& strip, int i) { return QRect(strip.x() + i * 15, strip.y(), 13, 13); }

// A scroll bar thumb: a rounded bar on the trough colour, across (horizontal) or along.
void ScrollThumb(QPainter& p, const QRect& r, const QColor& fill, bool vertical)
{
  if (vertical) p.fillRect(r, QColor(0xEE, 0xF1, 0xF6));
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawRoundedRect(vertical ? QRectF(r).adjusted(1.5, 0.5, -1.5, -0.5) : QRectF(r).adjusted(0.5, 1.5, -0.5, -1.5), 4, 4);
  p.restore();
}

// The tool bar's back: flat, a light edge at the top, a line at the bottom.
void ToolBarBack(QPainter& p, const QRect& r)
{
  p.fillRect(r, Panel);
  p.fillRect(r.x(), r.y(), r.width(), 1, Field);
  p.fillRect(r.x(), r.y() + r.height() - 1, r.width(), 1, SoftBorder);
}

// The controls picture and its definitions, family by family. The order of
// the calls is the order of the definitions in the skin and decides where
// each tile lands (first fit): a new control goes last.
void Generator::DrawControls()
{
  QPainter p(&Controls());
  DrawPanelAndButton(p);
  DrawCheckAndRadioBoxes(p);
  DrawGauge(p, "gauge", 60, 18, false);
  DrawTrackBar(p, "trackbar", true);
  DrawLabel(p);
  DrawToolBar(p);
  DrawGauge(p, "vgauge", 18, 60, true);
  DrawTrackBar(p, "htrackbar", false);
  DrawGrid(p);
  DrawTab(p);
  DrawEditAndMemo(p);
  DrawScrollBars(p);
  DrawListBoxPictures(p);
  DefineListBox(p, "listbox", "listbox", false);
  DrawComboBoxPictures(p);
  DefineComboBox("combobox");
  DefineCheckListBox(p, "checklistbox", false);
  DrawSpinEdit(p, "spinedit", 20);
  DrawGroupBox(p);
  DefineLabels();
  DrawStatusBar(p);
  DrawButtonEdit(p, "buttonedit", 20);
  DrawUpDown(p, "vupdown", true);
  DrawUpDown(p, "hupdown", false);
  DefineListBox(p, "captionlistbox", "listbox", true);
  DefineCheckListBox(p, "captionchecklistbox", true);
  DefineComboBox("captioncombobox");
  DrawMainMenuBarAndControlBar(p);
  DrawSplitter(p, "vsplitter", true);
  DrawSplitter(p, "hsplitter", false);
  DrawListHeader(p);
  DefineScrollBar("bothhscrollbar", R(155, 213, 225, 230), false);
  DrawBigAndMenuToolButtons(p);
  DefineScrollBoxAndViews();
  DrawGauge(p, "statusgauge", 60, 17, false);
  DefineRichEdit();
  DrawExPanel(p);
  DrawSliderAndBevel(p);
  DrawStatusBarFields(p);
  DefineComboBox("toolcombobox");
  DefineEdit("tooledit", R(1, 1, 43, 17));
  DrawSpinEdit(p, "toolspinedit", 20);
  DrawButtonEdit(p, "toolbuttonedit", 20);
}

// panel (used by the file dialog): a flat sheet, nine parts; button: normal,
// pressed, hot (34 x 28 each, ends of 10 pixels fixed).
void Generator::DrawPanelAndButton(QPainter& p)
{
  Box(p, R(142, 3, 181, 38), Window, SoftBorder);
  auto& panel = Control<TbsDataSkinPanelControl>("panel", "panel");
  panel.SkinRect = R(142, 3, 181, 38);
  panel.LTPoint = {3, 3}, panel.RTPoint = {34, 4}, panel.LBPoint = {5, 30}, panel.RBPoint = {34, 30};
  panel.ClientRect = R(2, 2, 37, 33);

  Face(p, R(2, 3, 36, 31), Look::Normal, 4);
  Face(p, R(36, 3, 70, 31), Look::Pressed, 4);
  Face(p, R(70, 3, 104, 31), Look::Hot, 4);
  auto& button = Control<TbsDataSkinButtonControl>("button", "button");
  button.SkinRect = R(2, 3, 36, 31);
  button.LTPoint = {10, 16}, button.RTPoint = {24, 16};
  button.ClientRect = R(3, 3, 31, 25);
  button.ActiveSkinRect = R(70, 3, 104, 31);
  button.DownSkinRect = R(36, 3, 70, 31);
  button.DisabledFontColor = DisabledGrey();
}

// Check and radio images: checked, unchecked for normal, hot, disabled.
void Generator::DrawCheckAndRadioBoxes(QPainter& p)
{
  checks_ = Tile(6 * 15, 13);
  const QRect radios = Tile(6 * 15, 13);
  const Look looks[] = {Look::Normal, Look::Hot, Look::Disabled};
  for (int i = 0; i < 3; ++i) {
    CheckImage(p, QRect(checks_.x() + i * 30, checks_.y(), 13, 13), true, looks[i]);
    CheckImage(p, QRect(checks_.x() + i * 30 + 15, checks_.y(), 13, 13), false, looks[i]);
    RadioImage(p, QRect(radios.x() + i * 30, radios.y(), 13, 13), true, looks[i]);
    RadioImage(p, QRect(radios.x() + i * 30 + 15, radios.y(), 13, 13), false, looks[i]);
  }
  const QRect checkBack = Tile(70, 20), checkHot = Tile(70, 20);
  p.fillRect(checkBack, Window);
  Box(p, checkHot, QColor(0xEE, 0xF3, 0xFC), QColor(0xD5, 0xE2, 0xF8));
  for (const auto& [name, strip] : {std::pair<QString, QRect>{"checkbox", checks_}, {"radiobox", radios}}) {
    auto& c = Control<TbsDataSkinCheckRadioControl>(name, "checkradio");
    FieldGeometry(c, checkBack, {20, 10}, {60, 10}, R(0, 0, 70, 20));
    c.ActiveSkinRect = checkHot;
    c.UnEnabledFontColor = DisabledGrey();
    c.CheckImageArea = R(3, 3, 16, 16);
    c.TextArea = R(20, 1, 68, 19);
    c.CheckImageRect = CheckCell(strip, 0), c.UnCheckImageRect = CheckCell(strip, 1);
    c.ActiveCheckImageRect = CheckCell(strip, 2), c.ActiveUnCheckImageRect = CheckCell(strip, 3);
    c.UnEnabledCheckImageRect = CheckCell(strip, 4), c.UnEnabledUnCheckImageRect = CheckCell(strip, 5);
  }
}

// Gauges: a sunken trough and an accent bar.
void Generator::DrawGauge(QPainter& p, const QString& name, int w, int h, bool vertical)
{
  const QRect trough = Tile(w, h), bar = Tile(vertical ? w - 4 : w - 4, vertical ? h - 4 : h - 4);
  Box(p, trough, QColor(0xE9, 0xED, 0xF3), Border);
  QLinearGradient g(bar.topLeft(), vertical ? bar.topRight() : bar.bottomLeft());
  g.setColorAt(0, QColor(0x5B, 0x92, 0xF0));
  g.setColorAt(1, Accent);
  p.fillRect(bar, g);
  auto& d = Control<TbsDataSkinGaugeControl>(name, "gauge");
  d.SkinRect = trough;
  d.ClientRect = R(0, 0, w, h);
  d.ProgressArea = R(2, 2, w - 2, h - 2);
  d.ProgressRect = bar;
  d.BeginOffset = 2, d.EndOffset = 2;
  d.Vertical = vertical;
  if (vertical)
    d.LTPoint = {w / 2, 6}, d.LBPoint = {w / 2, h - 6};
  else
    d.LTPoint = {6, h / 2}, d.RTPoint = {w - 6, h / 2};
}

// Track bars: a groove and a thumb (normal, hot).
void Generator::DrawTrackBar(QPainter& p, const QString& name, bool vertical)
{
  const QRect track = vertical ? Tile(20, 70) : Tile(70, 20);
  const QSize thumbSize = vertical ? QSize(18, 11) : QSize(11, 18);
  const QRect thumb = Tile(thumbSize.width(), thumbSize.height()), hot = Tile(thumbSize.width(), thumbSize.height());
  p.fillRect(track, Window);
  const QRect groove = vertical ? QRect(track.x() + 8, track.y() + 6, 4, 58) : QRect(track.x() + 6, track.y() + 8, 58, 4);
  Box(p, groove, QColor(0xD5, 0xDC, 0xE7), Border);
  Face(p, thumb, Look::Normal, 2);
  Face(p, hot, Look::Hot, 2);
  auto& d = Control<TbsDataSkinTrackBarControl>(name, "trackbar");
  d.SkinRect = track;
  d.ClientRect = vertical ? R(0, 0, 20, 70) : R(0, 0, 70, 20);
  d.TrackArea = vertical ? R(8, 8, 12, 62) : R(8, 8, 62, 12);
  d.ButtonRect = thumb, d.ActiveButtonRect = hot;
  d.Vertical = vertical;
  if (vertical)
    d.LTPoint = {10, 10}, d.LBPoint = {10, 60};
  else
    d.LTPoint = {10, 10}, d.RTPoint = {60, 10};
}

// label: a flat strip for text.
void Generator::DrawLabel(QPainter& p)
{
  const QRect label = Tile(60, 17);
  p.fillRect(label, Window);
  auto& lab = Control<TbsDataSkinLabelControl>("label", "label");
  FieldGeometry(lab, label, {4, 8}, {56, 8}, R(2, 1, 58, 16));
}

// toolpanel: the tool bar; toolbutton: flat until hovered (31 x 26 each:
// normal, hot, pressed).
void Generator::DrawToolBar(QPainter& p)
{
  ToolBarBack(p, R(210, 275, 259, 305));
  auto& toolpanel = Control<TbsDataSkinPanelControl>("toolpanel", "panel");
  FieldGeometry(toolpanel, R(210, 275, 259, 305), {4, 15}, {45, 12}, R(2, 2, 47, 28));
  toolpanel.FontHeight = 12;

  p.fillRect(R(282, 156, 313, 182), Panel);
  p.fillRect(R(314, 156, 377, 182), Panel);
  Face(p, R(314, 156, 345, 182), Look::Hot, 4);
  Face(p, R(346, 156, 377, 182), Look::Pressed, 4);
  auto& toolbutton = Control<TbsDataSkinButtonControl>("toolbutton", "button");
  FieldGeometry(toolbutton, R(282, 156, 313, 182), {6, 13}, {25, 13}, R(3, 3, 28, 23));
  toolbutton.ActiveSkinRect = R(314, 156, 345, 182);
  toolbutton.DownSkinRect = R(346, 156, 377, 182);
}

// grid: fixed, selected and focused cells.
void Generator::DrawGrid(QPainter& p)
{
  const QRect fixedCell = Tile(50, 18), selectCell = Tile(50, 18), focusCell = Tile(50, 18);
  Face(p, fixedCell, Look::Normal, 0);
  Box(p, selectCell, Selected, Selected);
  Box(p, focusCell, Selected, Accent);
  auto& grid = Control<TbsDataSkinGridControl>("grid", "grid");
  grid.SkinRect = QRect();
  grid.FixedCellRect = fixedCell, grid.SelectCellRect = selectCell, grid.FocusCellRect = focusCell;
  grid.FixedCellLeftOffset = grid.FixedCellRightOffset = 2;
  grid.FixedCellTextRect = R(3, 1, 47, 17);
  grid.CellLeftOffset = grid.CellRightOffset = 2;
  grid.CellTextRect = R(3, 1, 47, 17);
  grid.LinesColor = WinColor(SoftBorder);
  grid.BGColor = WinColor(Field);
}

// tab: tabs (normal, active, focused, hot) and the page.
void Generator::DrawTab(QPainter& p)
{
  const QRect tabN = Tile(50, 20), tabA = Tile(50, 20), tabF = Tile(50, 20), tabH = Tile(50, 20), page = Tile(60, 50);
  const auto tab = [&](const QRect& r, const QColor& fill, const QColor& border, bool accentLine) {
    p.fillRect(r, Window);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, 4), 3, 3);
    p.restore();
    if (accentLine) p.fillRect(r.x() + 2, r.y() + 1, r.width() - 4, 2, Accent);
  };
  tab(tabN, Panel, SoftBorder, false);
  tab(tabA, Field, Border, true);
  tab(tabF, Field, Accent, true);
  tab(tabH, AccentSoft, QColor(0x8D, 0xB0, 0xEE), false);
  Box(p, page, Field, Border);
  auto& tabc = Control<TbsDataSkinTabControl>("tab", "tab");
  tabc.SkinRect = page;
  tabc.TabRect = tabN, tabc.ActiveTabRect = tabA, tabc.FocusTabRect = tabF, tabc.MouseInTabRect = tabH;
  tabc.ClientRect = R(2, 2, 58, 48);
  tabc.LTPoint = {4, 4}, tabc.RTPoint = {56, 4}, tabc.LBPoint = {4, 46}, tabc.RBPoint = {56, 46};
  tabc.TabLeftOffset = tabc.TabRightOffset = 4;
  tabc.ActiveFontColor = 0, tabc.FocusFontColor = 0, tabc.MouseInFontColor = WinColor(Accent);
  tabc.UpDown = "hupdown";
}

// An edit on the shared field picture (also the status panel's) with its
// client area.
TbsDataSkinEditControl& Generator::DefineEdit(const QString& name, const QRect& client)
{
  auto& edit = Control<TbsDataSkinEditControl>(name, "edit");
  FieldGeometry(edit, R(260, 187, 305, 204), {3, 8}, {40, 8}, client);
  edit.DisabledFontColor = DisabledGrey();
  return edit;
}

// edit, memo: the shared field picture, and the memo's taller one.
void Generator::DrawEditAndMemo(QPainter& p)
{
  FieldBox(p, R(260, 187, 305, 204));
  DefineEdit("edit", R(1, 1, 43, 17));
  FieldBox(p, R(4, 123, 53, 167));
  auto& memo = Control<TbsDataSkinMemoControl>("memo", "memo");
  FieldGeometry(memo, R(4, 123, 53, 167), {4, 4}, {44, 4}, R(2, 2, 47, 42));
  memo.LBPoint = {6, 38}, memo.RBPoint = {45, 38};
  memo.DisabledFontColor = DisabledGrey();
  memo.BGColor = memo.ActiveBGColor = WinColor(Field);
}

// Scroll bars. "Up" is the button toward the end (right, bottom).
void Generator::DrawScrollBars(QPainter& p)
{
  const auto hbar = [&](const QRect& r) {
    Box(p, r, QColor(0xEE, 0xF1, 0xF6), SoftBorder);
    ArrowButton(p, QRect(r.x() + 2, r.y() + 2, 13, 13), Arrow::Left, Look::Normal);
    ArrowButton(p, QRect(r.x() + 38, r.y() + 2, 13, 13), Arrow::Right, Look::Normal);
  };
  hbar(R(176, 123, 229, 140));
  hbar(R(155, 213, 225, 230));
  p.fillRect(R(209, 214, 224, 229), Panel);  // the corner beside a vertical bar
  Box(p, R(230, 123, 247, 176), QColor(0xEE, 0xF1, 0xF6), SoftBorder);
  ArrowButton(p, R(232, 125, 245, 138), Arrow::Up, Look::Normal);
  ArrowButton(p, R(232, 161, 245, 174), Arrow::Down, Look::Normal);
  ArrowButton(p, R(159, 146, 172, 159), Arrow::Right, Look::Hot);
  ArrowButton(p, R(144, 146, 157, 159), Arrow::Right, Look::Pressed);
  ArrowButton(p, R(176, 160, 189, 173), Arrow::Left, Look::Hot);
  ArrowButton(p, R(191, 160, 204, 173), Arrow::Left, Look::Pressed);
  const QColor thumbN(0xB9, 0xC4, 0xD4), thumbH(0x93, 0xA3, 0xBA);
  p.fillRect(R(176, 143, 222, 156), QColor(0xEE, 0xF1, 0xF6));
  ScrollThumb(p, R(208, 143, 222, 156), thumbN, false);
  ScrollThumb(p, R(192, 143, 206, 156), thumbH, false);
  ScrollThumb(p, R(176, 143, 190, 156), Accent, false);
  ArrowButton(p, R(266, 170, 279, 183), Arrow::Down, Look::Hot);
  ArrowButton(p, R(266, 155, 279, 168), Arrow::Down, Look::Pressed);
  ArrowButton(p, R(266, 123, 279, 136), Arrow::Up, Look::Hot);
  ArrowButton(p, R(266, 138, 279, 151), Arrow::Up, Look::Pressed);
  ScrollThumb(p, R(250, 123, 263, 137), thumbN, true);
  ScrollThumb(p, R(250, 139, 263, 153), thumbH, true);
  ScrollThumb(p, R(250, 155, 263, 169), Accent, true);
  DefineScrollBar("hscrollbar", R(176, 123, 229, 140), false);
  DefineScrollBar("vscrollbar", R(230, 123, 247, 176), true);
}

void Generator::DefineScrollBar(const QString& name, const QRect& skin, bool vertical)
{
  auto& d = Control<TbsDataSkinScrollBarControl>(name, "scrollbar");
  d.SkinRect = skin;
  d.ThumbOffset1 = d.ThumbOffset2 = 5;
  if (!vertical) {
    d.LTPoint = {19, 8}, d.RTPoint = {33, 8};
    d.ClientRect = R(0, 0, skin.width(), 17);
    d.TrackArea = R(16, 2, 37, 15), d.UpButtonRect = R(38, 2, 51, 15), d.DownButtonRect = R(2, 2, 15, 15);
    d.ActiveUpButtonRect = R(159, 146, 172, 159), d.DownUpButtonRect = R(144, 146, 157, 159);
    d.ActiveDownButtonRect = R(176, 160, 189, 173), d.DownDownButtonRect = R(191, 160, 204, 173);
    d.ThumbRect = R(208, 143, 222, 156), d.ActiveThumbRect = R(192, 143, 206, 156), d.DownThumbRect = R(176, 143, 190, 156);
  } else {
    d.LTPoint = {8, 19}, d.LBPoint = {8, 33};
    d.ClientRect = R(0, 0, 17, 53);
    d.TrackArea = R(2, 16, 15, 37), d.UpButtonRect = R(2, 38, 15, 51), d.DownButtonRect = R(2, 2, 15, 15);
    d.ActiveUpButtonRect = R(266, 170, 279, 183), d.DownUpButtonRect = R(266, 155, 279, 168);
    d.ActiveDownButtonRect = R(266, 123, 279, 136), d.DownDownButtonRect = R(266, 138, 279, 151);
    d.ThumbRect = R(250, 123, 263, 137), d.ActiveThumbRect = R(250, 139, 263, 153), d.DownThumbRect = R(250, 155, 263, 169);
  }
}

// listbox: field (the memo's) plus item pictures (normal, hot, selected).
void Generator::DrawListBoxPictures(QPainter& p)
{
  p.fillRect(R(56, 163, 103, 182), Field);
  Box(p, R(56, 143, 103, 162), QColor(0xEE, 0xF4, 0xFE), QColor(0xEE, 0xF4, 0xFE));
  p.fillRect(R(56, 123, 103, 142), Field);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x8D, 0xB0, 0xEE), 1));
  p.setBrush(Selected);
  p.drawRoundedRect(QRectF(R(56, 123, 103, 142)).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  p.restore();
}

// A list box, or with `caption` one with a caption strip (its picture drawn
// by the first that asks).
TbsDataSkinListBox& Generator::DefineListBox(QPainter& p, const QString& name, const QString& kind, bool caption)
{
  TbsDataSkinListBox& d = kind == "listbox" ? Control<TbsDataSkinListBox>(name, kind)
                                            : static_cast<TbsDataSkinListBox&>(Control<TbsDataSkinCheckListBox>(name, kind));
  d.SkinRect = R(4, 123, 53, 167);
  d.LTPoint = {4, 4}, d.RTPoint = {44, 4}, d.LBPoint = {6, 38}, d.RBPoint = {45, 38};
  d.ClientRect = R(2, 2, 47, 42);
  d.ItemRect = R(56, 163, 103, 182), d.ActiveItemRect = R(56, 143, 103, 162), d.FocusItemRect = R(56, 123, 103, 142);
  d.ItemLeftOffset = d.ItemRightOffset = 4;
  d.ItemTextRect = R(2, 2, 45, 17);
  if (caption) {
    if (captionedList_.isNull()) {
      captionedList_ = Tile(49, 64);
      FieldBox(p, captionedList_);
      QRect strip(captionedList_.x() + 1, captionedList_.y() + 1, 47, 19);
      Face(p, strip, Look::Normal, 0);
    }
    d.SkinRect = captionedList_;
    d.LBPoint = {6, 56}, d.RBPoint = {45, 56};
    d.ClientRect = R(2, 21, 47, 62);
    d.CaptionRect = R(2, 2, 47, 19);
    d.CaptionFontStyle = kbsFontBold;
  }
  return d;
}

// A check list box: a list box with the check box's images.
void Generator::DefineCheckListBox(QPainter& p, const QString& name, bool caption)
{
  auto& d = static_cast<TbsDataSkinCheckListBox&>(DefineListBox(p, name, "checklistbox", caption));
  d.ItemCheckRect = R(3, 3, 16, 16);
  d.CheckImageRect = CheckCell(checks_, 0), d.UnCheckImageRect = CheckCell(checks_, 1);
}

// combobox: field with a drop button; hot and pressed buttons; the selected item.
void Generator::DrawComboBoxPictures(QPainter& p)
{
  FieldBox(p, R(108, 123, 171, 143));
  ArrowButton(p, R(155, 125, 169, 141), Arrow::Down, Look::Normal);
  ArrowButton(p, R(108, 145, 122, 161), Arrow::Down, Look::Hot);
  ArrowButton(p, R(124, 145, 138, 161), Arrow::Down, Look::Pressed);
  Box(p, R(108, 163, 152, 181), Selected, Selected);
}

void Generator::DefineComboBox(const QString& name)
{
  auto& d = Control<TbsDataSkinComboBox>(name, "combobox");
  FieldGeometry(d, R(108, 123, 171, 143), {4, 10}, {40, 11}, R(1, 1, 45, 19));
  d.ItemRect = R(109, 124, 153, 142), d.FocusItemRect = R(108, 163, 152, 181);
  d.ItemLeftOffset = d.ItemRightOffset = 2;
  d.ItemTextRect = R(2, 1, 42, 17);
  d.ButtonRect = R(47, 2, 61, 18), d.ActiveButtonRect = R(108, 145, 122, 161), d.DownButtonRect = R(124, 145, 138, 161);
  d.ListBoxName = "listbox";
}

// spinedit: field with two half-height buttons; hot and pressed halves.
void Generator::DrawSpinEdit(QPainter& p, const QString& name, int h)
{
  const QRect skin = Tile(60, h);
  const int half = (h - 2) / 2;
  FieldBox(p, skin);
  ArrowButton(p, QRect(skin.x() + 46, skin.y() + 1, 13, half), Arrow::Up, Look::Normal);
  ArrowButton(p, QRect(skin.x() + 46, skin.y() + 1 + half, 13, half), Arrow::Down, Look::Normal);
  const QRect hotUp = Tile(13, half), downUp = Tile(13, half), hotDown = Tile(13, half), downDown = Tile(13, half);
  ArrowButton(p, hotUp, Arrow::Up, Look::Hot);
  ArrowButton(p, downUp, Arrow::Up, Look::Pressed);
  ArrowButton(p, hotDown, Arrow::Down, Look::Hot);
  ArrowButton(p, downDown, Arrow::Down, Look::Pressed);
  auto& d = Control<TbsDataSkinSpinEditControl>(name, "spinedit");
  FieldGeometry(d, skin, {4, h / 2}, {40, h / 2}, R(2, 2, 44, h - 2));
  d.DisabledFontColor = DisabledGrey();
  d.UpButtonRect = R(46, 1, 59, 1 + half), d.DownButtonRect = R(46, 1 + half, 59, 1 + 2 * half);
  d.ActiveUpButtonRect = hotUp, d.DownUpButtonRect = downUp;
  d.ActiveDownButtonRect = hotDown, d.DownDownButtonRect = downDown;
}

// groupbox: a framed sheet with a caption line.
void Generator::DrawGroupBox(QPainter& p)
{
  const QRect group = Tile(60, 40);
  p.fillRect(group, Window);
  Box(p, QRect(group.x(), group.y() + 8, 60, 32), Window, SoftBorder);
  auto& groupbox = Control<TbsDataSkinPanelControl>("groupbox", "panel");
  groupbox.SkinRect = group;
  groupbox.LTPoint = {8, 20}, groupbox.RTPoint = {52, 20}, groupbox.LBPoint = {8, 34}, groupbox.RBPoint = {52, 34};
  groupbox.ClientRect = R(4, 18, 56, 36);
  groupbox.CaptionRect = R(6, 0, 54, 16);
  groupbox.Alignment = TbsAlignment::taLeftJustify;
}

// stdlabel: fonts only; statuspanel (a label on the status bar) shares the
// field picture.
void Generator::DefineLabels()
{
  auto& stdlabel = Control<TbsDataSkinStdLabelControl>("stdlabel", "stdlabel");
  stdlabel.PictureIndex = -1;
  auto& statuspanel = Control<TbsDataSkinLabelControl>("statuspanel", "label");
  FieldGeometry(statuspanel, R(260, 187, 305, 204), {2, 7}, {42, 11}, R(2, 2, 43, 16));
}

// statusbar: soft gradient, line at the top, grip dots at the right end.
void Generator::DrawStatusBar(QPainter& p)
{
  const QRect r = R(197, 183, 258, 206);
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, QColor(0xEE, 0xF2, 0xF7));
  g.setColorAt(1, QColor(0xDF, 0xE6, 0xEF));
  p.fillRect(r, g);
  p.fillRect(r.x(), r.y(), r.width(), 1, SoftBorder);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j <= i; ++j) p.fillRect(r.right() - 3 - 3 * j, r.bottom() - 3 - 3 * (i - j), 2, 2, Border);
  auto& statusbar = Control<TbsDataSkinPanelControl>("statusbar", "panel");
  FieldGeometry(statusbar, r, {10, 12}, {50, 11}, R(9, 3, 52, 21));
  statusbar.FontHeight = 12;
}

// buttonedit: field with an ellipsis button.
void Generator::DrawButtonEdit(QPainter& p, const QString& name, int h)
{
  const QRect skin = Tile(60, h), hot = Tile(14, h - 4), down = Tile(14, h - 4);
  FieldBox(p, skin);
  const auto dots = [&](const QRect& r, Look look) {
    Face(p, r, look, 2);
    const QColor c = look == Look::Normal ? Glyph : Accent;
    for (int i = 0; i < 3; ++i) p.fillRect(r.x() + 3 + i * 3, r.y() + r.height() / 2, 2, 2, c);
  };
  dots(QRect(skin.x() + 44, skin.y() + 2, 14, h - 4), Look::Normal);
  dots(hot, Look::Hot);
  dots(down, Look::Pressed);
  auto& d = Control<TbsDataSkinEditControl>(name, "edit");
  FieldGeometry(d, skin, {4, h / 2}, {40, h / 2}, R(2, 2, 43, h - 2));
  d.DisabledFontColor = DisabledGrey();
  d.ButtonRect = R(44, 2, 58, h - 2), d.ActiveButtonRect = hot, d.DownButtonRect = down;
}

// Up-down pairs.
void Generator::DrawUpDown(QPainter& p, const QString& name, bool vertical)
{
  const QRect skin = vertical ? Tile(15, 30) : Tile(30, 15);
  const Arrow up = vertical ? Arrow::Up : Arrow::Right, dn = vertical ? Arrow::Down : Arrow::Left;
  const QRect upRel = vertical ? R(0, 0, 15, 15) : R(15, 0, 30, 15), dnRel = vertical ? R(0, 15, 15, 30) : R(0, 0, 15, 15);
  ArrowButton(p, upRel.translated(skin.topLeft()), up, Look::Normal);
  ArrowButton(p, dnRel.translated(skin.topLeft()), dn, Look::Normal);
  const QRect hotUp = Tile(15, 15), downUp = Tile(15, 15), hotDn = Tile(15, 15), downDn = Tile(15, 15);
  ArrowButton(p, hotUp, up, Look::Hot);
  ArrowButton(p, downUp, up, Look::Pressed);
  ArrowButton(p, hotDn, dn, Look::Hot);
  ArrowButton(p, downDn, dn, Look::Pressed);
  auto& d = Control<TbsDataSkinUpDownControl>(name, "updown");
  d.SkinRect = skin;
  d.UpButtonRect = upRel, d.ActiveUpButtonRect = hotUp, d.DownUpButtonRect = downUp;
  d.DownButtonRect = dnRel, d.ActiveDownButtonRect = hotDn, d.DownDownButtonRect = downDn;
}

// mainmenubar (no window of the program uses it); controlbar on the tool bar's picture.
void Generator::DrawMainMenuBarAndControlBar(QPainter& p)
{
  const QRect menubar = Tile(70, 20);
  ToolBarBack(p, menubar);
  auto& mmb = Control<TbsDataSkinMainMenuBar>("mainmenubar", "mainmenubar");
  mmb.SkinRect = menubar;
  mmb.ItemsRect = R(2, 1, 68, 19);
  mmb.MenuBarItem = "mainmenubaritem";
  mmb.CloseButton = "menubarclosebutton", mmb.MinButton = "menubarminbutton";
  mmb.MaxButton = "menubarmaxbutton", mmb.SysMenuButton = "menubarsysmenubutton";
  mmb.TrackMarkColor = WinColor(Border), mmb.TrackMarkActiveColor = WinColor(Accent);

  auto& controlbar = Control<TbsDataSkinControlBar>("controlbar", "controlbar");
  FieldGeometry(controlbar, R(210, 275, 259, 305), {4, 15}, {45, 12}, R(2, 2, 47, 28));
  controlbar.ItemRect = R(210, 275, 259, 305);
}

// Splitters: a grip of three dots on a flat strip.
void Generator::DrawSplitter(QPainter& p, const QString& name, bool vertical)
{
  const QRect r = vertical ? Tile(6, 50) : Tile(50, 6);
  p.fillRect(r, Panel);
  const QPoint c = r.center();
  for (int i = -1; i <= 1; ++i)
    p.fillRect(vertical ? QRect(c.x() - 1, c.y() + i * 4 - 1, 2, 2) : QRect(c.x() + i * 4 - 1, c.y() - 1, 2, 2), Border);
  auto& d = Control<TbsDataSkinSplitterControl>(name, "splitter");
  d.SkinRect = r;
  if (vertical)
    d.LTPoint = {3, 5}, d.LBPoint = {3, 45};
  else
    d.LTPoint = {5, 3}, d.RTPoint = {45, 3};
}

// resizebutton: the list header section, nine parts (normal, hot, pressed).
void Generator::DrawListHeader(QPainter& p)
{
  const QRect header = Tile(50 * 3 + 4, 20);
  const auto headerCell = [&](int i) { return QRect(header.x() + i * 52, header.y(), 50, 20); };
  p.fillRect(header, Window);
  for (int i = 0; i < 3; ++i) {
    const QRect r = headerCell(i);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, i == 0 ? Field : i == 1 ? QColor(0xF4, 0xF8, 0xFF) : AccentPressed);
    g.setColorAt(1, i == 0 ? QColor(0xEC, 0xF0, 0xF6) : AccentSoft);
    p.fillRect(r, g);
    p.fillRect(r.x(), r.bottom(), r.width(), 1, i == 0 ? SoftBorder : Accent);
    p.fillRect(r.right(), r.y() + 3, 1, r.height() - 6, SoftBorder);
  }
  auto& resize = Control<TbsDataSkinButtonControl>("resizebutton", "button");
  resize.SkinRect = headerCell(0), resize.ActiveSkinRect = headerCell(1), resize.DownSkinRect = headerCell(2);
  resize.LTPoint = {4, 4}, resize.RTPoint = {46, 4}, resize.LBPoint = {4, 16}, resize.RBPoint = {46, 16};
  resize.ClientRect = R(2, 2, 48, 18);
  resize.DisabledFontColor = DisabledGrey();
}

// A tool button of a strip of three looks `step` apart (normal, hot, pressed).
TbsDataSkinButtonControl& Generator::DefineToolButton(const QString& name, const QString& kind, const QRect& strip,
                                                      int w, int h, int step)
{
  TbsDataSkinButtonControl& d = kind == "button" ? Control<TbsDataSkinButtonControl>(name, kind)
                                                 : Control<TbsDataSkinMenuButtonControl>(name, kind);
  FieldGeometry(d, QRect(strip.x(), strip.y(), w, h), {6, h / 2}, {w - 6, h / 2}, R(3, 3, w - 3, h - 3));
  d.ActiveSkinRect = QRect(strip.x() + step, strip.y(), w, h);
  d.DownSkinRect = QRect(strip.x() + 2 * step, strip.y(), w, h);
  return d;
}

// Menu tool buttons' strip: a drop arrow in their right 12 pixels.
QRect Generator::DrawMenuButtonStrip(QPainter& p, int w, int h)
{
  const QRect strip = Tile(3 * w + 2, h);
  p.fillRect(strip, Panel);
  for (int i = 0; i < 3; ++i) {
    const QRect r(strip.x() + i * (w + 1), strip.y(), w, h);
    if (i > 0) Face(p, r, i == 1 ? Look::Hot : Look::Pressed, 4);
    if (i > 0) p.fillRect(r.right() - 12, r.y() + 4, 1, h - 8, i == 1 ? QColor(0x8D, 0xB0, 0xEE) : Accent);
    Chevron(p, QRect(r.right() - 11, r.y(), 11, h), Arrow::Down, Glyph);
  }
  return strip;
}

// Big tool bar and its buttons (for 32-pixel images), and the menu tool buttons.
void Generator::DrawBigAndMenuToolButtons(QPainter& p)
{
  const QRect bigPanel = Tile(49, 44);
  ToolBarBack(p, bigPanel);
  auto& bigtoolpanel = Control<TbsDataSkinPanelControl>("bigtoolpanel", "panel");
  FieldGeometry(bigtoolpanel, bigPanel, {4, 22}, {45, 22}, R(2, 2, 47, 42));
  bigtoolpanel.FontHeight = 12;
  const QRect bigButtons = Tile(3 * 40 + 2, 40);
  p.fillRect(bigButtons, Panel);
  Face(p, QRect(bigButtons.x() + 41, bigButtons.y(), 40, 40), Look::Hot, 4);
  Face(p, QRect(bigButtons.x() + 82, bigButtons.y(), 40, 40), Look::Pressed, 4);
  DefineToolButton("bigtoolbutton", "button", bigButtons, 40, 40, 41);

  const QRect menuButtons = DrawMenuButtonStrip(p, 40, 26), bigMenuButtons = DrawMenuButtonStrip(p, 52, 40);
  DefineToolButton("toolmenubutton", "menubutton", menuButtons, 40, 26, 41);
  auto& track = static_cast<TbsDataSkinMenuButtonControl&>(
      DefineToolButton("toolmenutrackbutton", "menubutton", menuButtons, 40, 26, 41));
  track.TrackButtonRect = R(28, 0, 40, 26);
  auto& bigTrack = static_cast<TbsDataSkinMenuButtonControl&>(
      DefineToolButton("bigtoolmenutrackbutton", "menubutton", bigMenuButtons, 52, 40, 53));
  bigTrack.TrackButtonRect = R(40, 0, 52, 40);
  DefineToolButton("bigtoolmenubutton", "menubutton", bigMenuButtons, 52, 40, 53);
}

// scrollbox on the panel's picture; the views: fonts and background colours only.
void Generator::DefineScrollBoxAndViews()
{
  auto& scrollbox = Control<TbsDataSkinScrollBoxControl>("scrollbox", "scrollbox");
  scrollbox.SkinRect = R(142, 3, 181, 38);
  scrollbox.LTPoint = {3, 3}, scrollbox.RTPoint = {34, 4}, scrollbox.LBPoint = {5, 30}, scrollbox.RBPoint = {34, 30};
  scrollbox.ClientRect = R(2, 2, 37, 33);

  auto& listview = Control<TbsDataSkinListView>("listview", "listview");
  listview.PictureIndex = -1;
  listview.BGColor = 15256238;
  auto& treeview = Control<TbsDataSkinTreeView>("treeview", "treeview");
  treeview.PictureIndex = -1;
  treeview.BGColor = WinColor(Field);
}

void Generator::DefineRichEdit()
{
  auto& richedit = Control<TbsDataSkinRichEdit>("richedit", "richedit");
  richedit.PictureIndex = -1;
  richedit.BGColor = WinColor(Field);
}

// expanel: a captioned sheet with a close button.
void Generator::DrawExPanel(QPainter& p)
{
  const QRect ex = Tile(60, 44), exClose = Tile(3 * 13 + 2, 13);
  Box(p, ex, Window, SoftBorder);
  Face(p, QRect(ex.x() + 1, ex.y() + 1, 58, 18), Look::Normal, 0);
  for (int i = 0; i < 3; ++i) {
    const QRect r(exClose.x() + i * 14, exClose.y(), 13, 13);
    p.fillRect(r, Panel);
    if (i > 0) Face(p, r, i == 1 ? Look::Hot : Look::Pressed, 2);
    CaptionGlyph(p, r.adjusted(-1, -1, 0, 0), TbsStdCommand::cmClose, i == 0 ? Glyph : Accent);
  }
  auto& expanel = Control<TbsDataSkinExPanelControl>("expanel", "expanel");
  expanel.SkinRect = ex;
  expanel.LTPoint = {6, 22}, expanel.RTPoint = {54, 22}, expanel.LBPoint = {6, 38}, expanel.RBPoint = {54, 38};
  expanel.ClientRect = R(2, 20, 58, 42);
  expanel.CaptionRect = R(4, 1, 42, 19);
  expanel.CloseButtonRect = R(44, 3, 57, 16);
  expanel.CloseButtonActiveRect = QRect(exClose.x() + 14, exClose.y(), 13, 13);
  expanel.CloseButtonDownRect = QRect(exClose.x() + 28, exClose.y(), 13, 13);
  expanel.FontStyle = kbsFontBold;
}

// slider: rulers and thumbs reuse the track-bar look; bevel: two colours.
void Generator::DrawSliderAndBevel(QPainter& p)
{
  const QRect hRuler = Tile(60, 6), vRuler = Tile(6, 60), hThumb = Tile(11, 18), vThumb = Tile(18, 11);
  Box(p, hRuler, QColor(0xD5, 0xDC, 0xE7), Border);
  Box(p, vRuler, QColor(0xD5, 0xDC, 0xE7), Border);
  Face(p, hThumb, Look::Normal, 2);
  Face(p, vThumb, Look::Normal, 2);
  auto& slider = Control<TbsDataSkinSlider>("slider", "slider");
  slider.PictureIndex = kControlsPicture;
  slider.BGColor = WinColor(Window);
  slider.HRulerRect = hRuler, slider.HThumbRect = hThumb, slider.VRulerRect = vRuler, slider.VThumbRect = vThumb;
  slider.EdgeSize = 2;
  slider.PointsColor = WinColor(Border);

  auto& bevel = Control<TbsDataSkinBevel>("bevel", "bevel");
  bevel.PictureIndex = -1;
  bevel.LightColor = WinColor(Field), bevel.DarkColor = WinColor(Border);
}

// Status bar fields (17 pixels high).
void Generator::DrawStatusBarFields(QPainter& p)
{
  DefineEdit("statusedit", R(1, 2, 43, 16));
  DrawButtonEdit(p, "statusbuttonedit", 17);
  DrawSpinEdit(p, "statusspinedit", 17);
  const QRect skin = Tile(63, 17), hot = Tile(14, 13), down = Tile(14, 13);
  FieldBox(p, skin);
  ArrowButton(p, QRect(skin.x() + 47, skin.y() + 2, 14, 13), Arrow::Down, Look::Normal);
  ArrowButton(p, hot, Arrow::Down, Look::Hot);
  ArrowButton(p, down, Arrow::Down, Look::Pressed);
  auto& d = Control<TbsDataSkinComboBox>("statuscombobox", "combobox");
  FieldGeometry(d, skin, {4, 8}, {40, 8}, R(1, 1, 45, 16));
  d.ItemRect = R(109, 124, 153, 140), d.FocusItemRect = R(108, 163, 152, 179);
  d.ItemLeftOffset = d.ItemRightOffset = 2;
  d.ItemTextRect = R(2, 0, 42, 15);
  d.ButtonRect = R(47, 2, 61, 15), d.ActiveButtonRect = hot, d.DownButtonRect = down;
  d.ListBoxName = "listbox";
}

} // namespace

namespace {

void Generator::DefineObjects()
{
  auto& menuitem = Object<TbsDataSkinMenuItem>("MENUITEM", "menuitem");
  menuitem.ActivePictureIndex = 5;
  menuitem.SkinRectInAPicture = true;
  menuitem.SkinRect = R(0, 0, 59, 18);
  menuitem.ActiveSkinRect = R(0, 19, 59, 37);
  menuitem.ItemLeftOffset = menuitem.ItemRightOffset = 3;
  menuitem.DividerRect = R(0, 40, 59, 49);
  menuitem.DividerLeftOffset = menuitem.DividerRightOffset = 4;
  menuitem.TextRect = R(4, 1, 55, 17);
  menuitem.UnEnabledFontColor = WinColor(QColor(0x80, 0x80, 0x80));

  auto& caption = Object<TbsDataSkinCaption>("caption", "caption");
  caption.ActivePictureIndex = kActivePicture;
  caption.SkinRect = R(21, 5, 155, 24);
  caption.TextRect = R(0, 0, 134, 19);
  caption.FontStyle = kbsFontBold;
  caption.FontColor = WinColor(QColor(0x80, 0x80, 0x80));
  caption.ActiveFontColor = 0;
  caption.FrameRect = R(0, 90, 40, 109);
  caption.ActiveFrameRect = R(0, 110, 40, 129);
  caption.FrameTextRect = R(13, 2, 26, 17);
  caption.FrameLeftOffset = caption.FrameRightOffset = 12;

  const auto animate = [&](const QString& name, int row, TbsStdCommand command, const char* hint) {
    auto& a = Object<TbsDataSkinAnimate>(name, "animate");
    a.Hint = QString::fromUtf8(hint);
    a.ActivePictureIndex = kActivePicture;
    a.SkinRectInAPicture = true;
    a.SkinRect = R(0, row * 14, 14, row * 14 + 14);
    a.ActiveSkinRect = R(0, row * 14, 98, row * 14 + 14);
    a.CountFrames = 7;
    a.ButtonStyle = true;
    a.TimerInterval = 25;
    a.Command = command;
  };
  animate("CloseAnimate", 0, TbsStdCommand::cmClose, "关闭");
  animate("MaxAnimate", 1, TbsStdCommand::cmMaximize, "最大化");
  animate("MinAnimate", 2, TbsStdCommand::cmMinimize, "最小化");
  animate("RollUpAnimate", 3, TbsStdCommand::cmRollUp, "卷起");

  auto& barItem = Object<TbsDataSkinMainMenuBarItem>("mainmenubaritem", "mainmenubaritem");
  barItem.ActivePictureIndex = 0;
  barItem.SkinRectInAPicture = true;
  barItem.SkinRect = R(0, 0, 37, 18);
  barItem.ActiveSkinRect = R(0, 19, 37, 37);
  barItem.DownRect = R(0, 38, 37, 56);
  barItem.ItemLeftOffset = barItem.ItemRightOffset = 3;
  barItem.TextRect = R(3, 1, 34, 17);
  barItem.UnEnabledFontColor = WinColor(QColor(0x80, 0x80, 0x80));

  animate("sysmenuanimate", 4, TbsStdCommand::cmSysMenu, "系统菜单");

  const auto barButton = [&](const QString& name, int row, TbsStdCommand command) {
    auto& b = Object<TbsDataSkinMainMenuBarButton>(name, "mainmenubarbutton");
    b.ActivePictureIndex = kActivePicture;
    b.SkinRectInAPicture = true;
    const int y = 130 + row * 14;
    b.SkinRect = R(0, y, 14, y + 14);
    b.ActiveSkinRect = R(14, y, 28, y + 14);
    b.DownRect = R(28, y, 42, y + 14);
    b.Command = command;
    if (command == TbsStdCommand::cmMaximize) {
      b.RestoreRect = R(42, y, 56, y + 14);
      b.RestoreActiveRect = R(14, y, 28, y + 14);
      b.RestoreDownRect = R(28, y, 42, y + 14);
    }
  };
  barButton("menubarsysmenubutton", 0, TbsStdCommand::cmSysMenu);
  barButton("menubarclosebutton", 1, TbsStdCommand::cmClose);
  barButton("menubarmaxbutton", 2, TbsStdCommand::cmMaximize);
  barButton("menubarminbutton", 3, TbsStdCommand::cmMinimize);

  animate("trayanimate", 5, TbsStdCommand::cmMinimizeToTray, "最小化到托盘");
}

// Writes the keys of `d` that differ from a fresh definition of its kind, or
// all of them for the definitions the program's windows use.
template <typename Create>
void WriteChangedKeys(TMemIniFile& out, TbsDataSkinDefinition& d, Create create, bool all)
{
  TMemIniFile mine(QStringList{}), fresh(QStringList{});
  d.WriteToIni(mine);
  if (all) {
    d.WriteToIni(out);
    return;
  }
  auto blank = create(d.Kind, d.IDName);
  blank->WriteToIni(fresh);
  TStringList keys;
  mine.ReadSection(d.IDName, keys);
  for (const QString& key : keys.Lines()) {
    const QString value = mine.ReadString(d.IDName, key, QString());
    if (value != fresh.ReadString(d.IDName, key, QString())) out.WriteString(d.IDName, key, value);
  }
  if (!out.SectionExists(d.IDName)) out.WriteString(d.IDName, "pictureindex", "-1");
}

QStringList Generator::Definition()
{
  TMemIniFile ini(QStringList{});
  ini.WriteString("VERSION", "ver", "3");
  ini.WriteString("VERSION", "skinname", QString::fromUtf8("晴空 (Velmora)"));
  ini.WriteString("VERSION", "skinauthor", "Velmora");
  ini.WriteString("VERSION", "authoremail", "");
  ini.WriteString("VERSION", "authorurl", "");
  ini.WriteString("VERSION", "skincomments", QString::fromUtf8("内置皮肤：浅色，蓝色点缀"));
  ini.WriteString("PICTURES", "picture", "main.bmp");
  ini.WriteString("PICTURES", "inactivepicture", "");
  ini.WriteString("PICTURES", "mask", "");
  QStringList names;
  for (int i = 1; i < 8; ++i) names << QString::fromLatin1(pictures_[i].File);
  skin_values::WriteNameList(ini, "PICTURES", "activepictures", names);

  TbsDataSkinFormInfo form;
  form.LTPoint = {10, 30}, form.RTPoint = {178, 30}, form.LBPoint = {7, 133}, form.RBPoint = {184, 133};
  form.ClientRect = R(4, 30, 187, 136);
  form.BGPictureIndex = -1;
  form.MDIBGPictureIndex = 6;
  form.TopStretch = true;
  form.HitTestLTPoint = {6, 7}, form.HitTestRTPoint = {184, 7}, form.HitTestLBPoint = {7, 132},
  form.HitTestRBPoint = {183, 132};
  form.CaptionRect = R(7, 9, 184, 24);
  form.ButtonsOffset = 1;
  form.BorderWidth = 4;
  form.InActiveEffect = TbsInactiveEffect::ieBrightness;
  form.WriteToIni(ini);

  TbsDataSkinPopupWindow popup;
  popup.WindowPictureIndex = 1;
  popup.LTPoint = {6, 6}, popup.RTPoint = {61, 6}, popup.LBPoint = {6, 53}, popup.RBPoint = {61, 53};
  popup.ItemsRect = R(4, 5, 63, 54);
  popup.ScrollMarkerColor = WinColor(Border);
  popup.ScrollMarkerActiveColor = WinColor(Accent);
  popup.WriteToIni(ini);

  TbsDataSkinHintWindow hint;
  hint.WindowPictureIndex = 3;
  hint.LTPoint = {4, 4}, hint.RTPoint = {35, 4}, hint.LBPoint = {4, 13}, hint.RBPoint = {35, 13};
  hint.ClientRect = R(3, 2, 36, 15);
  hint.FontHeight = 12;
  hint.WriteToIni(ini);

  ini.WriteInteger("SKINOBJECTS", "count", int(objects_.size()));
  for (size_t i = 0; i < objects_.size(); ++i)
    ini.WriteString("SKINOBJECTS", QString::number(i), objects_[i]->IDName + u':' + objects_[i]->Kind);
  ini.WriteInteger("SKINCONTROLS", "count", int(controls_.size()));
  for (size_t i = 0; i < controls_.size(); ++i)
    ini.WriteString("SKINCONTROLS", QString::number(i), controls_[i]->IDName + u':' + controls_[i]->Kind);
  // Skin objects and the controls of the program's windows list every key.
  const QStringList used = {"button",    "toolbutton", "toolpanel",  "statusbar",  "statuspanel",    "statusedit",
                            "edit",      "combobox",   "listbox",    "hscrollbar", "bothhscrollbar", "vscrollbar",
                            "resizebutton", "stdlabel", "listview",  "panel"};
  for (auto& o : objects_) WriteChangedKeys(ini, *o, CreateSkinObject, true);
  for (auto& c : controls_) WriteChangedKeys(ini, *c, CreateSkinControl, used.contains(c->IDName));

  // A note above each definition: its class and its picture.
  QStringList lines;
  const auto pictureNote = [&](int index) {
    return index >= 0 && index < 7 ? QStringLiteral("picture %1 (%2)").arg(index).arg(QString::fromLatin1(pictures_[index + 1].File))
                                   : QStringLiteral("no picture");
  };
  std::map<QString, QString> notes;
  for (auto& o : objects_) notes[o->IDName.toLower()] = QStringLiteral("; %1: %2, %3").arg(o->IDName, QString::fromLatin1(o->ClassName()), pictureNote(o->ActivePictureIndex));
  for (auto& c : controls_) notes[c->IDName.toLower()] = QStringLiteral("; %1: %2, %3").arg(c->IDName, QString::fromLatin1(c->ClassName()), pictureNote(c->PictureIndex));
  for (const QString& line : ini.Lines()) {
    if (line.startsWith(u'[')) {
      const auto note = notes.find(line.mid(1, line.size() - 2).toLower());
      if (note != notes.end()) lines << note->second;
    }
    lines << line;
  }
  // A map of the controls picture (one character per 8 x 12 pixels) and its legend.
  const QString symbols = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789#$%&*+<>?@^~");
  lines << "" << "; Where the control definitions lie on controls.bmp:";
  for (int cy = 0; cy * 12 < 333; ++cy) {
    QString row = QStringLiteral(";   ");
    for (int cx = 0; cx * 8 < 430; ++cx) {
      const QRect cellRect(cx * 8, cy * 12, 8, 12);
      QChar mark = u'.';
      for (size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i]->PictureIndex == kControlsPicture && controls_[i]->SkinRect.intersects(cellRect)) {
          mark = symbols[int(i) % symbols.size()];
          break;
        }
      row += mark;
    }
    lines << row;
  }
  QString legend = QStringLiteral(";  ");
  for (size_t i = 0; i < controls_.size(); ++i) {
    const QString item = QStringLiteral(" %1=%2").arg(symbols[int(i) % symbols.size()]).arg(controls_[i]->IDName);
    if (legend.size() + item.size() > 100) lines << legend, legend = QStringLiteral(";  ");
    legend += item;
  }
  lines << legend;
  // The definition text has a fixed length; a closing comment makes up the rest.
  qsizetype size = 0;
  for (const QString& line : lines) size += line.toUtf8().size() + 2;
  const QString note = QStringLiteral("; drawn by velmora-skin-generator ");
  const qsizetype missing = kDefinitionTextSize - size - 2;
  if (missing >= note.size()) {
    lines << "" << note + QString(missing - note.size() - 2, u'-');
  } else {
    QTextStream(stderr) << "note: the definition text is " << size << " bytes, more than " << kDefinitionTextSize << "\n";
  }
  return lines;
}

void Generator::Write(const QString& folder)
{
  QDir().mkpath(folder);
  const auto save = [&](const QString& name, const QByteArray& bytes) {
    QFile f(folder + u'/' + name);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
      throw EFCreateError(QStringLiteral("Cannot create file %1").arg(f.fileName()));
  };
  for (const Picture& p : pictures_) save(QString::fromLatin1(p.File), EncodeBmp(Quantize(p.Art, p.Colours), p.Bits));
  QByteArray text;
  for (const QString& line : Definition()) text += line.toUtf8() + "\r\n";
  save("skin.ini", text);
  TbsCompressedStoredSkin stored(nullptr);
  if (!stored.PackSkinFolder(folder + "/skin.ini")) throw ESkinDataError("the generated definition lacks a section");
  save("skin.bin", stored.PackedFileData());
}

} // namespace

int main(int argc, char** argv)
{
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  const bool check = args.removeAll("--check") > 0;
  if (args.size() != 1) {
    QTextStream(stderr) << "usage: velmora-skin-generator [--check] FOLDER\n";
    return 2;
  }
  try {
    Generator generator;
    if (!check) {
      generator.Write(args[0]);
      return 0;
    }
    QTemporaryDir scratch;
    generator.Write(scratch.path());
    int differences = 0;
    for (const QString& name : QDir(scratch.path()).entryList(QDir::Files)) {
      QFile fresh(scratch.filePath(name)), committed(args[0] + u'/' + name);
      if (!fresh.open(QIODevice::ReadOnly) || !committed.open(QIODevice::ReadOnly) ||
          fresh.readAll() != committed.readAll()) {
        QTextStream(stderr) << name << " differs from what the generator draws\n";
        ++differences;
      }
    }
    return differences ? 1 : 0;
  } catch (const Exception& e) {
    QTextStream(stderr) << "velmora-skin-generator: " << e.Message() << "\n";
    return 1;
  }
}
