// Skinned hints: a hint window drawn from the skin's [HINTWINDOW] picture
// (or the built-in look) and the component that owns it. While an active
// TbsSkinHint exists, the application's hints are shown in its window.
//
// A skinned form shows its caption objects' hints with ActivateHint (after
// the application's hint pause) and takes them away with HideHint.
#pragma once

#include "skin/skin_data.h"
#include "toolkit/controls.h"

#include <QPointer>
#include <QTimer>

class TbsSkinHint;

// Raised before a hint is shown: the text may be changed, or the hint refused.
using TbsShowHintEvent = TEvent<TObject*, QString&, bool&>;
Q_DECLARE_METATYPE(TbsShowHintEvent)

class TbsSkinHintWindow : public TCustomControl {
  Q_OBJECT
public:
  // Rows between the cursor's hot spot and the hint (the cursor's visible height).
  static constexpr int kCursorHeight = 20;

  explicit TbsSkinHintWindow(TbsSkinHint* hint);

  // The window size for a text: with a skin the text plus the picture's border
  // (at least the picture), without one the text plus 4 pixels each way.
  QSize CalcHintSize(const QString& text);
  // Shows the text below the cursor position, kept on the screen.
  void ActivateHint(QPoint cursor, const QString& text);
  void ReleaseHandle() { Hide(); }
  QString HintText() const { return text_; }
  // The skin in use: only a loaded skin whose hint picture exists.
  const TbsDataSkinHintWindow* SkinDefinition() const;
  void PaintToBitmap(TBitmap& out);

protected:
  QWidget* CreateWidget(QWidget* parentWidget) override;
  void Paint() override;

private:
  void ApplyFont(TFont* font) const;
  QImage Picture() const;

  TbsSkinHint* hint_;
  QString text_;
};

class TbsSkinHint : public TComponent {
  Q_OBJECT
  Q_PROPERTY(TbsSkinData* SkinData READ SkinData WRITE SetSkinData)
  Q_PROPERTY(bool Active READ Active WRITE SetActive)
  Q_PROPERTY(bool AlphaBlend READ AlphaBlend WRITE SetAlphaBlend)
  Q_PROPERTY(int AlphaBlendValue READ AlphaBlendValue WRITE SetAlphaBlendValue)
  Q_PROPERTY(TFont* DefaultFont READ DefaultFont WRITE SetDefaultFont)
  Q_PROPERTY(bool UseSkinFont READ UseSkinFont WRITE SetUseSkinFont)
  Q_PROPERTY(TbsShowHintEvent OnShowHint READ OnShowHint WRITE SetOnShowHint)
public:
  Q_INVOKABLE explicit TbsSkinHint(TComponent* AOwner);
  ~TbsSkinHint() override;

  TbsSkinData* SkinData() const { return skinData_; }
  void SetSkinData(TbsSkinData* v);
  bool Active() const { return active_; }
  // Activating one deactivates the other active skinned hints of the main form.
  void SetActive(bool v);
  bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool v) { alphaBlend_ = v; }
  int AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(int v) { alphaBlendValue_ = qBound(0, v, 255); }
  TFont* DefaultFont() const { return defaultFont_; }
  void SetDefaultFont(TFont* v) { defaultFont_->Assign(v); }
  bool UseSkinFont() const { return useSkinFont_; }
  void SetUseSkinFont(bool v) { useSkinFont_ = v; }
  TbsShowHintEvent OnShowHint() const { return onShowHint_; }
  void SetOnShowHint(const TbsShowHintEvent& e) { onShowHint_ = e; }

  TbsSkinHintWindow* HintWindow() const { return window_; }
  // Shows the text at the cursor after the application's hint pause, and
  // hides it after the hint hide pause.
  void ActivateHint(const QString& text);
  // Shows at once below the screen point (OnShowHint may change or refuse it).
  void ShowHintAt(QPoint cursor, const QString& text);
  void HideHint();
  const QTimer& ShowTimer() const { return showTimer_; }

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void Install();

  TbsSkinData* skinData_ = nullptr;
  bool active_ = true;
  bool alphaBlend_ = false;
  int alphaBlendValue_ = 200;
  TFont* defaultFont_;
  bool useSkinFont_ = true;
  TbsShowHintEvent onShowHint_;
  TbsSkinHintWindow* window_;
  QString pending_;
  QTimer showTimer_, hideTimer_;
};

void RegisterSkinHintClasses();
