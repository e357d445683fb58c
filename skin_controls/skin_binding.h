// What ties a skinned control to its skin: the TbsSkinData it refers to
// (never owns; the reference is dropped when the skin data is freed), the
// name of the definition it wants (SkinDataName) and the question whether a
// skin notice is meant for it. The windowed and window-less bases, the edit
// box and the font-only labels each hold one; the control keeps the index of
// the definition it last found.
#pragma once

#include "skin/skin_data.h"
#include "toolkit/component.h"

class TbsSkinBinding {
public:
  TbsSkinBinding(TComponent* owner, QString name) : owner_(owner), name_(std::move(name)) {}
  ~TbsSkinBinding();
  TbsSkinBinding(const TbsSkinBinding&) = delete;
  TbsSkinBinding& operator=(const TbsSkinBinding&) = delete;

  TbsSkinData* Data() const { return data_; }
  // Points at `value`, moving the free-notification; false when it already did.
  bool SetData(TbsSkinData* value);
  const QString& Name() const { return name_; }
  void SetName(const QString& value) { name_ = value; }
  // A skin with pictures is set.
  bool Loaded() const { return data_ && !data_->IsEmptySkin(); }

  // The index of the named definition in a loaded skin, or -1.
  int FindDefinition() const;
  // The definition at `index`, or nullptr (also without a loaded skin).
  const TbsDataSkinControl* Definition(int index) const;
  template <class T> const T* DefinitionAs(int index) const { return dynamic_cast<const T*>(Definition(index)); }

  // Which skin notice `m` is, when it is meant for this control: it has a
  // skin and the sender is that skin or unnamed.
  enum class Notice { None, Changing, Change };
  Notice NoticeIn(const TMessage& m) const;
  // The owner's Notification: true when the freed component was the skin
  // data, which is then forgotten.
  bool Released(const TComponent* component, TOperation operation);

private:
  TComponent* owner_;
  TbsSkinData* data_ = nullptr;
  QString name_;
};
