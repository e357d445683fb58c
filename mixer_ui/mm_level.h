// The LED-style level bar (TMMCustomLevel), the needle meter
// (TMMCustomMeter) and the shared 25 ms tick that moves their peak markers
// and drives the level connectors. The tick runs on the UI thread (a QTimer):
// every client is called there, so levels, meters and connectors never race
// with painting or with the mixer.
#pragma once

#include "mixer/mm_types.h"
#include "mixer_ui/mm_dib.h"
#include "mixer_ui/mm_ui_types.h"

#include <array>
#include <functional>

// ---------------------------------------------------------------- tick timer

struct TMMTimerClient;

namespace MMTickTimer {
constexpr int Period = 25;
// A client called every `interval` ms (at least 25); none when the timer
// cannot run (no event loop thread).
TMMTimerClient* AddTimerClient(int interval, bool paused, std::function<void()> proc);
void SetClientInterval(TMMTimerClient* client, int ms);
void PauseClient(TMMTimerClient* client);
void ResumeClient(TMMTimerClient* client);
void RemoveClient(TMMTimerClient*& client);
bool Paused(const TMMTimerClient* client);
int ClientCount();
// Whether the timer runs: some client is not paused.
bool Running();
// One period of the timer, as the QTimer runs it (tests and benchmarks).
void Tick();
} // namespace MMTickTimer

// ---------------------------------------------------------------- smoothing

// The decay of a value input: instant rise and slow fall (dmStepUp), an
// exponential average, or a moving average over the last values (dmUniform).
struct TMMDecayState {
  float Factor = 0.0001f;
  int Count = 1;  // window of dmUniform, 1 .. 32
  float Level = 0;
  int Pos = 0, Filled = 0;
  qint64 Sum = 0;
  std::array<qint32, 32> Items{};
  // Factor: 0.0001 with the square root taken D times; Count 2D - 2.
  void SetDecay(int D);
  void Clear();
  // One value through the mode; the smoothed value.
  qint32 Apply(TMMDecayMode mode, qint32 B);
};

// The value input's settings both the level and the meter offer: gain, the
// bottom of the scale, logarithmic or linear amplitude and the decay.
class TMMValueInput {
public:
  explicit TMMValueInput(int sensitivy) : sensitivy_(sensitivy) {}
  virtual ~TMMValueInput() = default;

  int Gain() const { return gain_; }
  // -8 .. 32; others are ignored.
  void SetGain(int v);
  int Sensitivy() const { return sensitivy_; }
  void SetSensitivy(int v) { sensitivy_ = std::clamp(v, -90, -9); }
  bool LogAmp() const { return logAmp_; }
  void SetLogAmp(bool v);
  TMMDecayMode DecayMode() const { return decayMode_; }
  void SetDecayMode(TMMDecayMode v);
  int Decay() const { return decay_; }
  // 1 .. 16.
  void SetDecay(int v);
  const TNotifyEvent& OnGainOverflow() const { return onGainOverflow_; }
  void SetOnGainOverflow(const TNotifyEvent& e) { onGainOverflow_ = e; }

protected:
  // A setting the picture depends on changed.
  virtual void ScaleChanged() = 0;

  int gain_ = 0;
  int sensitivy_;
  bool logAmp_ = true;
  TMMDecayMode decayMode_ = dmNone;
  int decay_ = 1;
  TMMDecayState decayState_;
  TNotifyEvent onGainOverflow_;
};

// ---------------------------------------------------------------- level

