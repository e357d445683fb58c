// Image builders: bitmaps of any size cut from a skin rectangle, with fixed
// corners and repeated (or stretched) middles, and the four border bands of a
// skinned window frame.
//
// Rectangles are QRects made from left, top, right, bottom with right and
// bottom exclusive (see SkinRect). Pictures are read in any QImage format;
// outputs are the toolkit's 24-bit bitmaps, created or resized first. A copy
// between pieces of different sizes scales by nearest neighbour (pixel
// centres); tiling restarts the source piece at its own left or top edge and
// cuts the last tile at the far end. Parts of a source rectangle that lie
// outside the picture read as black; parts of a target outside the output are
// dropped. Nothing is cached between calls.
#pragma once

#include "toolkit/graphics.h"

#include <QImage>
#include <QPoint>
#include <QRect>

// The four frame points and the client rectangle of a nine-part picture.
// LT.x ends the top edge's left corner piece and RT.x starts its right one;
// LT.y and RT.y start the middle pieces of the left and right edges, LB.y and
// RB.y end them; LB.x and RB.x cut the bottom edge like LT.x and RT.x the top.
struct TbsFramePoints {
  QPoint LT, RT, LB, RB;
  QRect ClientRect;
};

// The usual target of a source geometry grown by dx, dy: LT stays, RT moves
// right by dx, LB down by dy, RB by both, the client rectangle's right and
// bottom edges by dx and dy.
TbsFramePoints MoveFramePoints(const TbsFramePoints& source, int dx, int dy);

struct TbsStretchFlags {
  bool Left = false, Top = false, Right = false, Bottom = false;
};

// The nine-part routine. `source` is relative to `skinRect` in `picture`,
// `target` to the W × H output. The edge strips between the frame points are
// tiled, the eight fixed pieces copied; with `fillClient` the source client
// area is tiled over the target client area. A picture that is empty, or
// RB.x = LT.x or RB.y = LT.y, leaves the output blank.
void BuildSkinImage(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                    const QRect& skinRect, const QImage& picture, bool fillClient, TBitmap& out);
// The same image, with each edge strip tiled on from its first corner to the
// far edge of the output before the corners are drawn over it.
void BuildSkinImageToEdge(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                          const QRect& skinRect, const QImage& picture, bool fillClient, TBitmap& out);
// BuildSkinImage with the middle piece of each flagged side stretched instead of tiled.
void BuildWindowImage(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                      const QRect& skinRect, const QImage& picture, bool fillClient, TbsStretchFlags stretch,
                      TBitmap& out);

// The four border bands of a W × H skinned window: top W × target client
// top, bottom W × (H - target client bottom), left and right between them.
// `source` is relative to `pictureRect` (usually the whole picture). A band
// whose condition fails is not built and keeps its size and content.
void BuildFrameBands(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                     const QRect& pictureRect, const QImage& picture, TbsStretchFlags stretch, TBitmap& left,
                     TBitmap& top, TBitmap& right, TBitmap& bottom);
// The bands of a mask: the frame band rule without stretching, the mask-free
// rectangle (maskrectarea) in place of the client rectangles.
void BuildMaskBands(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                    const QRect& pictureRect, const QImage& mask, TBitmap& left, TBitmap& top, TBitmap& right,
                    TBitmap& bottom);

// Three-part strips of `source` in `picture`, `source` high (or wide): the
// left a and right v columns copied to the ends, the middle tiled between.
void BuildHorzStrip3(int a, int v, const QRect& source, const QImage& picture, int width, TBitmap& out);
// Left part at 0, the middle (without the a and v columns) tiled from a to the width.
void BuildHorzStripLeft(int a, int v, const QRect& source, const QImage& picture, int width, TBitmap& out);
// Only the middle, tiled from 0 to the width.
void BuildHorzTiled(int a, int v, const QRect& source, const QImage& picture, int width, TBitmap& out);
// Top a and bottom v rows copied, the middle rows tiled between.
void BuildVertStrip3(int a, int v, const QRect& source, const QImage& picture, int height, TBitmap& out);
