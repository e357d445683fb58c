// Fuzzes the stored-skin loader: a zlib block (input starting with 0x78) or an
// inflated container must load or raise an Exception, never crash, leak or
// allocate without bound. A loaded skin's definitions must also write and
// read back unchanged.
#include "fuzz/fuzz_application.h"
#include "skin/skin_data.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  StartFuzzApplication("skin_fuzz");
  TbsSkinData::SetApplicationForms([] { return std::vector<TComponent*>{}; });  // no windows here
  return 0;
}

namespace {
template <typename List, typename Create>
void CheckRoundTrip(const List& list, Create create)
{
  for (const auto& d : list) {
    TMemIniFile first(QStringList{});
    d->WriteToIni(first);
    auto again = create(d->Kind, d->IDName);
    again->ReadFromIni(first);
    TMemIniFile second(QStringList{});
    again->WriteToIni(second);
    if (first.Lines() != second.Lines()) __builtin_trap();
  }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  TbsSkinData skin(nullptr);
  try {
    if (size > 0 && data[0] == 0x78) {
      TbsCompressedStoredSkin stored(nullptr);
      stored.SetCompressedData(bytes);
      skin.LoadFromStoredSkin(&stored);
    } else {
      skin.LoadFromContainer(bytes);
    }
  } catch (const Exception&) {
    if (!skin.IsEmptySkin()) __builtin_trap();  // a failed load leaves the skin empty
    return 0;
  }
  if (skin.IsEmptySkin()) return 0;
  try {
    CheckRoundTrip(skin.SkinObjects(), CreateSkinObject);
    CheckRoundTrip(skin.SkinControls(), CreateSkinControl);
  } catch (const Exception&) {
    __builtin_trap();  // what was written must read back
  }
  return 0;
}
