// Drawing of the built-in skin's pictures: one palette, crisp one-pixel
// edges, four looks (normal, hot, pressed, disabled) for everything that reacts.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

namespace skin_art {

enum class Look { Normal, Hot, Pressed, Disabled };
enum class Arrow { Left, Right, Up, Down };

// The palette (as RGB).
namespace colours {
inline const QColor Window{0xF4, 0xF6, 0xFA};
inline const QColor Panel{0xEC, 0xF0, 0xF6};
inline const QColor Field{0xFF, 0xFF, 0xFF};
inline const QColor Border{0xA7, 0xB4, 0xC8};
inline const QColor SoftBorder{0xC8, 0xD1, 0xDE};
inline const QColor DarkBorder{0x5E, 0x6C, 0x84};
inline const QColor Accent{0x2F, 0x6F, 0xDE};
inline const QColor AccentSoft{0xDC, 0xE8, 0xFB};
inline const QColor AccentPressed{0xC3, 0xD6, 0xF6};
inline const QColor Selected{0xC9, 0xDB, 0xF8};
inline const QColor Glyph{0x3C, 0x4A, 0x60};
inline const QColor Disabled{0xB4, 0xBD, 0xCA};
inline const QColor CloseHot{0xE0, 0x48, 0x3E};
} // namespace colours

// The Windows colour value (0x00BBGGRR) of a colour, as the definition stores it.
int WinColor(const QColor& c);

// A rounded, bordered face with a soft vertical gradient, in one of the looks.
void Face(QPainter& p, const QRect& r, Look look, int radius = 3);
// A flat fill with a one-pixel border.
void Box(QPainter& p, const QRect& r, const QColor& fill, const QColor& border);
// A white input field with a border (hot: accent border).
void FieldBox(QPainter& p, const QRect& r, bool hot = false);
// A chevron centred in r.
void Chevron(QPainter& p, const QRect& r, Arrow a, const QColor& c);
// A small square button with a chevron.
void ArrowButton(QPainter& p, const QRect& r, Arrow a, Look look);
// Check box and radio images (13 x 13).
void CheckImage(QPainter& p, const QRect& r, bool checked, Look look);
void RadioImage(QPainter& p, const QRect& r, bool checked, Look look);
// The vertical gradient of the window caption band at row y (0..29).
QColor CaptionRow(int y);

// Reduces a true-colour picture to exactly `colours` table entries (unused
// entries are black) by median cut; deterministic.
QImage Quantize(const QImage& image, int colours);

} // namespace skin_art
