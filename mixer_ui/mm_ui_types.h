// Enumerations of the mixer controls (sliders, scales, levels, the mixer
// block). They live in namespace mmui so that descriptions store them by key
// name; the values are also brought into the global scope (`orVertical`).
#pragma once

#include <QObject>

namespace mmui {
Q_NAMESPACE

enum TMMOrientation { orVertical, orHorizontal };
Q_ENUM_NS(TMMOrientation)
enum TMMScaleStyle { stColor, stLowered, stRaised };
Q_ENUM_NS(TMMScaleStyle)
enum TMMScaleOrigin { soInner, soOuter };
Q_ENUM_NS(TMMScaleOrigin)
enum TMMScalePos { spAboveOrLeft, spBelowOrRight, spBoth };
Q_ENUM_NS(TMMScalePos)
enum TMMThumbStyle { tsRect, tsOwnerDraw };
Q_ENUM_NS(TMMThumbStyle)
enum TMMFocusAction { faNone, faFocusThumb, faFocusRect, faFocusColor, faAll };
Q_ENUM_NS(TMMFocusAction)

enum TMMLevelKind { lkHorizontal, lkVertical };
Q_ENUM_NS(TMMLevelKind)
enum TMMLevelDirection { dirNormal, dirReversed, dirSymetric };
Q_ENUM_NS(TMMLevelDirection)

enum TMMBlockStyle { bsWin95 };
Q_ENUM_NS(TMMBlockStyle)
enum TMMBlockSliderStyle { ssWin95 };
Q_ENUM_NS(TMMBlockSliderStyle)
enum TMMBlockLevelStyle { lsWin95 };
Q_ENUM_NS(TMMBlockLevelStyle)
enum TMMBlockSliderRole { srPan, srLeftVolume, srRightVolume };
Q_ENUM_NS(TMMBlockSliderRole)
enum TMMBlockLevelRole { lrLeftLevel, lrRightLevel };
Q_ENUM_NS(TMMBlockLevelRole)
enum TMMBlockLabelRole { lrLineTitle, lrPanTitle, lrVolumeTitle };
Q_ENUM_NS(TMMBlockLabelRole)
enum TMMMuteKind { mkMute, mkSelect };
Q_ENUM_NS(TMMMuteKind)

} // namespace mmui

using mmui::TMMOrientation;
using enum mmui::TMMOrientation;
using mmui::TMMScaleStyle;
using enum mmui::TMMScaleStyle;
using mmui::TMMScaleOrigin;
using enum mmui::TMMScaleOrigin;
using mmui::TMMScalePos;
using enum mmui::TMMScalePos;
using mmui::TMMThumbStyle;
using enum mmui::TMMThumbStyle;
using mmui::TMMFocusAction;
using enum mmui::TMMFocusAction;
using mmui::TMMLevelKind;
using enum mmui::TMMLevelKind;
using mmui::TMMLevelDirection;
using enum mmui::TMMLevelDirection;
using mmui::TMMBlockStyle;
using enum mmui::TMMBlockStyle;
using mmui::TMMBlockSliderStyle;
using enum mmui::TMMBlockSliderStyle;
using mmui::TMMBlockLevelStyle;
using enum mmui::TMMBlockLevelStyle;
using mmui::TMMBlockSliderRole;
using enum mmui::TMMBlockSliderRole;
using mmui::TMMBlockLevelRole;
using enum mmui::TMMBlockLevelRole;
using mmui::TMMBlockLabelRole;
using enum mmui::TMMBlockLabelRole;
using mmui::TMMMuteKind;
using enum mmui::TMMMuteKind;
