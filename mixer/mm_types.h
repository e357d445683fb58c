// Enumerations and sets of the mixer model. They live in namespace mm so that
// the meta-object system knows them by name (descriptions store them by key);
// the TMM ones are also brought into the global scope, as the rest of the
// program spells them (`ctDstWaveIn`, `chLeft`).
#pragma once

#include <QFlags>
#include <QObject>

#include "toolkit/exceptions.h"

namespace mm {
Q_NAMESPACE

enum TMMBits { b8Bit, b16Bit };
Q_ENUM_NS(TMMBits)

enum TMMMode { mMono, mStereo };
Q_ENUM_NS(TMMMode)

// In value access chBoth means all channels as one value, chLeft the first
// channel, chRight the second.
enum TMMChannel { chBoth, chLeft, chRight };
Q_ENUM_NS(TMMChannel)

enum TMMDecayMode { dmNone, dmStepUp, dmExponential, dmUniform };
Q_ENUM_NS(TMMDecayMode)

// Line component types; the platform value of each is in ComponentTypeToApi.
enum TMMComponentType {
  ctDstDigital, ctDstHeadPhones, ctDstLine, ctDstMonitor, ctDstSpeakers, ctDstTelephone, ctDstUndefined,
  ctDstVoiceIn, ctDstWaveIn,
  ctSrcAnalog, ctSrcAux, ctSrcCD, ctSrcDigital, ctSrcLine, ctSrcMicrophone, ctSrcPCSpeaker,
  ctSrcSynthesizer, ctSrcTelephone, ctSrcUndefined, ctSrcWaveOut
};
Q_ENUM_NS(TMMComponentType)

enum TMMLineFlag { cfActive = 0x1, cfDisconnected = 0x2, cfSource = 0x4 };
Q_DECLARE_FLAGS(TMMLineFlags, TMMLineFlag)
Q_FLAG_NS(TMMLineFlags)

enum TMMControlType {
  ctCustom, ctBass, ctEqualizer, ctFader, ctTreble, ctVolume, ctMixer, ctMultipleSelect, ctMux,
  ctSingleSelect, ctBooleanMeter, ctPeakMeter, ctSignerMeter, ctUnsignedMeter, ctDecibels, ctPercent,
  ctSigned, ctUnsigned, ctPan, ctQSoundPan, ctSlider, ctBoolean, ctButton, ctLoudness, ctMono, ctMute,
  ctOnOff, ctStereoEnh, ctMicroTime, ctMilliTime
};
Q_ENUM_NS(TMMControlType)

enum TMMControlClass { ccCustom, ccFader, ccList, ccMeter, ccNumber, ccSlider, ccSwitch, ccTime };
Q_ENUM_NS(TMMControlClass)

enum TMMControlFlag { cfDisabled = 0x1, cfMultiple = 0x2, cfUniform = 0x4 };
Q_DECLARE_FLAGS(TMMControlFlags, TMMControlFlag)
Q_FLAG_NS(TMMControlFlags)

// The bevel's own cut and border style. They stay inside mm until the visual
// toolkit offers the shared ones.
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
Q_ENUM_NS(TBevelCut)
enum TBorderStyle { bsNone, bsSingle };
Q_ENUM_NS(TBorderStyle)

// Colours as 0x00BBGGRR, system colours with the top byte 0xFF.
using TColor = qint32;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWindowFrame = qint32(0xFF000006);
constexpr TColor clBtnFace = qint32(0xFF00000F);
constexpr TColor clBtnShadow = qint32(0xFF000010);
constexpr TColor clBtnHighlight = qint32(0xFF000014);

// Named integer tables (TIntegerIdents) of the identifier types.
inline constexpr const char* DeviceIdTable = "TMMDeviceId";
inline constexpr const char* LineIdTable = "TMMLineId";
inline constexpr const char* ControlIdTable = "TMMControlId";
inline constexpr const char* ItemIndexTable = "TMMItemIndex";

} // namespace mm

Q_DECLARE_OPERATORS_FOR_FLAGS(mm::TMMLineFlags)
Q_DECLARE_OPERATORS_FOR_FLAGS(mm::TMMControlFlags)

using mm::TMMBits;
using mm::TMMChannel;
using mm::TMMComponentType;
using mm::TMMControlClass;
using mm::TMMControlFlag;
using mm::TMMControlFlags;
using mm::TMMControlType;
using mm::TMMDecayMode;
using mm::TMMLineFlag;
using mm::TMMLineFlags;
using mm::TMMMode;
using enum mm::TMMBits;
using enum mm::TMMMode;
using enum mm::TMMChannel;
using enum mm::TMMDecayMode;
using enum mm::TMMComponentType;
using enum mm::TMMLineFlag;
using enum mm::TMMControlType;
using enum mm::TMMControlClass;
using enum mm::TMMControlFlag;

// Identifier types: plain 32-bit numbers with named values.
using TMMDeviceId = qint32;
using TMMLineId = qint32;
using TMMControlId = qint32;
using TMMItemIndex = qint32;
constexpr TMMDeviceId MapperId = -1;
constexpr TMMDeviceId InvalidId = -2;
constexpr TMMLineId badLineId = -1;
constexpr TMMControlId badControlId = -1;
constexpr TMMItemIndex NoItem = -1;

// Registers the four identifier tables (safe to call more than once).
void RegisterMixerIdents();

// A platform value outside the mixer's tables.
VELMORA_EXCEPTION(EMMMixerServiceError, Exception);

namespace mm {
// Line component types and platform values (MIXERLINE_COMPONENTTYPE).
quint32 ComponentTypeToApi(TMMComponentType type);
// Raises EMMMixerServiceError "Undefined API component type" for values outside the table.
TMMComponentType ComponentTypeFromApi(quint32 value);
TMMLineFlags LineFlagsFromApi(quint32 flags);

// Control types (MIXERCONTROL_CONTROLTYPE); unknown values give ctCustom.
quint32 ControlTypeToApi(TMMControlType type);
TMMControlType ControlTypeFromApi(quint32 value);
// Raises EMMMixerServiceError "Undefined API control class" when the top
// four bits name no class.
TMMControlClass ControlClassOfApi(quint32 value);
inline TMMControlClass ControlClassOf(TMMControlType type) { return ControlClassOfApi(ControlTypeToApi(type)); }
TMMControlFlags ControlFlagsFromApi(quint32 flags);
} // namespace mm
