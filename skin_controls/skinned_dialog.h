// What the skinned dialog components (file dialogs, message box) keep for the
// window they show: the skin of its frame, the skin of its controls (whose
// string table also gives the texts), each forgotten when it is freed, and
// the frame's fading. The components publish these as their own properties.
#pragma once

#include "skin_controls/fading.h"
#include "toolkit/component.h"

class TbsSkinData;
class TbsSkinForm;

class TbsSkinnedDialog : public TComponent, public TbsFading {
  Q_OBJECT
public:
  // `alphaBlendValue`: the opacity a fading frame has by default.
  TbsSkinnedDialog(TComponent* AOwner, int alphaBlendValue);
  ~TbsSkinnedDialog() override;

  TbsSkinData* SkinData() const { return skinData_; }
  void SetSkinData(TbsSkinData* v) { ReplaceReference(skinData_, v); }
  TbsSkinData* CtrlSkinData() const { return ctrlSkinData_; }
  void SetCtrlSkinData(TbsSkinData* v) { ReplaceReference(ctrlSkinData_, v); }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The shown window's frame: both skins and the fading.
  void DressFrame(TbsSkinForm* frame) const;

private:
  TbsSkinData* skinData_ = nullptr;
  TbsSkinData* ctrlSkinData_ = nullptr;
};
