#include "skin/skin_hint.h"

#include "skin/skin_data.h"
#include "skin/skin_draw.h"
#include "skin/skin_utils.h"
#include "toolkit/forms.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
// The skinned hints that exist, so that activating one deactivates the others.
std::vector<TbsSkinHint*>& AllHints()
{
  static std::vector<TbsSkinHint*> hints;
  return hints;
}
} // namespace

// ---------------------------------------------------------------- window

TbsSkinHintWindow::TbsSkinHintWindow(TbsSkinHint* hint) : TCustomControl(nullptr), hint_(hint)
{
  SetVisible(false);
  SetColor(clInfoBk);
}

QWidget* TbsSkinHintWindow::CreateWidget(QWidget*)
{
  auto* w = new TControlWidget(this, nullptr);
  w->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  w->setAttribute(Qt::WA_TransparentForMouseEvents);
  return w;
}

QImage TbsSkinHintWindow::Picture() const
{
  const TbsSkinData* data = hint_->SkinData();
  if (!data || data->IsEmptySkin()) return QImage();
  const TbsSkinPicture* p = data->SkinPicture(data->HintWindowData().WindowPictureIndex);
  return p ? p->Image : QImage();
}

const TbsDataSkinHintWindow* TbsSkinHintWindow::SkinDefinition() const
{
  if (Picture().isNull()) return nullptr;
  const TbsDataSkinHintWindow& d = hint_->SkinData()->HintWindowData();
  return d.ClientRect.isEmpty() ? nullptr : &d;
}

void TbsSkinHintWindow::ApplyFont(TFont* font) const
{
  const TbsDataSkinHintWindow* d = SkinDefinition();
  if (d && hint_->UseSkinFont()) {
    font->SetName(d->FontName);
    font->SetHeight(d->FontHeight);
    TFont::TFontStyles style;
    if (d->FontStyle & kbsFontBold) style |= TFont::fsBold;
    if (d->FontStyle & kbsFontItalic) style |= TFont::fsItalic;
    if (d->FontStyle & kbsFontUnderline) style |= TFont::fsUnderline;
    if (d->FontStyle & kbsFontStrikeOut) style |= TFont::fsStrikeOut;
    font->SetStyle(style);
    font->SetColor(d->FontColor);
  } else {
    font->Assign(hint_->DefaultFont());
  }
  const TbsSkinData* data = hint_->SkinData();
  if (data && data->ResourceStrData()) font->SetCharset(data->ResourceStrData()->CharSet());
}

QSize TbsSkinHintWindow::CalcHintSize(const QString& text)
{
  TFont font;
  ApplyFont(&font);
  const QFontMetrics& fm = font.Metrics();
  QSize size(fm.horizontalAdvance(text), fm.height());
  if (const TbsDataSkinHintWindow* d = SkinDefinition()) {
    const QImage pic = Picture();
    const QRect& cr = d->ClientRect;
    size += QSize(cr.x() + pic.width() - (cr.x() + cr.width()), cr.y() + pic.height() - (cr.y() + cr.height()));
    return size.expandedTo(pic.size());
  }
  return size + QSize(8, 8);
}

void TbsSkinHintWindow::ActivateHint(QPoint cursor, const QString& text)
{
  text_ = text;
  const QSize size = CalcHintSize(text);
  QScreen* screen = QGuiApplication::screenAt(cursor);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, 1 << 16, 1 << 16);
  int x = cursor.x(), y = cursor.y() + kCursorHeight;
  if (x + size.width() > area.x() + area.width()) x -= size.width() + 2;
  if (y + size.height() > area.y() + area.height()) y -= size.height() + 2;
  SetBounds(x, y, size.width(), size.height());
  Show();
  if (hint_->AlphaBlend()) SetWindowAlpha(this, hint_->AlphaBlendValue());
  Invalidate();
}

void TbsSkinHintWindow::Paint()
{
  TBitmap buffer;
  PaintToBitmap(buffer);
  Canvas()->Draw(0, 0, &buffer);
}

