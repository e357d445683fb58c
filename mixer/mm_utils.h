// Small numeric and memory helpers shared by the mixer model and the mixer
// controls.
#pragma once

#include <QtGlobal>
#include <cstddef>

namespace mm {

inline qint32 Min(qint32 A, qint32 B) { return A < B ? A : B; }
inline qint32 Max(qint32 A, qint32 B) { return A > B ? A : B; }
// X clamped into Lo..Hi.
inline qint32 MinMax(qint32 X, qint32 Lo, qint32 Hi) { return X < Lo ? Lo : (X > Hi ? Hi : X); }
inline bool InRange(qint32 X, qint32 Lo, qint32 Hi) { return Lo <= X && X <= Hi; }
// X between A and B inclusive, whichever is smaller; 0 .. -1 accepts -1 and 0.
inline bool InMinMaxRange(qint32 X, qint32 A, qint32 B) { return A <= B ? InRange(X, A, B) : InRange(X, B, A); }
// A * B / C with a 64-bit product, truncated toward zero. C must not be 0.
inline qint32 MulDiv64(qint32 A, qint32 B, qint32 C)
{
  return static_cast<qint32>(static_cast<qint64>(A) * static_cast<qint64>(B) / static_cast<qint64>(C));
}

double Floor(double X);
double Log10(double X);
double Power(double Base, double Exponent);

// A zero-filled block; raises EOutOfResources when the heap refuses.
void* GlobalAllocMem(std::size_t Size);
// Frees a block that is not null and sets the pointer to null.
void GlobalFreeMem(void*& P);

} // namespace mm
