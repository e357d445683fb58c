// Helpers of the skinned menu tests: a form that hosts a skinned menu the way
// the skinned frame does, and the main window's own skin.
#pragma once

#include "skin/skin_menu.h"
#include "toolkit/forms.h"

#include <QStringList>

// A form with a menu runner, recording the notices it gets.
class MenuHostForm : public TForm, public TbsSkinMenuHost {
public:
  MenuHostForm() : TForm(nullptr), menu_(new TbsSkinMenu(this))
  {
    menu_->SetForm(this);
    menu_->OnMenuOpen = [this](TObject*) { ++opened; };
    menu_->OnMenuClose = [this](TObject*) { ++closed; };
  }
  TbsSkinMenu* SkinMenu() const override { return menu_; }
  TbsSkinData* MenuSkinData() const override { return skin; }
  void WndProc(TMessage& m) override
  {
    if (m.Msg == WM_CLOSESKINMENU) ++closeNotices;
    TForm::WndProc(m);
  }

  TbsSkinData* skin = nullptr;
  int opened = 0, closed = 0, closeNotices = 0;

private:
  TbsSkinMenu* menu_;
};

// The skin data and stored skin of the main window's description, read into `owner`.
TbsSkinData* ReadMainWindowSkin(TComponent* owner);

// A control that counts the menu notices it receives.
class NoticeControl : public TCustomControl {
public:
  NoticeControl() : TCustomControl(nullptr) {}
  void WndProc(TMessage& m) override
  {
    if (m.Msg == WM_CLOSESKINMENU) ++closeNotices;
    if (m.Msg == WM_AFTERDISPATCH) ++dispatchNotices;
    TCustomControl::WndProc(m);
  }
  int closeNotices = 0, dispatchNotices = 0;
};