class TMMCustomLevel : public TMMDIBGraphicControl, public TMMValueInput {
  Q_OBJECT
  Q_CLASSINFO("IntegerIdents:Bar1Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Bar2Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Bar3Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Inactive1Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Inactive2Color", "TColor")
  Q_CLASSINFO("IntegerIdents:Inactive3Color", "TColor")
  Q_PROPERTY(mmui::TMMLevelKind Kind READ Kind WRITE SetKind)
  Q_PROPERTY(mmui::TMMLevelDirection Direction READ Direction WRITE SetDirection)
  Q_PROPERTY(int SpotWidth READ SpotWidth WRITE SetSpotWidth)
  Q_PROPERTY(int SpotSpace READ SpotSpace WRITE SetSpotSpace)
  Q_PROPERTY(int Bar1Color READ Bar1Color WRITE SetBar1Color)
  Q_PROPERTY(int Bar2Color READ Bar2Color WRITE SetBar2Color)
  Q_PROPERTY(int Bar3Color READ Bar3Color WRITE SetBar3Color)
  Q_PROPERTY(int Inactive1Color READ Inactive1Color WRITE SetInactive1Color)
  Q_PROPERTY(int Inactive2Color READ Inactive2Color WRITE SetInactive2Color)
  Q_PROPERTY(int Inactive3Color READ Inactive3Color WRITE SetInactive3Color)
  Q_PROPERTY(bool InactiveDoted READ InactiveDoted WRITE SetInactiveDoted)
  Q_PROPERTY(bool ActiveDoted READ ActiveDoted WRITE SetActiveDoted)
  Q_PROPERTY(int Point1 READ Point1 WRITE SetPoint1)
  Q_PROPERTY(int Point2 READ Point2 WRITE SetPoint2)
  Q_PROPERTY(mm::TMMBits BitLength READ BitLength WRITE SetBitLength)
  Q_PROPERTY(mm::TMMChannel Channel READ Channel WRITE SetChannel)
  Q_PROPERTY(mm::TMMMode Mode READ Mode WRITE SetMode)
  Q_PROPERTY(int Samples READ Samples WRITE SetSamples)
  Q_PROPERTY(int Gain READ Gain WRITE SetGain)
  Q_PROPERTY(int Sensitivy READ Sensitivy WRITE SetSensitivy)
  Q_PROPERTY(bool LogAmp READ LogAmp WRITE SetLogAmp)
  Q_PROPERTY(int NumPeaks READ NumPeaks WRITE SetNumPeaks)
  Q_PROPERTY(int PeakDelay READ PeakDelay WRITE SetPeakDelay)
  Q_PROPERTY(int PeakSpeed READ PeakSpeed WRITE SetPeakSpeed)
  Q_PROPERTY(mm::TMMDecayMode DecayMode READ DecayMode WRITE SetDecayMode)
  Q_PROPERTY(int Decay READ Decay WRITE SetDecay)
  Q_PROPERTY(int Value READ Value WRITE SetValue STORED false)
  Q_PROPERTY(TNotifyEvent OnGainOverflow READ OnGainOverflow WRITE SetOnGainOverflow)
  Q_PROPERTY(TNotifyEvent OnPcmOverflow READ OnPcmOverflow WRITE SetOnPcmOverflow)

public:
  static constexpr int MaxAmplitude = 32767;

  explicit TMMCustomLevel(TComponent* AOwner);
  ~TMMCustomLevel() override;

  TMMLevelKind Kind() const { return kind_; }
  void SetKind(TMMLevelKind v);
  TMMLevelDirection Direction() const { return direction_; }
  void SetDirection(TMMLevelDirection v);
  int SpotWidth() const { return spotWidth_; }
  // 1 .. a third of the bar's length.
  void SetSpotWidth(int v);
  int SpotSpace() const { return spotSpace_; }
  void SetSpotSpace(int v);
  TColor Bar1Color() const { return colors_[0]; }
  void SetBar1Color(TColor v) { SetColorAt(0, v); }
  TColor Bar2Color() const { return colors_[1]; }
  void SetBar2Color(TColor v) { SetColorAt(1, v); }
  TColor Bar3Color() const { return colors_[2]; }
  void SetBar3Color(TColor v) { SetColorAt(2, v); }
  TColor Inactive1Color() const { return colors_[3]; }
  void SetInactive1Color(TColor v) { SetColorAt(3, v); }
  TColor Inactive2Color() const { return colors_[4]; }
  void SetInactive2Color(TColor v) { SetColorAt(4, v); }
  TColor Inactive3Color() const { return colors_[5]; }
  void SetInactive3Color(TColor v) { SetColorAt(5, v); }
  bool InactiveDoted() const { return inactiveDoted_; }
  void SetInactiveDoted(bool v);
  bool ActiveDoted() const { return activeDoted_; }
  void SetActiveDoted(bool v);
  int Point1() const { return point1_; }
  void SetPoint1(int v);
  int Point2() const { return point2_; }
  void SetPoint2(int v);
  TMMBits BitLength() const { return bitLength_; }
  void SetBitLength(TMMBits v);
  TMMChannel Channel() const { return channel_; }
  void SetChannel(TMMChannel v);
  TMMMode Mode() const { return mode_; }
  void SetMode(TMMMode v);
  int Samples() const { return samples_; }
  void SetSamples(int v) { samples_ = std::max(v, 1); }
  int NumPeaks() const { return numPeaks_; }
  void SetNumPeaks(int v);
  int PeakDelay() const { return peakDelay_; }
  void SetPeakDelay(int v);
  int PeakSpeed() const { return peakSpeed_; }
  void SetPeakSpeed(int v);
  int Value() const;
  void SetValue(int v);
  void SetEnabled(bool v) override;
  void SetBitsPerPixel(int value) override;
  const TNotifyEvent& OnPcmOverflow() const { return onPcmOverflow_; }
  void SetOnPcmOverflow(const TNotifyEvent& e) { onPcmOverflow_ = e; }

  // The value input: one amplitude (full scale 32767).
  void FeedValue(qint32 amplitude);

