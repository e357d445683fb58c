// Skinned text: TbsSkinLabel (definition "label") and TbsSkinStatusPanel
// ("statuspanel"), one-line fields drawn from the skin with an optional frame
// and auto-width; TbsSkinStdLabel and TbsSkinLinkLabel, window-less labels
// that take only their font from the skin ("stdlabel"). The link label opens
// its URL with the desktop's browser and reports when that fails.
#pragma once

#include "skin_controls/skin_control.h"
#include "toolkit/std_controls.h"

#include <functional>

class TbsDataSkinStdLabelControl;

class TbsSkinLabel : public TbsSkinCustomControl {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:BorderStyle", "TbsSkinBorderStyle")
  Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
  explicit TbsSkinLabel(TComponent* AOwner);

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int v);

  // How much wider the field must be to show its text (negative: narrower).
  virtual int NeededExtraWidth() const;
  // Grows or shrinks the field to its text (not when aligned top, bottom or client).
  void ApplyAutoWidth();

  void LoadSkinDefinition() override;
  void ApplySkinData() override;
  void Loaded() override;

protected:
  void CalcSkinSize(int& width, int& height) override;
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void TextChanged() override;
  void DefaultFontChanged() override;
  // The text in the label's font, centred vertically, placed by Alignment.
  void DrawLabelText(TCanvas* canvas, const QRect& rect);
  // The field's text font at this moment.
  void SetTextFont(TFont* font) const;
  // Text rectangle of the current look.
  QRect TextRect() const;
  bool AutoWidthAllowed() const { return Align() != alTop && Align() != alBottom && Align() != alClient; }

  QString fontName_ = QStringLiteral("Arial");
  int fontHeight_ = 14;
  int fontStyle_ = 0;
  TColor fontColor_ = 0;

private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = false;
  int borderStyle_ = 0;
};

class TbsSkinStatusPanel : public TbsSkinLabel {
  Q_OBJECT
  Q_PROPERTY(TBitmap* Glyph READ Glyph WRITE SetGlyph)
  Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)

public:
  explicit TbsSkinStatusPanel(TComponent* AOwner);

  TBitmap* Glyph() const { return glyph_; }
  void SetGlyph(TBitmap* v);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int v);
  int NeededExtraWidth() const override;

protected:
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;

private:
  void DrawWithGlyph(TBitmap& bitmap, const QRect& textRect, int glyphX, bool wholeHeight);
  TBitmap* glyph_;
  int numGlyphs_ = 1;
};

// ---------------------------------------------------------------- font-only labels

class TbsSkinStdLabel : public TLabel {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(QString SkinDataName READ SkinDataName WRITE SetSkinDataName)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)

public:
  explicit TbsSkinStdLabel(TComponent* AOwner);

  TbsSkinData* SkinData() const { return binding_.Data(); }
  void SetSkinData(TbsSkinData* value);
  QString SkinDataName() const { return binding_.Name(); }
  void SetSkinDataName(const QString& v) { binding_.SetName(v); }
  TFont* DefaultFont() const { return defaultFont_; }
  // Copies the font; no repaint.
  void SetDefaultFont(TFont* v);
  bool UseSkinFont() const { return useSkinFont_; }
  void SetUseSkinFont(bool v);
  int SkinControlIndex() const { return skinControlIndex_; }

  // Looks the definition up and copies its font values (skin change).
  void LoadSkinDefinition();
  void ApplySkinData();
  // The font the text is drawn with at this moment.
  void TextFont(TFont* font);

  void WndProc(TMessage& Message) override;

protected:
  void DrawLabelCaption(TCanvas& canvas, QRect& r, unsigned flags) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void SetFontFromDefinition(TFont* font);
  virtual void SetFontWithoutDefinition(TFont* font);

  int skinControlIndex_ = -1;
  QString fontName_;
  int fontStyle_ = 0;
  int fontHeight_ = 0;
  TColor fontColor_ = 0;
  TColor activeFontColor_ = 0;

private:
  TbsSkinBinding binding_{this, QStringLiteral("stdlabel")};
  TFont* defaultFont_;
  bool useSkinFont_ = true;
};

class TbsSkinLinkLabel : public TbsSkinStdLabel {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:DefaultActiveFontColor", "TColor")
  Q_PROPERTY(int DefaultActiveFontColor READ DefaultActiveFontColor WRITE SetDefaultActiveFontColor)
  Q_PROPERTY(QString URL READ URL WRITE SetURL)

public:
  explicit TbsSkinLinkLabel(TComponent* AOwner);

  TColor DefaultActiveFontColor() const { return defaultActiveFontColor_; }
  void SetDefaultActiveFontColor(TColor v);
  QString URL() const { return url_; }
  void SetURL(const QString& v) { url_ = v; }
  bool MouseInside() const { return mouseInside_; }

  // Opens an address with the desktop's browser; false when it could not.
  // Replaceable for tests.
  static std::function<bool(const QString& url)>& OpenUrl();

protected:
  // OnClick first, then the address; one that does not open goes to the
  // application's error report.
  void Click() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void SetFontFromDefinition(TFont* font) override;
  void SetFontWithoutDefinition(TFont* font) override;

private:
  TColor defaultActiveFontColor_ = clBlue;
  QString url_;
  bool mouseInside_ = false;
};
