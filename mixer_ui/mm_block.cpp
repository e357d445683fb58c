#include "mixer_ui/mm_block.h"

#include "mixer/mm_register.h"
#include "mixer_ui/mm_pcm_peak.h"
#include "toolkit/forms.h"

namespace {
const char* const kOnlyInBlock = "This controls can be used only with MixerBlock";

// R.Top moves down, never past R.Bottom.
void Advance(QRect& r, int by) { r.setTop(std::min(r.top() + by, r.bottom() + 1)); }
} // namespace

TMMCustomMixerBlock* FindMixerBlock(const TControl* control)
{
  for (TWinControl* p = control ? control->Parent() : nullptr; p; p = p->Parent())
    if (auto* block = qobject_cast<TMMCustomMixerBlock*>(p)) return block;
  return nullptr;
}

// ---------------------------------------------------------------- block

TMMCustomMixerBlock::TMMCustomMixerBlock(TComponent* AOwner)
    : TMMCustomPanel(AOwner), pan_(new TMMPanControl(this)), volume_(new TMMVolumeControl(this)),
      mute_(new TMMMixerControl(this)), connector_(new TMMMixerConnector(this)), peak_(new TMMMixerControl(this))
{
  pan_->SetVolumeControl(volume_);
  mute_->SetControlType(ctMute);
  peak_->SetControlType(ctPeakMeter);
  connector_->SetControl(peak_);
  lineWatcher_.OnNotify = [this](TMMObserver*, QObject* data) { LineNotify(data); };
  mixerWatcher_.OnNotify = [this](TMMObserver*, QObject* data) { MixerNotify(data); };
  SetControlStyle(ControlStyle() & ~TControlStyle(csSetCaption));
  SetBounds(Left(), Top(), 100, 250);
}

TMMCustomMixerBlock::~TMMCustomMixerBlock()
{
  if (line_) {
    line_->RemoveObserver(&lineWatcher_);
    line_->RemoveFreeNotification(this);
  }
  if (mixer_) {
    mixer_->RemoveObserver(&mixerWatcher_);
    mixer_->RemoveFreeNotification(this);
  }
}

bool TMMCustomMixerBlock::Idle() const
{
  return IsDestroying() || IsLoading() || (Owner() && Owner()->IsDestroying());
}

void TMMCustomMixerBlock::SetLine(TMMAudioLine* v)
{
  if (v == line_) return;
  if (line_) {
    line_->RemoveObserver(&lineWatcher_);
    line_->RemoveFreeNotification(this);
  }
  for (TMMCustomMixerControl* c : {static_cast<TMMCustomMixerControl*>(pan_), static_cast<TMMCustomMixerControl*>(volume_),
                                   static_cast<TMMCustomMixerControl*>(mute_), static_cast<TMMCustomMixerControl*>(peak_)})
    c->SetAudioLine(nullptr);
  line_ = v;
  if (line_) {
    line_->AddObserver(&lineWatcher_);
    line_->FreeNotification(this);
  }
  for (TMMCustomMixerControl* c : {static_cast<TMMCustomMixerControl*>(pan_), static_cast<TMMCustomMixerControl*>(volume_),
                                   static_cast<TMMCustomMixerControl*>(mute_), static_cast<TMMCustomMixerControl*>(peak_)})
    c->SetAudioLine(v);
  if (Idle()) return;
  Bind();
  Arrange();
}

void TMMCustomMixerBlock::SetMixer(TMMCustomMixerControl* v)
{
  if (v == mixer_) return;
  if (mixer_) {
    mixer_->RemoveObserver(&mixerWatcher_);
    mixer_->RemoveFreeNotification(this);
  }
  mixer_ = v;
  if (mixer_) {
    mixer_->AddObserver(&mixerWatcher_);
    mixer_->FreeNotification(this);
  }
  Rebuild();
}

void TMMCustomMixerBlock::SetItem(TMMItemIndex v)
{
  item_ = v;
  Rebuild();
}

void TMMCustomMixerBlock::SetStyle(TMMBlockStyle v)
{
  style_ = v;
  Rebuild();
}

