#include "mixer_ui/mm_level.h"

#include "mixer/mm_utils.h"
#include "mixer_ui/mm_rounding.h"
#include "toolkit/controls.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <mutex>

using mmui::RoundEven;

// ---------------------------------------------------------------- tick timer

struct TMMTimerClient {
  int Interval = MMTickTimer::Period;
  int PauseCount = 0;
  int Elapsed = 0;
  std::function<void()> Proc;
  bool Removed = false;
};

namespace {
struct TickState {
  std::recursive_mutex Lock;
  std::vector<TMMTimerClient*> Clients;
  QTimer* Timer = nullptr;
  int Reentry = 0;
};
TickState& State()
{
  static TickState state;
  return state;
}

// The QTimer runs only while some client is due ticks: a program whose
// levels and connectors all rest wakes nobody 40 times a second.
void UpdateRunning(TickState& t)
{
  if (!t.Timer) return;
  bool due = false;
  for (TMMTimerClient* c : t.Clients) due |= !c->Removed && c->PauseCount == 0;
  if (due && !t.Timer->isActive()) t.Timer->start(MMTickTimer::Period);
  else if (!due && t.Timer->isActive()) t.Timer->stop();
}

void DropRemoved(TickState& t)
{
  for (auto it = t.Clients.begin(); it != t.Clients.end();) {
    if ((*it)->Removed) {
      delete *it;
      it = t.Clients.erase(it);
    } else {
      ++it;
    }
  }
  if (t.Clients.empty() && t.Timer) {
    t.Timer->deleteLater();
    t.Timer = nullptr;
  }
}
} // namespace

TMMTimerClient* MMTickTimer::AddTimerClient(int interval, bool paused, std::function<void()> proc)
{
  TickState& t = State();
  std::lock_guard guard(t.Lock);
  if (!t.Timer) {
    // The timer lives on the UI thread; without an application there is none.
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread()) return nullptr;
    t.Timer = new QTimer;
    t.Timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(t.Timer, &QTimer::timeout, [] { MMTickTimer::Tick(); });
  }
  auto* client = new TMMTimerClient;
  client->Interval = std::max(interval, Period);
  client->PauseCount = paused ? 1 : 0;
  client->Proc = std::move(proc);
  t.Clients.push_back(client);
  UpdateRunning(t);
  return client;
}

void MMTickTimer::SetClientInterval(TMMTimerClient* client, int ms)
{
  if (!client) return;
  std::lock_guard guard(State().Lock);
  client->Interval = std::max(ms, Period);
  client->Elapsed = 0;
}

void MMTickTimer::PauseClient(TMMTimerClient* client)
{
  if (!client) return;
  std::lock_guard guard(State().Lock);
  ++client->PauseCount;
  client->Elapsed = 0;
  UpdateRunning(State());
}

void MMTickTimer::ResumeClient(TMMTimerClient* client)
{
  if (!client) return;
  std::lock_guard guard(State().Lock);
  if (client->PauseCount > 0) --client->PauseCount;
  UpdateRunning(State());
}

bool MMTickTimer::Paused(const TMMTimerClient* client) { return client && client->PauseCount > 0; }

void MMTickTimer::RemoveClient(TMMTimerClient*& client)
{
  if (!client) return;
  TickState& t = State();
  std::lock_guard guard(t.Lock);
  // A client removed from inside a tick is only marked: the loop still walks the list.
  client->Removed = true;
  client->Proc = nullptr;
  client = nullptr;
  if (t.Reentry == 0) DropRemoved(t);
  UpdateRunning(t);
}

int MMTickTimer::ClientCount()
{
  TickState& t = State();
  std::lock_guard guard(t.Lock);
  int n = 0;
  for (TMMTimerClient* c : t.Clients) n += c->Removed ? 0 : 1;
  return n;
}

bool MMTickTimer::Running() { return State().Timer && State().Timer->isActive(); }

void MMTickTimer::Tick()
{
  TickState& t = State();
  std::lock_guard guard(t.Lock);
  // A tick that arrives while one runs (a message box inside a client) returns at once.
  if (++t.Reentry == 1) {
    for (size_t i = 0; i < t.Clients.size(); ++i) {
      TMMTimerClient* c = t.Clients[i];
      if (c->Removed || c->PauseCount > 0) continue;
      c->Elapsed += Period;
      if (c->Elapsed < c->Interval) continue;
      c->Elapsed = 0;
      if (c->Proc) Guarded(c->Proc);
    }
    DropRemoved(t);
  }
  --t.Reentry;
}