void TbsSkinHintWindow::PaintToBitmap(TBitmap& out)
{
  const int w = Width(), h = Height();
  out.SetSize(w, h);
  TCanvas* canvas = out.Canvas();
  ApplyFont(canvas->Font());
  QRect textRect(4, 4, std::max(0, w - 8), std::max(0, h - 8));
  if (const TbsDataSkinHintWindow* d = SkinDefinition()) {
    const QImage pic = Picture();
    TbsFramePoints source{d->LTPoint, d->RTPoint, d->LBPoint, d->RBPoint, d->ClientRect};
    const TbsFramePoints target = MoveFramePoints(source, w - pic.width(), h - pic.height());
    canvas->Flush();
    BuildWindowImage(source, target, w, h, pic.rect(), pic, true,
                     TbsStretchFlags{d->LeftStretch, d->TopStretch, d->RightStretch, d->BottomStretch}, out);
    textRect = target.ClientRect;
  } else {
    canvas->Brush()->SetColor(clInfoBk);
    canvas->Pen()->SetColor(clBlack);
    canvas->Rectangle(QRect(0, 0, w, h));
    canvas->Font()->SetColor(clInfoText);
  }
  canvas->Brush()->SetStyle(TBrush::bsClear);
  canvas->DrawText(text_, textRect, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
  canvas->Flush();
}

// ---------------------------------------------------------------- component

TbsSkinHint::TbsSkinHint(TComponent* AOwner)
    : TComponent(AOwner), defaultFont_(new TFont(this)), window_(new TbsSkinHintWindow(this))
{
  defaultFont_->SetName(QStringLiteral("Arial"));
  defaultFont_->SetHeight(14);
  AllHints().push_back(this);
  showTimer_.setSingleShot(true);
  hideTimer_.setSingleShot(true);
  QObject::connect(&showTimer_, &QTimer::timeout, this, [this] { ShowHintAt(Screen->CursorPos(), pending_); });
  QObject::connect(&hideTimer_, &QTimer::timeout, this, [this] { window_->Hide(); });
  Install();
}

TbsSkinHint::~TbsSkinHint()
{
  auto& all = AllHints();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  if (active_) Application->HintWindow = nullptr;
  TComponent::Free(window_);
}

void TbsSkinHint::Loaded()
{
  TComponent::Loaded();
  if (IsDesigning()) Application->HintWindow = nullptr;
}

void TbsSkinHint::Install()
{
  if (IsDesigning()) return;
  // This hint window takes over the application's hints.
  Application->HintShortPause = 100;
  QPointer<TbsSkinHint> self(this);
  Application->HintWindow = [self](TControl*, QPoint pos, const QString& text) {
    if (self) self->ShowHintAt(pos, text);
  };
}

void TbsSkinHint::SetActive(bool v)
{
  if (v == active_) return;
  active_ = v;
  if (!v) {
    HideHint();
    Application->HintWindow = nullptr;
    return;
  }
  TForm* mainForm = Application->MainForm();
  for (TbsSkinHint* other : AllHints())
    if (other != this && other->active_ && (!mainForm || other->Owner() == mainForm)) {
      other->active_ = false;
      other->HideHint();
    }
  Install();
}

void TbsSkinHint::SetSkinData(TbsSkinData* v)
{
  ReplaceReference(skinData_, v);
}

void TbsSkinHint::Notification(TComponent* AComponent, TOperation Operation)
{
  if (Operation == TOperation::opRemove && AComponent == skinData_) skinData_ = nullptr;
  TComponent::Notification(AComponent, Operation);
}

void TbsSkinHint::ActivateHint(const QString& text)
{
  pending_ = text;
  hideTimer_.stop();
  showTimer_.start(Application->HintPause);
}

void TbsSkinHint::ShowHintAt(QPoint cursor, const QString& text)
{
  QString shown = text;
  bool canShow = !shown.isEmpty();
  onShowHint_(this, shown, canShow);
  if (!canShow || shown.isEmpty()) {
    HideHint();
    return;
  }
  window_->ActivateHint(cursor, shown);
  hideTimer_.start(Application->HintHidePause);
}

void TbsSkinHint::HideHint()
{
  showTimer_.stop();
  hideTimer_.stop();
  window_->Hide();
}

void RegisterSkinHintClasses()
{
  TEventTypes::Register<TbsShowHintEvent>();
  TComponentClasses::Register<TbsSkinHint>();
}