void TMMCustomMixerBlock::SetAutoArrange(bool v)
{
  autoArrange_ = v;
  Arrange();
}

void TMMCustomMixerBlock::SetAutoSize(bool v)
{
  autoSize_ = v;
  Arrange();
}

TMMMuteKind TMMCustomMixerBlock::MuteKind() const
{
  return muteCheck_ && mixer_ && muteCheck_->Control() == mixer_ ? mkSelect : mkMute;
}

void TMMCustomMixerBlock::LineNotify(QObject* data)
{
  if (!qobject_cast<TMMLineIdChange*>(data) || Idle()) return;
  Bind();
  Arrange();
}

void TMMCustomMixerBlock::MixerNotify(QObject* data)
{
  if (qobject_cast<TMMControlIdChange*>(data)) Rebuild();
}

void TMMCustomMixerBlock::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  const bool sized = AWidth != Width() || AHeight != Height();
  TMMCustomPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (sized) Arrange();
}

void TMMCustomMixerBlock::WndProc(TMessage& Message)
{
  if (Message.Msg != MM_BLOCKCHILD) {
    TMMCustomPanel::WndProc(Message);
    return;
  }
  auto* child = ParamPointer<TControl>(Message.LParam);
  if (Message.WParam == bcJoinedWithoutRole && IsDesigning() && !IsLoading() && !child->IsLoading())
    AssignDefaultRole(child);
  if (Message.WParam == bcLeaving) removedChild_ = child;
  Rebuild();
  removedChild_ = nullptr;
}

void TMMCustomMixerBlock::AssignDefaultRole(TControl* child)
{
  if (auto* slider = qobject_cast<TMMCustomBlockSlider*>(child)) {
    if (!panSlider_) slider->SetRole(srPan);
    else if (!leftSlider_) slider->SetRole(srLeftVolume);
    else if (!rightSlider_) slider->SetRole(srRightVolume);
  } else if (auto* level = qobject_cast<TMMCustomBlockLevel*>(child)) {
    if (!leftLevel_) level->SetRole(lrLeftLevel);
    else if (!rightLevel_) level->SetRole(lrRightLevel);
  } else if (auto* label = qobject_cast<TMMCustomBlockLabel*>(child)) {
    if (!titleLabel_) label->SetRole(lrLineTitle);
    else if (!panLabel_) label->SetRole(lrPanTitle);
    else if (!volumeLabel_) label->SetRole(lrVolumeTitle);
  }
}

void TMMCustomMixerBlock::Rebuild()
{
  if (Idle()) return;
  FindChildren();
  if (IsDesigning() && style_ == bsWin95) {
    for (auto* s : {panSlider_, leftSlider_, rightSlider_})
      if (s) s->SetStyle(ssWin95);
    for (auto* l : {leftLevel_, rightLevel_})
      if (l) l->SetStyle(lsWin95);
  }
  Bind();
  Arrange();
}

void TMMCustomMixerBlock::FindChildren()
{
  panSlider_ = leftSlider_ = rightSlider_ = nullptr;
  muteCheck_ = nullptr;
  leftLevel_ = rightLevel_ = nullptr;
  titleLabel_ = panLabel_ = volumeLabel_ = nullptr;
  std::function<void(TWinControl*)> walk = [&](TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* c = parent->Controls(i);
      if (c == removedChild_ || c->IsDestroying()) continue;
      if (auto* s = qobject_cast<TMMCustomBlockSlider*>(c)) {
        (s->Role() == srPan ? panSlider_ : s->Role() == srLeftVolume ? leftSlider_ : rightSlider_) = s;
      } else if (auto* check = qobject_cast<TMMCustomBlockCheck*>(c)) {
        muteCheck_ = check;
      } else if (auto* level = qobject_cast<TMMCustomBlockLevel*>(c)) {
        (level->Role() == lrLeftLevel ? leftLevel_ : rightLevel_) = level;
      } else if (auto* label = qobject_cast<TMMCustomBlockLabel*>(c)) {
        (label->Role() == lrLineTitle ? titleLabel_ : label->Role() == lrPanTitle ? panLabel_ : volumeLabel_) = label;
      } else if (auto* w = qobject_cast<TWinControl*>(c)) {
        walk(w);
      }
    }
  };
  walk(this);
  removedChild_ = nullptr;
}