// ---------------------------------------------------------------- decay

void TMMDecayState::SetDecay(int D)
{
  float f = 0.0001f;
  for (int i = 0; i < D; ++i) f = std::sqrt(f);
  Factor = f;
  Count = mm::MinMax(2 * D - 2, 1, 32);
}

void TMMDecayState::Clear()
{
  Level = 0;
  Pos = 0;
  Filled = 0;
  Sum = 0;
  Items.fill(0);
}

qint32 TMMDecayState::Apply(TMMDecayMode mode, qint32 B)
{
  if (mode == dmNone) return B;
  Pos = Pos + 1 >= Count ? 0 : Pos + 1;
  Filled = std::min(Filled + 1, Count);
  switch (mode) {
  case dmStepUp:
    Level = Level * Factor;
    if (float(B) > Level) Level = float(B);
    else B = qint32(Level);
    break;
  case dmExponential:
    Level = Level * Factor + (1 - Factor) * float(B);
    B = qint32(std::floor(Level));
    break;
  case dmUniform:
    Sum += B - Items[size_t(Pos)];
    Items[size_t(Pos)] = B;
    B = qint32(Sum / Filled);
    break;
  default: break;
  }
  return B;
}

// ---------------------------------------------------------------- value input

void TMMValueInput::SetGain(int v)
{
  if (v < -8 || v > 32 || v == gain_) return;
  gain_ = v;
  ScaleChanged();
}

void TMMValueInput::SetLogAmp(bool v)
{
  if (v == logAmp_) return;
  logAmp_ = v;
  ScaleChanged();
}

void TMMValueInput::SetDecayMode(TMMDecayMode v)
{
  if (v == decayMode_) return;
  decayMode_ = v;
  decayState_.Clear();
}

void TMMValueInput::SetDecay(int v)
{
  v = std::clamp(v, 1, 16);
  if (v == decay_) return;
  decay_ = v;
  decayState_.SetDecay(v);
  if (decayMode_ == dmUniform) decayState_.Clear();
}

namespace {
// |A| without overflow for the most negative input.
qint32 Magnitude(qint32 A) { return A == INT_MIN ? INT_MAX : (A < 0 ? -A : A); }

// B amplified by (gain + 8) / 8, pinned to 32 bits.
qint64 Amplify(qint32 B, int gain) { return std::min<qint64>(qint64(B) * (gain + 8) / 8, INT_MAX); }
} // namespace

// ---------------------------------------------------------------- level

TMMCustomLevel::TMMCustomLevel(TComponent* AOwner)
    : TMMDIBGraphicControl(AOwner), TMMValueInput(-35), background_(new TMMDIBCanvas(this))
{
  background_->setParent(this);
  // Screens here are truecolour: an 8-bit palette of twenty static colours
  // would turn the system's face colour into its nearest neighbour.
  DIBCanvas()->SetBitsPerPixel(24);
  background_->SetBitsPerPixel(24);
  SetColor(clBlack);
  Font()->SetName(QStringLiteral("Small Fonts"));
  Font()->SetSize(7);
  SetBounds(Left(), Top(), 200, 17);
  timerClient_ = MMTickTimer::AddTimerClient(MMTickTimer::Period, false, [this] { PeakTick(); });
  UpdateTimerState();
}

TMMCustomLevel::~TMMCustomLevel() { MMTickTimer::RemoveClient(timerClient_); }

int TMMCustomLevel::LengthOfBar() const { return kind_ == lkHorizontal ? inner_.width() : inner_.height(); }

void TMMCustomLevel::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
  TMMDIBGraphicControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  const QRect r = InnerRect();
  inner_ = QRect(r.left(), r.top(), std::max(r.width(), 1), std::max(r.height(), 1));
  DIBCanvas()->SetSize(inner_.width(), inner_.height());
  background_->SetSize(inner_.width(), inner_.height());
  UpdateGeometry();
}

void TMMCustomLevel::BevelChanged()
{
  // The inner rectangle follows the bevel (SetBounds recomputes it).
  SetBounds(Left(), Top(), Width(), Height());
  Invalidate();
}

void TMMCustomLevel::Loaded()
{
  TMMDIBGraphicControl::Loaded();
  SetSpotWidth(spotWidth_);
  UpdateGeometry();
  UpdateTimerState();
}

