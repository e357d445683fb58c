// Rounding of the mixer controls: to nearest, ties to even, with NaN and
// values beyond 32 bits pinned instead of undefined.
#pragma once

#include <climits>
#include <cmath>

namespace mmui {
inline int RoundEven(double v)
{
  if (std::isnan(v)) return 0;
  const double r = std::nearbyint(v);
  if (r >= double(INT_MAX)) return INT_MAX;
  if (r <= double(INT_MIN)) return INT_MIN;
  return int(r);
}
} // namespace mmui