void TMMCustomMixerBlock::Bind()
{
  if (panSlider_) panSlider_->SetControl(pan_);
  if (muteCheck_) {
    TMMItemIndex item = NoItem;
    if (mixer_ && mixer_->IsAvailable() && line_) item = item_ != NoItem ? item_ : mixer_->FindItemOfLine(line_);
    muteCheck_->SetControl(item == NoItem ? static_cast<TMMCustomMixerControl*>(mute_) : mixer_);
    muteCheck_->SetItem(item);
  }
  if (leftSlider_) {
    leftSlider_->SetControl(volume_);
    leftSlider_->SetChannel(rightSlider_ ? chLeft : chBoth);
  }
  if (rightSlider_) {
    rightSlider_->SetControl(volume_);
    rightSlider_->SetChannel(leftSlider_ ? chRight : chBoth);
  }
  connector_->SetLevel1(leftLevel_);
  connector_->SetLevel2(rightLevel_);
}

void TMMCustomMixerBlock::Arrange()
{
  if (IsLoading() || !Parent() || style_ != bsWin95 || Idle()) return;
  const QFontMetrics& fm = Font()->Metrics();
  const int G = fm.horizontalAdvance(QStringLiteral("A"));
  const int H = fm.height() / 2;
  const int e = BevelExtent();
  QRect R = ClientRect().adjusted(e + G, e + H, -(e + G), -(e + H));
  auto placed = [this](TControl* c) { return c && autoArrange_ && c->Parent() == this; };
  auto placeRow = [&](TControl* c) {
    c->SetBounds(R.left(), R.top(), autoSize_ ? R.width() : c->Width(), c->Height());
  };

  if (titleLabel_) {
    if (placed(titleLabel_)) {
      placeRow(titleLabel_);
      Advance(R, titleLabel_->Height() + H);
    }
    titleLabel_->SetCaption(line_ ? line_->LineInfo()->Name() : QStringLiteral("Not connected"));
  }
  if (panLabel_) {
    if (placed(panLabel_)) placeRow(panLabel_);
    panLabel_->SetCaption(QStringLiteral("Balance:"));
    Advance(R, panLabel_->Height());
  }
  if (panSlider_ && placed(panSlider_)) {
    if (autoSize_) panSlider_->SetBounds(R.left(), R.top(), R.width(), panSlider_->Height());
    else panSlider_->SetBounds(R.left() + (R.width() - panSlider_->Width()) / 2, R.top(), panSlider_->Width(), panSlider_->Height());
    Advance(R, panSlider_->Height() + H);
  }
  Advance(R, H);
  if (volumeLabel_) {
    if (placed(volumeLabel_)) placeRow(volumeLabel_);
    volumeLabel_->SetCaption(QStringLiteral("Volume:"));
    Advance(R, volumeLabel_->Height());
  }
  if (muteCheck_ && placed(muteCheck_)) {
    const int h = muteCheck_->Height();
    if (autoSize_) muteCheck_->SetBounds(R.left(), R.bottom() + 1 - h, R.width(), h);
    else muteCheck_->SetBounds(R.left() + (R.width() - muteCheck_->Width()) / 2, R.bottom() + 1 - h, muteCheck_->Width(), h);
    R.setBottom(std::max(R.bottom() - (h + H), R.top() - 1));
  }

  const bool S = leftSlider_ || rightSlider_;
  const bool V = (leftLevel_ || rightLevel_) && (IsDesigning() || peak_->IsAvailable());
  for (TMMCustomBlockLevel* l : {leftLevel_, rightLevel_})
    if (l) {
      l->SetKind(lkVertical);
      l->SetVisible(V);
    }
  auto pair = [&](TControl* A, TControl* B, const QRect& Q) {
    if (!autoArrange_) return;
    const int half = Q.width() / 2;
    if (A && placed(A)) {
      if (autoSize_) {
        A->SetBounds(Q.left(), Q.top(), B ? half - G / 2 : Q.width(), Q.height());
      } else {
        const int span = B ? half - G / 2 : Q.width();
        A->SetBounds(Q.left() + (span - A->Width()) / 2, Q.top() + (Q.height() - A->Height()) / 2, A->Width(), A->Height());
      }
    }
    if (B && placed(B)) {
      const int start = A ? Q.left() + half + G / 2 : Q.left();
      if (autoSize_) {
        B->SetBounds(start, Q.top(), Q.right() + 1 - start, Q.height());
      } else {
        const int span = A ? half - G / 2 : Q.width();
        B->SetBounds(start + (span - B->Width()) / 2, Q.top() + (Q.height() - B->Height()) / 2, B->Width(), B->Height());
      }
    }
  };
  const int sliderWidth = (R.width() / 4) * 3;
  if (S && V) {
    pair(leftSlider_, rightSlider_, QRect(R.left(), R.top(), sliderWidth, R.height()));
    pair(leftLevel_, rightLevel_, QRect(R.left() + sliderWidth, R.top(), R.width() - sliderWidth, R.height()));
  } else if (S) {
    pair(leftSlider_, rightSlider_, R);
  } else if (V) {
    pair(leftLevel_, rightLevel_, R);
  }

  if (autoArrange_) {
    int order = 0;
    for (TWinControl* c : std::initializer_list<TWinControl*>{panSlider_, leftSlider_, rightSlider_, muteCheck_}) {
      if (c) {
        c->SetTabOrder(order);
        c->SetTabStop(true);
      }
      ++order;
    }
  }
}