void TMMCustomLevel::UpdateGeometry()
{
  const int L = LengthOfBar();
  spotWidth_ = std::max(spotWidth_, 1);
  numSpots_ = std::max((L + spotSpace_) / (spotWidth_ + spotSpace_), 1);
  margin_ = (spotSpace_ + L - numSpots_ * (spotWidth_ + spotSpace_)) / 2;
  point1Spot_ = point1_ * numSpots_ / 100;
  point2Spot_ = point2_ * numSpots_ / 100;
  DrawBackground();
  if (IsDesigning() && Enabled()) {
    // A sample reading so that every colour shows.
    if (point2Spot_ < numSpots_) displayed_ = point2Spot_ + (numSpots_ - point2Spot_) / 2;
    else if (point1Spot_ < numSpots_) displayed_ = point1Spot_ + (numSpots_ - point1Spot_) / 2;
    else displayed_ = numSpots_ - numSpots_ / 4;
  } else {
    peak_ = 0;
    displayed_ = 0;
  }
  Invalidate();
}

void TMMCustomLevel::SetKind(TMMLevelKind v)
{
  if (v == kind_) return;
  kind_ = v;
  const bool wide = Width() > Height(), high = Height() > Width();
  if (!IsLoading() && ((v == lkVertical && wide) || (v == lkHorizontal && high)))
    SetBounds(Left(), Top(), Height(), Width());
  else
    UpdateGeometry();
}

void TMMCustomLevel::SetDirection(TMMLevelDirection v)
{
  if (v == direction_) return;
  direction_ = v;
  DrawBackground();
  Invalidate();
}

void TMMCustomLevel::SetSpotWidth(int v)
{
  v = std::max(v, 1);
  if (!IsLoading()) v = std::min(v, std::max(LengthOfBar() / 3, 1));
  if (v == spotWidth_) return;
  spotWidth_ = v;
  UpdateGeometry();
}

void TMMCustomLevel::SetSpotSpace(int v)
{
  v = std::clamp(v, 0, 10);
  if (v == spotSpace_) return;
  spotSpace_ = v;
  UpdateGeometry();
}

void TMMCustomLevel::SetColorAt(int index, TColor v)
{
  if (colors_[size_t(index)] == v) return;
  colors_[size_t(index)] = v;
  DrawBackground();
  Invalidate();
}

void TMMCustomLevel::SetInactiveDoted(bool v)
{
  if (v == inactiveDoted_) return;
  inactiveDoted_ = v;
  DrawBackground();
  Invalidate();
}

void TMMCustomLevel::SetActiveDoted(bool v)
{
  if (v == activeDoted_) return;
  activeDoted_ = v;
  Invalidate();
}

void TMMCustomLevel::SetPoint1(int v)
{
  v = std::clamp(v, 1, 100);
  if (v == point1_) return;
  point1_ = v;
  UpdateGeometry();
}

void TMMCustomLevel::SetPoint2(int v)
{
  v = std::clamp(v, 1, 100);
  if (v == point2_) return;
  point2_ = v;
  UpdateGeometry();
}

void TMMCustomLevel::SetBitLength(TMMBits v)
{
  if (v == bitLength_) return;
  bitLength_ = v;
  Invalidate();
}

void TMMCustomLevel::SetChannel(TMMChannel v)
{
  if (v == channel_) return;
  channel_ = v;
  Invalidate();
}

void TMMCustomLevel::SetMode(TMMMode v)
{
  if (v == mode_) return;
  mode_ = v;
  Invalidate();
}

void TMMCustomLevel::SetNumPeaks(int v)
{
  v = std::clamp(v, 0, 5);
  if (v == numPeaks_) return;
  numPeaks_ = v;
  peakCounter_ = 0;
  UpdateTimerState();
}

void TMMCustomLevel::SetPeakDelay(int v)
{
  v = std::clamp(v, 0, 50);
  if (v == peakDelay_) return;
  peakDelay_ = v;
  peakCounter_ = 0;
}

void TMMCustomLevel::SetPeakSpeed(int v)
{
  v = std::clamp(v, 0, 50);
  if (v == peakSpeed_) return;
  peakSpeed_ = v;
  peakCounter_ = 0;
}

void TMMCustomLevel::SetEnabled(bool v)
{
  if (v == Enabled()) return;
  TMMDIBGraphicControl::SetEnabled(v);
  if (v) {
    UpdateGeometry();
  } else {
    peak_ = peakCounter_ = displayed_ = 0;
    lastValue_ = 0;
    decayState_.Clear();
    Invalidate();
  }
  UpdateTimerState();
}

