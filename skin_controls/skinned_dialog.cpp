#include "skin_controls/skinned_dialog.h"

#include "skin/skin_data.h"
#include "skin/skin_form.h"

TbsSkinnedDialog::TbsSkinnedDialog(TComponent* AOwner, int alphaBlendValue)
    : TComponent(AOwner), TbsFading(alphaBlendValue)
{
}

TbsSkinnedDialog::~TbsSkinnedDialog()
{
  if (skinData_) skinData_->RemoveFreeNotification(this);
  if (ctrlSkinData_) ctrlSkinData_->RemoveFreeNotification(this);
}

void TbsSkinnedDialog::Notification(TComponent* AComponent, TOperation Operation)
{
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == skinData_) skinData_ = nullptr;
  if (AComponent == ctrlSkinData_) ctrlSkinData_ = nullptr;
}

void TbsSkinnedDialog::DressFrame(TbsSkinForm* frame) const
{
  frame->SetSkinData(skinData_);
  frame->SetMenusSkinData(ctrlSkinData_);
  frame->SetAlphaBlend(AlphaBlend());
  frame->SetAlphaBlendValue(AlphaBlendValue());
  frame->SetAlphaBlendAnimation(AlphaBlendAnimation());
}