void TMMCustomMixerBlock::Loaded()
{
  TMMCustomPanel::Loaded();
  // The owned controls follow the block's designing state (no ticks, no devices).
  if (IsDesigning())
    for (TComponent* c : {static_cast<TComponent*>(pan_), static_cast<TComponent*>(volume_), static_cast<TComponent*>(mute_),
                          static_cast<TComponent*>(connector_), static_cast<TComponent*>(peak_)})
      c->SetDesigning(true);
  Rebuild();
}

void TMMCustomMixerBlock::Notification(TComponent* AComponent, TOperation Operation)
{
  TMMCustomPanel::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove || !AComponent) return;
  if (AComponent == line_) {
    line_->RemoveObserver(&lineWatcher_);
    SetLine(nullptr);
  }
  if (AComponent == mixer_) {
    mixer_->RemoveObserver(&mixerWatcher_);
    mixer_ = nullptr;
    Rebuild();
  }
  const std::initializer_list<const QObject*> children = {panSlider_, leftSlider_, rightSlider_, muteCheck_, leftLevel_,
                                                       rightLevel_, titleLabel_, panLabel_, volumeLabel_};
  for (const QObject* s : children)
    if (s && s == AComponent) {
      removedChild_ = qobject_cast<TControl*>(AComponent);
      Rebuild();
      removedChild_ = nullptr;
      break;
    }
}

// ---------------------------------------------------------------- children

void TMMBlockChild::Tell(TControl* self, int code)
{
  if (TMMCustomMixerBlock* block = FindMixerBlock(self)) block->SendMessage(MM_BLOCKCHILD, code, PointerParam(self));
}

void TMMBlockChild::MoveTo(TControl* self, TWinControl* parent, bool roleSet,
                           const std::function<void(TWinControl*)>& setParent)
{
  if (parent == self->Parent()) return;
  if (parent && !qobject_cast<TMMCustomMixerBlock*>(parent)) {
    bool inside = false;
    for (TWinControl* p = parent->Parent(); p && !inside; p = p->Parent()) inside = qobject_cast<TMMCustomMixerBlock*>(p);
    if (!inside) throw EMMBlockError(QString::fromLatin1(kOnlyInBlock));
  }
  Tell(self, bcLeaving);
  setParent(parent);
  Tell(self, roleSet ? bcJoined : bcJoinedWithoutRole);
}