void TMMCustomLevel::UpdateTimerState()
{
  // Runs exactly while a marker can show; one pause at most, so pauses never pile up.
  const bool run = Enabled() && numPeaks_ > 0;
  if (run && timerPaused_) {
    MMTickTimer::ResumeClient(timerClient_);
    timerPaused_ = false;
  } else if (!run && !timerPaused_) {
    MMTickTimer::PauseClient(timerClient_);
    timerPaused_ = true;
  }
}

void TMMCustomLevel::SetBitsPerPixel(int value)
{
  if (value != 8 && value != 24) throw EMMDIBError(QStringLiteral("Bitlength not supported yet"));
  DIBCanvas()->SetBitsPerPixel(value);
  background_->SetBitsPerPixel(value);
  DrawBackground();
  Invalidate();
}

void TMMCustomLevel::ColorChanged()
{
  DrawBackground();
  TMMDIBGraphicControl::ColorChanged();
}

int TMMCustomLevel::Value() const
{
  if (displayed_ == 0) return 0;
  if (!logAmp_) return RoundEven(double(displayed_) * 100 / numSpots_);
  // Gain -8 amplifies everything to nothing: no level to report.
  if (gain_ + 8 == 0) return 0;
  const double db = sensitivy_ - double(displayed_) * sensitivy_ / numSpots_;
  return RoundEven(std::pow(10.0, db / 20) * 8 / (gain_ + 8) * 100);
}

void TMMCustomLevel::SetValue(int v)
{
  FeedValue(RoundEven(double(mm::MinMax(v, 0, 100)) * MaxAmplitude / 100));
}

void TMMCustomLevel::FeedValue(qint32 amplitude)
{
  qint32 B = Magnitude(amplitude);
  lastValue_ = B;
  if (B == 0 && displayed_ == 0 && !redrawPending_) return;
  B = decayState_.Apply(decayMode_, B);
  const qint64 G = Amplify(B, gain_);
  int C;
  if (logAmp_) {
    const float db = float(20.0 * std::log10(std::max(0.000001, double(G) / MaxAmplitude)));
    C = std::max(RoundEven((double(db) - sensitivy_) * numSpots_ / -sensitivy_), 0);
  } else {
    const float T = float(MaxAmplitude / std::pow(10.0, -sensitivy_ / 20.0));
    C = std::max(RoundEven((double(G) - T) * numSpots_ / (MaxAmplitude - double(T))), 0);
  }
  if (direction_ == dirSymetric) C /= 2;
  if (C > numSpots_) {
    if (onGainOverflow_) onGainOverflow_(this);
    C = numSpots_;
  }
  if (C >= peak_ && C > 0 && numPeaks_ > 0) {
    peak_ = C;
    peakCounter_ = 2 * peakDelay_ + 1;
    redrawPending_ = true;
  }
  if (C == displayed_ && !redrawPending_) return;
  redrawPending_ = false;
  displayed_ = C;
  if (Enabled() && Visible()) PaintDirect();
}

void TMMCustomLevel::PeakTick()
{
  if (IsDesigning() || peak_ <= 0) return;
  --peakCounter_;
  // At or below zero: a setter may have cleared the counter meanwhile.
  if (peakCounter_ > 0) return;
  if (peakSpeed_ != 0) {
    --peak_;
    peakCounter_ = peakSpeed_;
  } else {
    peak_ = 0;
  }
  redrawPending_ = true;
}

QRect TMMCustomLevel::SpotRect(int k) const
{
  const int step = spotWidth_ + spotSpace_;
  const int W = inner_.width(), H = inner_.height();
  const int along = margin_ + (k - 1) * step;
  if (kind_ == lkHorizontal) {
    if (direction_ == dirNormal) return QRect(along, 0, spotWidth_, H);
    return QRect(W - along - spotWidth_, 0, spotWidth_, H);
  }
  if (direction_ == dirNormal) return QRect(0, H - along - spotWidth_, W, spotWidth_);
  return QRect(0, along, W, spotWidth_);
}

TColor TMMCustomLevel::SpotColor(int k, bool lit) const
{
  const int zone = k > point2Spot_ ? 2 : (k > point1Spot_ ? 1 : 0);
  return colors_[size_t(lit ? zone : zone + 3)];
}

void TMMCustomLevel::DrawBar(TMMDIBCanvas* canvas, int lit, int peak, bool active, bool dotted)
{
  auto spot = [&](int k, TColor color) {
    if (k < 1 || k > numSpots_) return;
    canvas->SetDrawColor(color);
    if (dotted) canvas->FillRectDotted(SpotRect(k));
    else canvas->FillRect(SpotRect(k));
  };
  if (!active) {
    for (int k = 1; k <= numSpots_; ++k) spot(k, SpotColor(k, false));
    return;
  }
  if (direction_ == dirSymetric) {
    const int n = std::clamp(lit, 1, numSpots_);
    for (int k = n - 2; k <= n + 2; ++k) spot(k, SpotColor(n, true));
  } else {
    for (int k = 1; k <= std::min(lit, numSpots_); ++k) spot(k, SpotColor(k, true));
  }
  if (numPeaks_ > 0 && lit < peak)
    for (int k = peak; k > peak - numPeaks_ && k >= 1; --k) spot(k, SpotColor(k, true));
}

