// The program's icon (window, notification area) and the tool-bar images,
// drawn in code so they stay crisp and reproducible.
#pragma once

#include <QIcon>
#include <QImage>

QIcon AppIcon();
// The icon drawn at `size` x `size` pixels (the desktop's icon theme gets these).
QImage AppIconImage(int size);
// Tool-bar image `index` (16 x 16): 0 refresh, 1 (unused) home, 2 stay-on-top
// off, 3 stay-on-top on, 4 record.
QImage ToolbarImage(int index);
constexpr int kToolbarImageCount = 5;
