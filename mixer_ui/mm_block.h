// The mixer block: a panel that shows and controls one mixer line like a
// channel strip of a desk. It owns the mixer controls it needs (pan, volume,
// mute, peak meter) on the line in its Line property; the visible parts are
// child controls with roles (title, balance, volumes, levels, mute), which
// the block finds, binds to those controls and lays out.
#pragma once

#include "mixer/mm_line.h"
#include "mixer_ui/mm_connectors.h"
#include "toolkit/std_controls.h"

VELMORA_EXCEPTION(EMMBlockError, Exception);

class TMMCustomMixerBlock;
class TMMCustomBlockSlider;
class TMMCustomBlockLevel;
class TMMCustomBlockCheck;
class TMMCustomBlockLabel;

// Children tell their block about themselves with this message (WParam the
// code, LParam the child).
constexpr quint32 MM_BLOCKCHILD = 0x8001;
enum : int { bcJoined = 0, bcJoinedWithoutRole = 1, bcLeaving = 2, bcRoleChanged = 3 };

// The pictures at the ends of the balance slider (17 x 20).
QImage SpeakerPicture(bool right);

// The block a control sits in (the first one up its parents), or none.
TMMCustomMixerBlock* FindMixerBlock(const TControl* control);

class TMMCustomMixerBlock : public TMMCustomPanel {
  Q_OBJECT
public:
  explicit TMMCustomMixerBlock(TComponent* AOwner);
  ~TMMCustomMixerBlock() override;

