// Components with one property of every streamable kind, for the toolkit tests.
#pragma once

#include "support/qt_printers.h"
#include "toolkit/component.h"

#include <QStringList>

class TSampleFont : public TPersistent {
  Q_OBJECT
  Q_PROPERTY(QString Name READ Name WRITE SetName)
  Q_PROPERTY(int Height READ Height WRITE SetHeight)
public:
  QString Name() const { return name_; }
  void SetName(const QString& v) { if (v != name_) { name_ = v; Changed(); } }
  int Height() const { return height_; }
  void SetHeight(int v) { if (v != height_) { height_ = v; Changed(); } }
private:
  QString name_ = QStringLiteral("MS Sans Serif");
  int height_ = -11;
};

class TSampleWidget : public TComponent {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:DeviceId", "TSampleDeviceId")
  Q_CLASSINFO("AlwaysStored:Data", "1")
  Q_PROPERTY(TSampleAlign Align READ Align WRITE SetAlign)
  Q_PROPERTY(TSampleIcons Icons READ Icons WRITE SetIcons)
  Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
  Q_PROPERTY(int Width READ Width WRITE SetWidth)
  Q_PROPERTY(int DeviceId READ DeviceId WRITE SetDeviceId)
  Q_PROPERTY(uint Color READ Color WRITE SetColor)
  Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QByteArray Data READ Data WRITE SetData)
  Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
  Q_PROPERTY(TSampleWidget* Buddy READ Buddy WRITE SetBuddy)
  Q_PROPERTY(TSampleFont* Font READ Font)
  Q_PROPERTY(TNotifyEvent OnClick READ OnClick WRITE SetOnClick)
  Q_PROPERTY(int Limited READ Limited WRITE SetLimited)

public:
  enum TSampleAlign { alNone, alTop, alBottom, alClient };
  Q_ENUM(TSampleAlign)
  enum TSampleIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
  Q_DECLARE_FLAGS(TSampleIcons, TSampleIcon)
  Q_FLAG(TSampleIcons)

  explicit TSampleWidget(TComponent* AOwner) : TComponent(AOwner) { font_.setParent(this); }
  ~TSampleWidget() override { SetBuddy(nullptr); }

  TSampleAlign Align() const { return align_; }
  void SetAlign(TSampleAlign v) { align_ = v; }
  TSampleIcons Icons() const { return icons_; }
  void SetIcons(TSampleIcons v) { icons_ = v; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  int Width() const { return width_; }
  void SetWidth(int v) { width_ = v; }
  int DeviceId() const { return deviceId_; }
  void SetDeviceId(int v) { deviceId_ = v; }
  uint Color() const { return color_; }
  void SetColor(uint v) { color_ = v; }
  double Ratio() const { return ratio_; }
  void SetRatio(double v) { ratio_ = v; }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& v) { caption_ = v; }
  QByteArray Data() const { return data_; }
  void SetData(const QByteArray& v) { data_ = v; }
  QStringList Lines() const { return lines_; }
  void SetLines(const QStringList& v) { lines_ = v; }
  TSampleWidget* Buddy() const { return buddy_; }
  void SetBuddy(TSampleWidget* v)
  {
    if (v == buddy_) return;
    if (buddy_) buddy_->RemoveFreeNotification(this);
    buddy_ = v;
    if (buddy_) buddy_->FreeNotification(this);
  }
  TSampleFont* Font() { return &font_; }
  TNotifyEvent OnClick() const { return onClick_; }
  void SetOnClick(const TNotifyEvent& e) { onClick_ = e; }
  int Limited() const { return limited_; }
  void SetLimited(int v)
  {
    if (v < 0) throw EConvertError(QStringLiteral("Limited must not be negative"));
    limited_ = v;
  }

  void Click() { onClick_(this); }

  // What the component saw: for the tests.
  QStringList log;
  bool loadingSeenInLoaded = false;
  TSampleWidget* buddyAtLoaded = nullptr;

  void Loaded() override
  {
    loadingSeenInLoaded = IsLoading();
    buddyAtLoaded = buddy_;
    TComponent::Loaded();
    log << QStringLiteral("Loaded");
  }
  void Notification(TComponent* c, TOperation op) override
  {
    if (op == TOperation::opRemove && c == buddy_) buddy_ = nullptr;
    log << QStringLiteral("%1 %2").arg(op == TOperation::opInsert ? "insert" : "remove", c->Name());
    TComponent::Notification(c, op);
  }
  void WndProc(TMessage& m) override
  {
    if (m.Msg == 1225) {
      log << QStringLiteral("message %1 %2").arg(m.WParam).arg(m.LParam);
      m.Result = 7;
      return;
    }
    TComponent::WndProc(m);
  }

  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* p) override { parent_ = p; }
  std::vector<TComponent*> GetChildren(TComponent* root) const override
  {
    std::vector<TComponent*> out;
    for (int i = 0; i < root->ComponentCount(); ++i)
      if (root->Components(i)->GetParentComponent() == this) out.push_back(root->Components(i));
    return out;
  }

private:
  TSampleAlign align_ = alNone;
  TSampleIcons icons_ = biSystemMenu;
  bool visible_ = true;
  int width_ = 0;
  int deviceId_ = -1;
  uint color_ = 0x00FF00FF;
  double ratio_ = 0.5;
  QString caption_;
  QByteArray data_;
  QStringList lines_;
  TSampleWidget* buddy_ = nullptr;
  TSampleFont font_;
  TNotifyEvent onClick_;
  int limited_ = 0;
  TComponent* parent_ = nullptr;
};
Q_DECLARE_OPERATORS_FOR_FLAGS(TSampleWidget::TSampleIcons)

// A form: the root of descriptions, with handlers the description binds.
class TSampleForm : public TSampleWidget {
  Q_OBJECT
public:
  explicit TSampleForm(TComponent* AOwner) : TSampleWidget(AOwner) {}
  Q_INVOKABLE void ButtonClick(QObject* Sender) { clicks << qobject_cast<TComponent*>(Sender)->Name(); }
  Q_INVOKABLE void WrongHandler(int) {}
  QStringList clicks;
};

// A component whose deferred work fails, like a device that cannot open.
class TFailingLoad : public TComponent {
  Q_OBJECT
public:
  explicit TFailingLoad(TComponent* AOwner) : TComponent(AOwner) { ++alive; }
  ~TFailingLoad() override { --alive; }
  void Loaded() override
  {
    TComponent::Loaded();
    if (!IsDesigning()) throw Exception(QStringLiteral("Device not valid"));
  }
  static inline int alive = 0;
};

void RegisterSampleClasses();
