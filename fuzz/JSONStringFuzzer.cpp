// JSON string escaping both ways: any text escapes to JSON that unescapes
// to it, and appending its escaped text gives the same units; any JSON text that unescapes gives a
// text that escapes and unescapes to itself.
#include "FuzzSupport.h"

namespace {

using zeft::VString;
using zeft::fuzz::Require;

void RoundTrip(const VString& text) {
  VString json;
  Require(text.GetJSONString(json, 0) == zeft::VE_OK);
  // Appending escapes the same way, behind what the string holds.
  for (uint32_t options :
       {0u, uint32_t(VString::kJSONWithQuotes | VString::kJSONEscapeAmpAndApos)}) {
    VString expected;
    Require(text.GetJSONString(expected, options) == zeft::VE_OK);
    VString appended("ab");
    Require(appended.AppendJSONString(text.GetCPointer(), text.GetLength(), options) ==
            zeft::VE_OK);
    VString prefixed("ab");
    prefixed.AppendString(expected);
    Require(zeft::fuzz::SameUnits(appended, prefixed));
  }
  VString back;
  Require(back.FromJSONString(json, 0) == zeft::VE_OK);
  Require(zeft::fuzz::SameUnits(back, text));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zeft::fuzz::InputReader input(data, size);
  const VString units = input.Units();
  RoundTrip(units);
  VString unescaped;
  if (unescaped.FromJSONString(units, 0) == zeft::VE_OK) RoundTrip(unescaped);
  return 0;
}
