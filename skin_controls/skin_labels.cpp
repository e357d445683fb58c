#include "skin_controls/skin_labels.h"

#include "skin/skin_utils.h"
#include "skin_controls/skin_panels.h"

#include <QDesktopServices>
#include <QUrl>

// ---------------------------------------------------------------- TbsSkinLabel

TbsSkinLabel::TbsSkinLabel(TComponent* AOwner) : TbsSkinCustomControl(AOwner)
{
  SetSkinDataName(QStringLiteral("label"));
  SetBounds(0, 0, 75, 21);
}

void TbsSkinLabel::SetAlignment(TAlignment v)
{
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}

void TbsSkinLabel::SetAutoSize(bool v)
{
  autoSize_ = v;
  if (v) ApplyAutoWidth();
}

void TbsSkinLabel::SetBorderStyle(int v)
{
  borderStyle_ = std::clamp(v, 0, 3);
  Invalidate();
}

void TbsSkinLabel::LoadSkinDefinition()
{
  TbsSkinCustomControl::LoadSkinDefinition();
  if (const auto* def = dynamic_cast<const TbsDataSkinLabelControl*>(SkinDefinition())) {
    fontName_ = def->FontName;
    fontStyle_ = def->FontStyle;
    fontHeight_ = def->FontHeight;
    fontColor_ = def->FontColor;
    if (geometry_.StretchMode == smFixed) autoSize_ = false;
  }
}

void TbsSkinLabel::SetTextFont(TFont* font) const
{
  if (skinControlIndex_ == -1) {
    font->Assign(DefaultFont());
    return;
  }
  if (UseSkinFont()) skin_fonts::ApplyDefinitionFont(font, fontName_, fontHeight_, fontStyle_);
  else font->Assign(DefaultFont());
  font->SetColor(fontColor_);
}

int TbsSkinLabel::NeededExtraWidth() const
{
  TCanvas measure;
  SetTextFont(measure.Font());
  const int text = measure.TextWidth(Caption());
  if (skinControlIndex_ == -1) return text + 4 - Width();
  if (geometry_.StretchMode == smFixed) return 0;
  TbsSkinGeometry g = geometry_;
  g.StretchTo(Width(), Height());
  return text - g.StretchedClientRect.width();
}

void TbsSkinLabel::ApplyAutoWidth()
{
  if (IsLoading() || !AutoWidthAllowed()) return;
  LoadSkinDefinition();
  const int extra = NeededExtraWidth();
  if (extra != 0) SetWidth(Width() + extra);
}

void TbsSkinLabel::CalcSkinSize(int& width, int& height)
{
  TbsSkinCustomControl::CalcSkinSize(width, height);
  if (!autoSize_ || !AutoWidthAllowed() || geometry_.StretchMode == smFixed) return;
  TCanvas measure;
  SetTextFont(measure.Font());
  int extra = measure.TextWidth(Caption()) - geometry_.StretchedClientRect.width();
  if (auto* panel = qobject_cast<TbsSkinStatusPanel*>(this); panel && !panel->Glyph()->Empty())
    extra += panel->Glyph()->Width() / std::max(1, panel->NumGlyphs()) + 3;
  if (extra > 0) {
    width += extra;
    TbsSkinCustomControl::CalcSkinSize(width, height);
  }
}

void TbsSkinLabel::ApplySkinData()
{
  TbsSkinCustomControl::ApplySkinData();
  if (autoSize_) ApplyAutoWidth();
}

void TbsSkinLabel::Loaded()
{
  TbsSkinCustomControl::Loaded();
  if (autoSize_) ApplyAutoWidth();
}

void TbsSkinLabel::TextChanged()
{
  if (autoSize_) ApplyAutoWidth();
  Invalidate();
}

void TbsSkinLabel::DefaultFontChanged()
{
  if (autoSize_ && skinControlIndex_ == -1) ApplyAutoWidth();
}

QRect TbsSkinLabel::TextRect() const
{
  if (skinControlIndex_ == -1) return ::SkinRect(3, 3, Width() - 3, Height() - 3);
  return geometry_.StretchedClientRect;
}

void TbsSkinLabel::DrawLabelText(TCanvas* c, const QRect& rect)
{
  SetTextFont(c->Font());
  c->Font()->SetCharset(skin_fonts::SkinCharset(SkinData(), DefaultFont()->Charset()));
  const QString text = Caption();
  const int tw = c->TextWidth(text);
  int x = rect.left();
  if (alignment_ == taRightJustify) x = rect.left() + rect.width() - tw;
  else if (alignment_ == taCenter) x = rect.left() + (rect.width() - tw) / 2;
  const int y = rect.top() + (rect.height() - c->TextHeight(text)) / 2;
  c->Brush()->SetStyle(TBrush::bsClear);
  c->TextRect(rect, x, y, text);
}