void TMMCustomLevel::DrawBackground()
{
  background_->BeginDraw();
  try {
    background_->SetDrawColor(Color());
    background_->ClearAll();
    DrawBar(background_, 0, 0, false, inactiveDoted_);
  } catch (...) {
    background_->EndDraw();
    throw;
  }
  background_->EndDraw();
}

void TMMCustomLevel::DrawForeground()
{
  TMMDIBCanvas* fg = DIBCanvas();
  fg->BeginDraw();
  try {
    fg->CopyBackground(background_);
    if (Enabled()) DrawBar(fg, displayed_, peak_, true, activeDoted_);
  } catch (...) {
    fg->EndDraw();
    throw;
  }
  fg->EndDraw();
}

void TMMCustomLevel::Paint()
{
  TMMDIBGraphicControl::Paint();
  DrawForeground();
  ++paintCount_;
  DIBCanvas()->CopyTo(Canvas()->Painter(), inner_, 0, 0);
}

// ---------------------------------------------------------------- meter

TMMCustomMeter::TMMCustomMeter(TComponent* AOwner) : TMMGraphicControl(AOwner), TMMValueInput(-50)
{
  SetBounds(Left(), Top(), 170, 90);
  SetCaption(QStringLiteral("dB"));
  SetColor(clBlack);
  Font()->SetColor(clSilver);
  Font()->SetStyle(TFont::fsBold);
  timerClient_ = MMTickTimer::AddTimerClient(MMTickTimer::Period, false, [this] { PeakTick(); });
}

TMMCustomMeter::~TMMCustomMeter() { MMTickTimer::RemoveClient(timerClient_); }

void TMMCustomMeter::FeedValue(qint32 amplitude)
{
  qint32 B = Magnitude(amplitude);
  if (B == 0 && needle_ == 0) return;
  B = decayState_.Apply(decayMode_, B);
  const qint64 G = Amplify(B, gain_);
  int pos;
  if (logAmp_) {
    const float db = float(20.0 * std::log10(std::max(0.00001, double(G) / 32767)));
    pos = std::max(RoundEven((double(db) - sensitivy_) * 32767 / -sensitivy_), 0);
  } else {
    pos = int(std::min<qint64>(G, INT_MAX));
  }
  if (pos >= 32767) {
    if (onGainOverflow_) onGainOverflow_(this);
    pos = 32767;
  }
  if (pos >= peak_) {
    peak_ = pos;
    peakCounter_ = 41;
  }
  if (pos == needle_) return;
  needle_ = pos;
  Repaint();
}

void TMMCustomMeter::PeakTick()
{
  if (IsDesigning() || peak_ <= 0) return;
  if (--peakCounter_ > 0) return;
  peak_ = 0;
  Invalidate();
}

void TMMCustomMeter::Paint()
{
  TMMGraphicControl::Paint();
  TCanvas* c = Canvas();
  const QRect r = InnerRect();
  QPainter& p = c->Painter();
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // The needle swings over 90 degrees about the bottom centre.
  const QPointF pivot(r.center().x(), r.bottom());
  const double radius = std::min(r.width() / 2.0, double(r.height())) - 4;
  auto at = [&](int position, double length) {
    const double angle = (135.0 - 90.0 * position / 32767) * M_PI / 180;
    return QPointF(pivot.x() + std::cos(angle) * length, pivot.y() - std::sin(angle) * length);
  };
  p.setPen(QPen(ColorToQColor(clSilver), 1));
  for (int i = 0; i <= 10; ++i) p.drawLine(at(i * 32767 / 10, radius * 0.85), at(i * 32767 / 10, radius));
  if (peak_ > needle_) {
    p.setPen(QPen(ColorToQColor(clRed), 1));
    p.drawLine(at(peak_, radius * 0.85), at(peak_, radius));
  }
  p.setPen(QPen(ColorToQColor(clWhite), 2));
  p.drawLine(pivot, at(needle_, radius));
  p.restore();
  QRect text = r;
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(TBrush::bsClear);
  c->DrawText(Caption(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