  int NumSpots() const { return numSpots_; }
  int Margin() const { return margin_; }
  int Point1Spot() const { return point1Spot_; }
  int Point2Spot() const { return point2Spot_; }
  int Displayed() const { return displayed_; }
  int LastValue() const { return lastValue_; }
  int Peak() const { return peak_; }
  int PeakCounter() const { return peakCounter_; }
  float DecayFactor() const { return decayState_.Factor; }
  int DecayCount() const { return decayState_.Count; }
  QRect LevelRect() const { return inner_; }
  // Spot k (1-based) in the bar's own coordinates, and its lit colour.
  QRect SpotRect(int k) const;
  TColor SpotColor(int k, bool lit) const;
  TMMTimerClient* TimerClient() const { return timerClient_; }
  // How often the bar was painted (immediate paints included).
  int PaintCount() const { return paintCount_; }
  // The bar as last painted (the foreground bitmap).
  TMMDIBCanvas* Foreground() const { return DIBCanvas(); }

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  void Loaded() override;

protected:
  void Paint() override;
  void ColorChanged() override;
  void BevelChanged() override;
  // Draws the bar's picture into the foreground bitmap.
  void DrawForeground();

private:
  void ScaleChanged() override { Invalidate(); }
  void SetColorAt(int index, TColor v);
  void UpdateGeometry();
  void DrawBackground();
  void DrawBar(TMMDIBCanvas* canvas, int lit, int peak, bool active, bool dotted);
  void PeakTick();
  void UpdateTimerState();
  int LengthOfBar() const;

  TMMDIBCanvas* background_;
  TMMLevelKind kind_ = lkHorizontal;
  TMMLevelDirection direction_ = dirNormal;
  int spotWidth_ = 1;
  int spotSpace_ = 1;
  std::array<TColor, 6> colors_{clAqua, clAqua, clRed, clTeal, clTeal, clMaroon};
  bool inactiveDoted_ = false;
  bool activeDoted_ = false;
  int point1_ = 50;
  int point2_ = 85;
  TMMBits bitLength_ = b8Bit;
  TMMChannel channel_ = chBoth;
  TMMMode mode_ = mMono;
  int samples_ = 50;
  int numPeaks_ = 1;
  int peakDelay_ = 20;
  int peakSpeed_ = 0;
  TNotifyEvent onPcmOverflow_;

  int numSpots_ = 1, margin_ = 0, point1Spot_ = 0, point2Spot_ = 0;
  int displayed_ = 0;
  qint32 lastValue_ = 0;
  int peak_ = 0, peakCounter_ = 0;
  bool redrawPending_ = false;
  TMMTimerClient* timerClient_ = nullptr;
  bool timerPaused_ = false;
  QRect inner_{0, 0, 1, 1};
  int paintCount_ = 0;
};

class TMMLevel : public TMMCustomLevel {
  Q_OBJECT
public:
  explicit TMMLevel(TComponent* AOwner) : TMMCustomLevel(AOwner) {}
};

// ---------------------------------------------------------------- meter

// A needle meter with the level's value input; the needle position runs
// 0 .. 32767.
class TMMCustomMeter : public TMMGraphicControl, public TMMValueInput {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(int Gain READ Gain WRITE SetGain)
  Q_PROPERTY(int Sensitivy READ Sensitivy WRITE SetSensitivy)
  Q_PROPERTY(bool LogAmp READ LogAmp WRITE SetLogAmp)
  Q_PROPERTY(mm::TMMDecayMode DecayMode READ DecayMode WRITE SetDecayMode)
  Q_PROPERTY(int Decay READ Decay WRITE SetDecay)
  Q_PROPERTY(mm::TMMBits BitLength READ BitLength WRITE SetBitLength)
  Q_PROPERTY(TNotifyEvent OnGainOverflow READ OnGainOverflow WRITE SetOnGainOverflow)
public:
  explicit TMMCustomMeter(TComponent* AOwner);
  ~TMMCustomMeter() override;

  TMMBits BitLength() const { return bitLength_; }
  void SetBitLength(TMMBits v) { bitLength_ = v; }

  void FeedValue(qint32 amplitude);
  // Needle position, 0 .. 32767.
  int NeedlePosition() const { return needle_; }
  int PeakPosition() const { return peak_; }

protected:
  void Paint() override;

private:
  void ScaleChanged() override { Invalidate(); }
  void PeakTick();

  TMMBits bitLength_ = b8Bit;
  int needle_ = 0, peak_ = 0, peakCounter_ = 0;
  TMMTimerClient* timerClient_ = nullptr;
};

class TMMMeter : public TMMCustomMeter {
  Q_OBJECT
public:
  explicit TMMMeter(TComponent* AOwner) : TMMCustomMeter(AOwner) {}
};
