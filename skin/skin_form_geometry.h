// Geometry of a skinned window frame: the [FORMINFO] values of a skin mapped
// to a window of any size, the frame margins, the size limits, where skin
// objects land when the window grows, and the hit-test answers. Plain
// functions over values, so that the rules can be checked without a window.
#pragma once

#include "skin/skin_definitions.h"
#include "skin/skin_draw.h"

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <vector>

// The hit-test answer of a caption object that is not the caption text.
constexpr int HTOBJECT = 19;

// Default frame (no skin): borders and caption heights.
constexpr int kDefaultBorder = 3;
constexpr int kDefaultCaptionHeight = 19;
constexpr int kDefaultToolCaptionHeight = 15;
constexpr int kDefaultButtonSize = 17;
constexpr int kDefaultToolButtonSize = 13;
constexpr int kDefaultMinWidth = 120;

// The frame in window coordinates. Empty rectangles of the skin stay empty.
struct TbsFrameGeometry {
  QSize Window;            // W, H
  QSize Picture;           // pw, ph of the frame picture
  TbsFramePoints Source;   // frame points and client rectangle in the picture
  TbsFramePoints Target;   // the same in the window
  QRect CaptionRect;
  QRect ButtonsRect;
  QRect MaskRectArea;      // the mask-free area
  QPoint HitLT, HitRT, HitLB, HitRB;
  int BorderWidth = 0;
  int Dx() const { return Window.width() - Picture.width(); }
  int Dy() const { return Window.height() - Picture.height(); }
};

TbsFrameGeometry MapFrameGeometry(const TbsDataSkinFormInfo& info, QSize picture, QSize window);

// Frame widths around the client area: clientrect's distances to the
// picture's edges, none negative.
QMargins SkinFrameMargins(const TbsDataSkinFormInfo& info, QSize picture);
// The default frame: 3 pixels each side and the caption on top.
QMargins DefaultFrameMargins(bool toolWindow);

// Where a skin rectangle of the frame picture lands in a window dx, dy
// larger than the picture: by the corner regions it touches it stays, moves
// or stretches.
QRect PlaceSkinRect(const QRect& skinRect, const TbsDataSkinFormInfo& info, QSize picture, int dx, int dy);

// Size limits of a skinned window.
struct TbsSizeLimitsInput {
  bool SkinInUse = false;
  QSize Picture;
  QRect ClientRect;     // [FORMINFO] clientrect (skin in use)
  int CaptionHeight = kDefaultCaptionHeight;  // default frame
  int MinWidth = 0, MinHeight = 0;            // the form's own limits
  bool Minimized = false, RolledUp = false;
};
QSize MinimumFrameSize(const TbsSizeLimitsInput& in);

// The hit-test of a skinned frame at a point in window coordinates.
struct TbsHitTestInput {
  const TbsFrameGeometry* Geometry = nullptr;
  QRect CaptionObject;            // the caption object's rectangle (empty: none)
  bool RolledUpOrMinimized = false;
  bool Maximized = false;
  bool Sizeable = false;
  bool ObjectHovered = false;
  bool InMoveSize = false;
  // With a mask: whether a window point is transparent in the mask bands
  // (outside every band counts as transparent). Unset: no mask.
  std::function<bool(QPoint)> MaskTransparent;
};
int SkinHitTest(const TbsHitTestInput& in, QPoint p);

// The hit-test of the default frame: edges of a sizeable window, the caption
// strip, the buttons (`overButton`), the client area.
int DefaultHitTest(QSize window, const QMargins& margins, bool sizeable, bool overButton, QPoint p);

// Whether a point lies in a rectangle (right and bottom exclusive).
inline bool PointIn(const QRect& r, QPoint p)
{
  return p.x() >= r.x() && p.y() >= r.y() && p.x() < r.x() + r.width() && p.y() < r.y() + r.height();
}

// Snapping of a window being dragged: the proposed top-left corner of a
// window of `size` moves onto each edge of `area` it lies strictly within
// `distance` of, in the order left, top, right, bottom (a later rule wins).
QPoint SnapToEdges(QPoint proposed, QSize size, const QRect& area, int distance);

// Where a window minimized to `slot` size goes in `area`: the first slot,
// from the bottom-left corner rightwards and then one row up, whose top-left
// corner is not in `taken`; the bottom-left slot when the rows run out. Only
// as many slots are tried as can be taken, plus one.
QPoint MinimizedSlot(const QRect& area, QSize slot, const std::vector<QPoint>& taken);