  TMMAudioLine* Line() const { return line_; }
  void SetLine(TMMAudioLine* v);
  TMMCustomMixerControl* Mixer() const { return mixer_; }
  void SetMixer(TMMCustomMixerControl* v);
  TMMItemIndex Item() const { return item_; }
  void SetItem(TMMItemIndex v);
  bool AutoArrange() const { return autoArrange_; }
  void SetAutoArrange(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  TMMBlockStyle Style() const { return style_; }
  void SetStyle(TMMBlockStyle v);
  TMMMuteKind MuteKind() const;

  TMMPanControl* BlockPan() const { return pan_; }
  TMMVolumeControl* BlockVolume() const { return volume_; }
  TMMMixerControl* BlockMute() const { return mute_; }
  TMMMixerConnector* BlockConnector() const { return connector_; }
  TMMMixerControl* BlockPeak() const { return peak_; }

  TMMCustomBlockSlider* PanSlider() const { return panSlider_; }
  TMMCustomBlockSlider* LeftSlider() const { return leftSlider_; }
  TMMCustomBlockSlider* RightSlider() const { return rightSlider_; }
  TMMCustomBlockCheck* MuteCheck() const { return muteCheck_; }
  TMMCustomBlockLevel* LeftLevel() const { return leftLevel_; }
  TMMCustomBlockLevel* RightLevel() const { return rightLevel_; }
  TMMCustomBlockLabel* TitleLabel() const { return titleLabel_; }
  TMMCustomBlockLabel* PanLabel() const { return panLabel_; }
  TMMCustomBlockLabel* VolumeLabel() const { return volumeLabel_; }

  void Rebuild();
  void FindChildren();
  void Bind();
  void Arrange();
  void AssignDefaultRole(TControl* child);

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void WndProc(TMessage& Message) override;
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void LineNotify(QObject* data);
  void MixerNotify(QObject* data);
  bool Idle() const;

  bool autoArrange_ = true;
  bool autoSize_ = true;
  TMMCustomBlockSlider* panSlider_ = nullptr;
  TMMCustomBlockCheck* muteCheck_ = nullptr;
  TMMCustomBlockSlider* leftSlider_ = nullptr;
  TMMCustomBlockSlider* rightSlider_ = nullptr;
  TMMCustomBlockLevel* leftLevel_ = nullptr;
  TMMCustomBlockLevel* rightLevel_ = nullptr;
  TMMCustomBlockLabel* titleLabel_ = nullptr;
  TMMCustomBlockLabel* panLabel_ = nullptr;
  TMMCustomBlockLabel* volumeLabel_ = nullptr;
  TMMPanControl* pan_;
  TMMVolumeControl* volume_;
  TMMMixerControl* mute_;
  TMMMixerConnector* connector_;
  TMMMixerControl* peak_;
  TMMAudioLine* line_ = nullptr;
  TMMObserver lineWatcher_;
  TMMCustomMixerControl* mixer_ = nullptr;
  TMMItemIndex item_ = NoItem;
  TMMObserver mixerWatcher_;
  TMMBlockStyle style_ = bsWin95;
  TControl* removedChild_ = nullptr;
};

class TMMMixerBlock : public TMMCustomMixerBlock {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Item", "TMMItemIndex")
  Q_PROPERTY(TMMAudioLine* Line READ Line WRITE SetLine)
  Q_PROPERTY(bool AutoArrange READ AutoArrange WRITE SetAutoArrange)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(mmui::TMMBlockStyle Style READ Style WRITE SetStyle)
  Q_PROPERTY(TMMCustomMixerControl* Mixer READ Mixer WRITE SetMixer)
  Q_PROPERTY(int Item READ Item WRITE SetItem)
  Q_PROPERTY(mmui::TMMMuteKind MuteKind READ MuteKind STORED false)
public:
  explicit TMMMixerBlock(TComponent* AOwner) : TMMCustomMixerBlock(AOwner) {}
};

// Joining and leaving a block, shared by the four child kinds.
class TMMBlockChild {
protected:
  // Checks the new parent, tells the old block, moves, tells the new one.
  static void MoveTo(TControl* self, TWinControl* parent, bool roleSet, const std::function<void(TWinControl*)>& setParent);
  static void Tell(TControl* self, int code);
};

// A block child with the role the block lays it out by: setting the role
// tells the block. A template because moc allows no templated Q_OBJECT class.
template <class Base, class RoleT, RoleT kRole>
class TMMRoleChild : public Base, protected TMMBlockChild {
public:
  explicit TMMRoleChild(TComponent* AOwner) : Base(AOwner) {}
  RoleT Role() const { return role_; }
  void SetRole(RoleT v)
  {
    if (roleSet_ && v == role_) return;
    roleSet_ = true;
    role_ = v;
    RoleChanged();
    Tell(this, bcRoleChanged);
  }
  bool RoleSet() const { return roleSet_; }
  void SetParent(TWinControl* AParent) override
  {
    MoveTo(this, AParent, roleSet_, [this](TWinControl* p) { Base::SetParent(p); });
  }

protected:
  // The role was set, before the block hears of it.
  virtual void RoleChanged() {}

private:
  RoleT role_ = kRole;
  bool roleSet_ = false;
};

// A block child whose look follows its role and a style (sliders and levels).
template <class Base, class RoleT, RoleT kRole, class StyleT, StyleT kStyle>
class TMMStyledRoleChild : public TMMRoleChild<Base, RoleT, kRole> {
public:
  explicit TMMStyledRoleChild(TComponent* AOwner) : TMMRoleChild<Base, RoleT, kRole>(AOwner) {}
  StyleT Style() const { return style_; }
  void SetStyle(StyleT v)
  {
    if (v == style_) return;
    style_ = v;
    ApplyStyle();
  }
  // The look of the role: scale, pictures, mapping.
  virtual void ApplyStyle() = 0;

protected:
  void RoleChanged() override { ApplyStyle(); }

private:
  StyleT style_ = kStyle;
};

using TMMBlockSliderChild =
    TMMStyledRoleChild<TMMCustomMixerSlider, TMMBlockSliderRole, srPan, TMMBlockSliderStyle, ssWin95>;
class TMMCustomBlockSlider : public TMMBlockSliderChild {
  Q_OBJECT
public:
  explicit TMMCustomBlockSlider(TComponent* AOwner);
  void ApplyStyle() override;
};

class TMMMixerBlockSlider : public TMMCustomBlockSlider {
  Q_OBJECT
  Q_PROPERTY(mmui::TMMBlockSliderRole Role READ Role WRITE SetRole)
  Q_PROPERTY(mmui::TMMBlockSliderStyle Style READ Style WRITE SetStyle)
public:
  explicit TMMMixerBlockSlider(TComponent* AOwner) : TMMCustomBlockSlider(AOwner) {}
};

using TMMBlockLevelChild = TMMStyledRoleChild<TMMCustomLevel, TMMBlockLevelRole, lrLeftLevel, TMMBlockLevelStyle, lsWin95>;
class TMMCustomBlockLevel : public TMMBlockLevelChild {
  Q_OBJECT
public:
  explicit TMMCustomBlockLevel(TComponent* AOwner);
  void ApplyStyle() override;
};

class TMMMixerBlockLevel : public TMMCustomBlockLevel {
  Q_OBJECT
  Q_PROPERTY(mmui::TMMBlockLevelRole Role READ Role WRITE SetRole)
  Q_PROPERTY(mmui::TMMBlockLevelStyle Style READ Style WRITE SetStyle)
public:
  explicit TMMMixerBlockLevel(TComponent* AOwner) : TMMCustomBlockLevel(AOwner) {}
};

class TMMCustomBlockCheck : public TMMCustomMixerCheckBox, protected TMMBlockChild {
  Q_OBJECT
public:
  explicit TMMCustomBlockCheck(TComponent* AOwner) : TMMCustomMixerCheckBox(AOwner) {}
  void SetParent(TWinControl* AParent) override;
};

// The line's mute switch (or its entry in a recording selector) as a check box.
class TMMMixerBlockCheck : public TMMCustomBlockCheck {
  Q_OBJECT
  Q_PROPERTY(bool AutoCaption READ AutoCaption WRITE SetAutoCaption)
  Q_PROPERTY(bool Short READ Short WRITE SetShort)
public:
  explicit TMMMixerBlockCheck(TComponent* AOwner) : TMMCustomBlockCheck(AOwner) {}
};

using TMMBlockLabelChild = TMMRoleChild<TLabel, TMMBlockLabelRole, lrLineTitle>;
class TMMCustomBlockLabel : public TMMBlockLabelChild {
  Q_OBJECT
public:
  explicit TMMCustomBlockLabel(TComponent* AOwner) : TMMBlockLabelChild(AOwner) {}
};

class TMMMixerBlockLabel : public TMMCustomBlockLabel {
  Q_OBJECT
  Q_PROPERTY(mmui::TMMBlockLabelRole Role READ Role WRITE SetRole)
public:
  explicit TMMMixerBlockLabel(TComponent* AOwner) : TMMCustomBlockLabel(AOwner) {}
};

// Registers the mixer controls' classes for window descriptions.
void RegisterMixerUiClasses();
