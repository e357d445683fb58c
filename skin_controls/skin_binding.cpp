#include "skin_controls/skin_binding.h"

#include "skin_controls/skin_control.h"

TbsSkinBinding::~TbsSkinBinding()
{
  if (data_) data_->RemoveFreeNotification(owner_);
}

bool TbsSkinBinding::SetData(TbsSkinData* value) { return owner_->ReplaceReference(data_, value); }

int TbsSkinBinding::FindDefinition() const { return TbsSkinGeometry::FindDefinition(data_, name_); }

const TbsDataSkinControl* TbsSkinBinding::Definition(int index) const
{
  return Loaded() ? TbsSkinGeometry::Definition(data_, index) : nullptr;
}

TbsSkinBinding::Notice TbsSkinBinding::NoticeIn(const TMessage& m) const
{
  if (!data_ || (m.WParam != 0 && SkinNoticeSender(m) != data_)) return Notice::None;
  if (m.Msg == SKN_CHANGING) return Notice::Changing;
  if (m.Msg == SKN_CHANGE) return Notice::Change;
  return Notice::None;
}

bool TbsSkinBinding::Released(const TComponent* component, TOperation operation)
{
  if (operation != TOperation::opRemove || !data_ || component != data_) return false;
  data_ = nullptr;
  return true;
}