void TbsSkinLabel::DrawDefaultLook(TBitmap& bitmap)
{
  TCanvas* c = bitmap.Canvas();
  const QRect all(0, 0, bitmap.Width(), bitmap.Height());
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(all);
  DrawSkinBorder(c, all, borderStyle_);
  DrawLabelText(c, TextRect());
}

void TbsSkinLabel::DrawSkinLook(TBitmap& bitmap)
{
  DrawStretchedPicture(bitmap, geometry_.SkinPicture, geometry_.SkinRect);
  DrawLabelText(bitmap.Canvas(), TextRect());
}

// ---------------------------------------------------------------- TbsSkinStatusPanel

TbsSkinStatusPanel::TbsSkinStatusPanel(TComponent* AOwner) : TbsSkinLabel(AOwner), glyph_(new TBitmap(this))
{
  SetSkinDataName(QStringLiteral("statuspanel"));
  SetWidth(120);
  glyph_->OnChange = [this](TPersistent*) {
    if (AutoSize()) ApplyAutoWidth();
    Invalidate();
  };
}

void TbsSkinStatusPanel::SetGlyph(TBitmap* v)
{
  if (v && v != glyph_) glyph_->Assign(v);
}

void TbsSkinStatusPanel::SetNumGlyphs(int v)
{
  numGlyphs_ = std::clamp(v, 1, 2);
  Invalidate();
}

int TbsSkinStatusPanel::NeededExtraWidth() const
{
  int extra = TbsSkinLabel::NeededExtraWidth();
  if (!glyph_->Empty() && !(skinControlIndex_ != -1 && geometry_.StretchMode == smFixed))
    extra += glyph_->Width() / numGlyphs_ + 3;
  return extra;
}

void TbsSkinStatusPanel::DrawWithGlyph(TBitmap& bitmap, const QRect& textRect, int glyphX, bool wholeHeight)
{
  QRect r = textRect;
  if (!glyph_->Empty()) {
    const int gw = glyph_->Width() / numGlyphs_;
    const int y = wholeHeight ? (Height() - glyph_->Height()) / 2
                              : r.top() + (r.height() - glyph_->Height()) / 2;
    DrawGlyphFrame(bitmap.Canvas(), glyphX, y, Enabled() ? 1 : 2, numGlyphs_, *glyph_);
    r.setLeft(r.left() + gw + 2);
  }
  DrawLabelText(bitmap.Canvas(), r);
}

void TbsSkinStatusPanel::DrawDefaultLook(TBitmap& bitmap)
{
  TCanvas* c = bitmap.Canvas();
  const QRect all(0, 0, bitmap.Width(), bitmap.Height());
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(all);
  DrawSkinBorder(c, all, BorderStyle());
  DrawWithGlyph(bitmap, TextRect(), 3, true);
}

void TbsSkinStatusPanel::DrawSkinLook(TBitmap& bitmap)
{
  DrawStretchedPicture(bitmap, geometry_.SkinPicture, geometry_.SkinRect);
  DrawWithGlyph(bitmap, TextRect(), TextRect().left(), false);
}

// ---------------------------------------------------------------- TbsSkinStdLabel

TbsSkinStdLabel::TbsSkinStdLabel(TComponent* AOwner) : TLabel(AOwner), defaultFont_(new TFont(this))
{
  SetTransparent(true);
}

void TbsSkinStdLabel::SetSkinData(TbsSkinData* value)
{
  binding_.SetData(value);
  if (binding_.Data()) ApplySkinData();
}

void TbsSkinStdLabel::SetDefaultFont(TFont* v)
{
  if (v && v != defaultFont_) defaultFont_->Assign(v);
}

void TbsSkinStdLabel::SetUseSkinFont(bool v)
{
  if (v == useSkinFont_) return;
  useSkinFont_ = v;
  AdjustBounds();
  Invalidate();
}

void TbsSkinStdLabel::LoadSkinDefinition()
{
  skinControlIndex_ = binding_.FindDefinition();
  const auto* def = binding_.DefinitionAs<TbsDataSkinStdLabelControl>(skinControlIndex_);
  if (!def) return;
  fontName_ = def->FontName;
  fontStyle_ = def->FontStyle;
  fontHeight_ = def->FontHeight;
  fontColor_ = def->FontColor;
  activeFontColor_ = def->ActiveFontColor;
}

void TbsSkinStdLabel::ApplySkinData()
{
  LoadSkinDefinition();
  AdjustBounds();
  Invalidate();
}

