#include "mixer/mm_utils.h"

#include "toolkit/exceptions.h"

#include <cmath>
#include <cstdlib>

namespace mm {

double Floor(double X) { return std::floor(X); }
double Log10(double X) { return std::log10(X); }
double Power(double Base, double Exponent) { return std::pow(Base, Exponent); }

void* GlobalAllocMem(std::size_t Size)
{
  // calloc(0) may return null legitimately; hand out one byte instead.
  void* p = std::calloc(Size ? Size : 1, 1);
  if (!p) throw EOutOfResources(QStringLiteral("Out of memory"));
  return p;
}

void GlobalFreeMem(void*& P)
{
  if (!P) return;
  std::free(P);
  P = nullptr;
}

} // namespace mm
