// Window regions from mask pictures: the black pixels (blue + green + red = 0)
// of a mask are the visible part of a window.
#pragma once

#include "skin/skin_draw.h"

#include <QImage>
#include <QRegion>
#include <optional>
#include <vector>

// The black pixels of `mask` as one-pixel-high row runs, moved by the offset.
// No region (nullopt) for an empty mask; a mask without black pixels gives an
// empty region. The run list grows as needed: every run of any mask counts.
std::optional<QRegion> RegionFromMask(const QImage& mask, int xOffset, int yOffset);
// Each row's black runs [start, end) of a mask, top row first (for tools and tests).
std::vector<QRect> MaskRuns(const QImage& mask, int xOffset, int yOffset);

// The window region of a frame mask: the four mask bands (BuildMaskBands) at
// their places in the W × H window, joined with the mask-free rectangle (the
// target client rectangle). No region when that rectangle is empty, when the
// target right-top point lies left of the left-top point or the left-bottom
// point above it, or when the mask is empty.
std::optional<QRegion> RegionFromMaskBands(const TbsFramePoints& source, const TbsFramePoints& target, int width,
                                           int height, const QRect& pictureRect, const QImage& mask);
