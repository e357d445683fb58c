// The skinned check box (definition "checkbox", kind checkradio): a box
// picture for each of checked and unchecked, normal, hot and disabled, in the
// definition's check-image area, and the caption in its text area, on the
// stretched skin rectangle (the hot one while the mouse is over it or it has
// the focus). A click or Space turns it over and raises OnClick; Checked set
// by the program raises nothing. Without a definition it draws a plain box.
#pragma once

#include "skin/skin_definitions.h"
#include "skin_controls/skin_control.h"

class TbsSkinCheckRadioBox : public TbsSkinCustomControl {
  Q_OBJECT
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
  explicit TbsSkinCheckRadioBox(TComponent* AOwner);

  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  bool MouseInside() const { return mouseInside_; }
  // What a click does: turns the box over, then OnClick.
  void Toggle();

protected:
  void DrawDefaultLook(TBitmap& bitmap) override;
  void DrawSkinLook(TBitmap& bitmap) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void KeyDown(int& Key, TShiftState Shift) override;
  void KeyUp(int& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  void EnabledChanged() override;
  void TextChanged() override;

private:
  const TbsDataSkinCheckRadioControl* CheckDefinition() const;
  // The caption in `r`, the focus frame round it while focused.
  void DrawCaption(TCanvas* canvas, const QRect& r);

  bool checked_ = false;
  bool mouseInside_ = false;
  bool pressing_ = false;
  bool spaceDown_ = false;
};