void TbsSkinStdLabel::WndProc(TMessage& m)
{
  switch (binding_.NoticeIn(m)) {
  case TbsSkinBinding::Notice::Changing: skinControlIndex_ = -1; return;
  case TbsSkinBinding::Notice::Change: ApplySkinData(); return;
  case TbsSkinBinding::Notice::None: TLabel::WndProc(m); return;
  }
}

void TbsSkinStdLabel::Notification(TComponent* AComponent, TOperation Operation)
{
  TLabel::Notification(AComponent, Operation);
  if (binding_.Released(AComponent, Operation)) {
    skinControlIndex_ = -1;
    if (!IsDestroying()) Invalidate();
  }
}

void TbsSkinStdLabel::SetFontFromDefinition(TFont* font)
{
  if (useSkinFont_) skin_fonts::ApplyDefinitionFont(font, fontName_, fontHeight_, fontStyle_);
  else font->Assign(Font());
  font->SetColor(fontColor_);
}

void TbsSkinStdLabel::SetFontWithoutDefinition(TFont* font) { font->Assign(useSkinFont_ ? defaultFont_ : Font()); }

void TbsSkinStdLabel::TextFont(TFont* font)
{
  LoadSkinDefinition();
  font->Assign(Font());
  if (skinControlIndex_ == -1) SetFontWithoutDefinition(font);
  else SetFontFromDefinition(font);
  font->SetCharset(skin_fonts::SkinCharset(binding_.Data(), defaultFont_->Charset()));
}

void TbsSkinStdLabel::DrawLabelCaption(TCanvas& canvas, QRect& r, unsigned flags)
{
  QString text = Caption();
  if ((flags & DT_CALCRECT) && (text.isEmpty() || (ShowAccelChar() && text == QLatin1String("&"))))
    text += u' ';
  TextFont(canvas.Font());
  if (flags & DT_CALCRECT) {
    canvas.DrawText(text, r, flags);
    return;
  }
  canvas.Brush()->SetStyle(TBrush::bsClear);
  if (!Enabled()) {
    // Engraved: a highlight one pixel down-right under the shadow-coloured text.
    QRect shadow = r.translated(1, 1);
    canvas.Font()->SetColor(clBtnHighlight);
    canvas.DrawText(text, shadow, flags);
    canvas.Font()->SetColor(clBtnShadow);
  }
  canvas.DrawText(text, r, flags);
}

// ---------------------------------------------------------------- TbsSkinLinkLabel

TbsSkinLinkLabel::TbsSkinLinkLabel(TComponent* AOwner) : TbsSkinStdLabel(AOwner)
{
  DefaultFont()->SetName(QStringLiteral("Arial"));
  DefaultFont()->SetHeight(14);
  DefaultFont()->SetStyle(TFont::fsUnderline);
  Font()->Assign(DefaultFont());
  SetCursor(crHandPoint);
}

void TbsSkinLinkLabel::SetDefaultActiveFontColor(TColor v)
{
  if (v == defaultActiveFontColor_) return;
  defaultActiveFontColor_ = v;
  if (mouseInside_) Invalidate();
}

std::function<bool(const QString&)>& TbsSkinLinkLabel::OpenUrl()
{
  static std::function<bool(const QString&)> open = [](const QString& url) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(url));
  };
  return open;
}

void TbsSkinLinkLabel::Click()
{
  TbsSkinStdLabel::Click();
  if (url_.isEmpty()) return;  // a link to nowhere opens nothing
  // Reported here rather than thrown: the mouse handling that called us must finish.
  if (!OpenUrl()(url_))
    HandleToolkitException(std::make_exception_ptr(
        EInvalidOperation(QStringLiteral("无法用浏览器打开网址“%1”。").arg(url_))));
}

void TbsSkinLinkLabel::MouseEnter()
{
  TbsSkinStdLabel::MouseEnter();
  if (IsDesigning()) return;
  mouseInside_ = true;
  Invalidate();
}

void TbsSkinLinkLabel::MouseLeave()
{
  TbsSkinStdLabel::MouseLeave();
  if (IsDesigning()) return;
  mouseInside_ = false;
  Invalidate();
}

void TbsSkinLinkLabel::SetFontFromDefinition(TFont* font)
{
  if (UseSkinFont())
    skin_fonts::ApplyDefinitionFont(font, fontName_, fontHeight_, fontStyle_ | kbsFontUnderline);
  else font->Assign(Font());
  font->SetColor(mouseInside_ ? activeFontColor_ : fontColor_);
}

void TbsSkinLinkLabel::SetFontWithoutDefinition(TFont* font)
{
  font->Assign(UseSkinFont() ? DefaultFont() : Font());
  if (mouseInside_) font->SetColor(defaultActiveFontColor_);
  font->SetStyle(font->Style() | TFont::fsUnderline);
}