TMMCustomBlockSlider::TMMCustomBlockSlider(TComponent* AOwner) : TMMBlockSliderChild(AOwner) { ApplyStyle(); }

void TMMCustomBlockSlider::ApplyStyle()
{
  // While a description is read, properties it stored may come before the
  // role: the role then sets only what still holds the balance look the
  // slider was made with, and the look both roles share is left alone.
  const bool reading = IsLoading();
  if (!reading) {
    Bevel()->SetBevelOuter(bvNone);
    Scale()->SetVisible(true);
    Scale()->SetConnect(false);
    Scale()->SetOrigin(soInner);
    Scale()->SetSize(6);
    SetGrooveSize(1);
  }
  TBitmap left, right;
  left.SetImage(SpeakerPicture(false));
  right.SetImage(SpeakerPicture(true));
  const bool pan = Role() == srPan;
  if (!reading || PicLeft()->Image() == left.Image()) SetPicLeft(pan ? &left : nullptr);
  if (!reading || PicRight()->Image() == right.Image()) SetPicRight(pan ? &right : nullptr);
  if (!reading || Scale()->TickCount() == 3) Scale()->SetTickCount(pan ? 3 : 7);
  if (!reading || Scale()->EnlargeEvery() == 2) Scale()->SetEnlargeEvery(pan ? 2 : 6);
  if (!reading || ScalePosition() == spBelowOrRight) SetScalePosition(pan ? spBelowOrRight : spBoth);
  if (!reading || !Logarithmic()) SetLogarithmic(!pan);
}

TMMCustomBlockLevel::TMMCustomBlockLevel(TComponent* AOwner) : TMMBlockLevelChild(AOwner) { ApplyStyle(); }

void TMMCustomBlockLevel::ApplyStyle()
{
  // Both roles look alike: a description being read keeps what it stored.
  if (IsLoading()) return;
  Bevel()->SetBorderWidth(1);
  SetColor(clBtnFace);
  SetSpotWidth(6);
  SetBar1Color(clGreen);
  SetBar2Color(clLime);
  SetBar3Color(clYellow);
  SetInactive1Color(clBtnFace);
  SetInactive2Color(clBtnFace);
  SetInactive3Color(clBtnFace);
  SetPoint1(45);
  SetPoint2(60);
  SetLogAmp(false);
  SetNumPeaks(0);
}

void TMMCustomBlockCheck::SetParent(TWinControl* AParent)
{
  MoveTo(this, AParent, true, [this](TWinControl* p) { TMMCustomMixerCheckBox::SetParent(p); });
}

// ---------------------------------------------------------------- registration

namespace {
// The mixer controls' own cursors, 2001 to 2031. Only the hand over a
// slider's thumb (2005) has a known use; the others get the arrow until the
// program has pictures for them.
void RegisterMixerCursors()
{
  for (int id = mm::FirstCursor; id <= mm::LastCursor; ++id)
    Screen->SetCursors(id, QCursor(id == mm::HandCursor ? Qt::PointingHandCursor : Qt::ArrowCursor));
}
} // namespace

void RegisterMixerUiClasses()
{
  RegisterMixerClasses();
  RegisterMixerCursors();
  TEventTypes::Register<TMMThumbDrawEvent>();
  TEventTypes::Register<TMMGrooveDrawEvent>();
  TComponentClasses::Register<TMMLevel>();
  TComponentClasses::Register<TMMMeter>();
  TComponentClasses::Register<TMMMixerConnector>();
  TComponentClasses::Register<TMMPcmPeakTap>();
  TComponentClasses::Register<TMMPcmConnector>();
  TComponentClasses::Register<TMMMixerBlock>();
  TComponentClasses::Register<TMMMixerBlockSlider>();
  TComponentClasses::Register<TMMMixerBlockLevel>();
  TComponentClasses::Register<TMMMixerBlockCheck>();
  TComponentClasses::Register<TMMMixerBlockLabel>();
}
