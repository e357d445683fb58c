#include "mixer/mm_types.h"

#include "toolkit/component.h"

#include <optional>

namespace mm {
namespace {
constexpr quint32 kComponentTypes[] = {
    0x0001, 0x0005, 0x0002, 0x0003, 0x0004, 0x0006, 0x0000, 0x0008, 0x0007,                  // destinations
    0x100A, 0x1009, 0x1005, 0x1001, 0x1002, 0x1003, 0x1007, 0x1004, 0x1006, 0x1000, 0x1008,  // sources
};
constexpr quint32 kControlTypes[] = {
    0x00000000, 0x50030002, 0x50030004, 0x50030000, 0x50030003, 0x50030001, 0x71010001, 0x71010000,
    0x70010001, 0x70010000, 0x10010000, 0x10020001, 0x10020000, 0x10030000, 0x30040000, 0x30050000,
    0x30020000, 0x30030000, 0x40020001, 0x40020002, 0x40020000, 0x20010000, 0x21010000, 0x20010004,
    0x20010003, 0x20010002, 0x20010001, 0x20010005, 0x60030000, 0x61030000,
};
// Top four bits of a control type, in the order of TMMControlClass.
constexpr quint32 kClassBits[] = {0x0, 0x5, 0x7, 0x1, 0x3, 0x4, 0x2, 0x6};

// The enumeration value whose API value in `table` is `value`, or nothing.
template <class Enum, size_t N>
std::optional<Enum> FromApiTable(const quint32 (&table)[N], quint32 value)
{
  for (size_t i = 0; i < N; ++i)
    if (table[i] == value) return static_cast<Enum>(i);
  return std::nullopt;
}
} // namespace

quint32 ComponentTypeToApi(TMMComponentType type) { return kComponentTypes[type]; }

TMMComponentType ComponentTypeFromApi(quint32 value)
{
  if (const auto type = FromApiTable<TMMComponentType>(kComponentTypes, value)) return *type;
  throw EMMMixerServiceError(QStringLiteral("Undefined API component type"));
}

TMMLineFlags LineFlagsFromApi(quint32 flags)
{
  TMMLineFlags result;
  if (flags & 0x00000001) result |= cfActive;
  if (flags & 0x00008000) result |= cfDisconnected;
  if (flags & 0x80000000) result |= cfSource;
  return result;
}

quint32 ControlTypeToApi(TMMControlType type) { return kControlTypes[type]; }

TMMControlType ControlTypeFromApi(quint32 value)
{
  return FromApiTable<TMMControlType>(kControlTypes, value).value_or(ctCustom);
}

TMMControlClass ControlClassOfApi(quint32 value)
{
  if (const auto c = FromApiTable<TMMControlClass>(kClassBits, value >> 28)) return *c;
  throw EMMMixerServiceError(QStringLiteral("Undefined API control class"));
}

TMMControlFlags ControlFlagsFromApi(quint32 flags)
{
  TMMControlFlags result;
  if (flags & 0x80000000) result |= cfDisabled;
  if (flags & 0x00000002) result |= cfMultiple;
  if (flags & 0x00000001) result |= cfUniform;
  return result;
}
} // namespace mm

void RegisterMixerIdents()
{
  TIntegerIdents::Register(QString::fromLatin1(mm::DeviceIdTable), {{"MapperId", MapperId}, {"InvalidId", InvalidId}});
  TIntegerIdents::Register(QString::fromLatin1(mm::LineIdTable), {{"badLineId", badLineId}});
  TIntegerIdents::Register(QString::fromLatin1(mm::ControlIdTable), {{"badControlId", badControlId}});
  TIntegerIdents::Register(QString::fromLatin1(mm::ItemIndexTable), {{"NoItem", NoItem}});
}
