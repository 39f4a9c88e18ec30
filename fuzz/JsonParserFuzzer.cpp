// Feeds arbitrary bytes to the JSON text parser, strict and lenient. A text
// that parses must write, the written text must parse again strictly, and
// writing and reading from there on changes nothing.
#include "FuzzSupport.h"
#include "core/CharSet.h"
#include "core/VCompareOptions.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VTaskMgr.h"

namespace {

using zeft::VJSONValue;
using zeft::VString;
using zeft::fuzz::Require;

bool ParseStrict(const VString& text, zeft::uint32 options, VJSONValue& value) {
  return zeft::VJSONImporter::ParseString(text, value, options | 0x2) == zeft::VE_OK;
}

void Check(const VString& text, zeft::uint32 parseOptions) {
  // Dates are written with their marks, so that they read back as dates.
  const zeft::uint32 writeOptions = (parseOptions & 0xC0) != 0 ? 0x1001 : 0x1;
  zeft::VCompareOptions exact;
  exact.SetDiacritical(true);
  VJSONValue value;
  if (zeft::VJSONImporter::ParseString(text, value, parseOptions) != zeft::VE_OK) return;
  VString written;
  if (value.Stringify(written, writeOptions) != zeft::VE_OK) return;  // a value holding itself
  VJSONValue again;
  Require(ParseStrict(written, parseOptions, again));
  // The first reading may turn a marked text into a date, numbers are
  // written with 14 significant digits and infinities as null: only from
  // the second reading on must nothing change.
  // From there on, writing and reading again changes nothing.
  VString rewritten;
  Require(again.Stringify(rewritten, writeOptions) == zeft::VE_OK);
  VJSONValue third;
  Require(ParseStrict(rewritten, parseOptions, third));
  Require(again.DeepEqualTo(third, exact));
  VString last;
  Require(third.Stringify(last, writeOptions) == zeft::VE_OK && last.EqualToStringRaw(rewritten));
}

// Reading the bytes in place gives what reading their decoded text gives.
void CheckInPlace(const uint8_t* data, size_t size, const VString& text, zeft::uint32 options) {
  VJSONValue fromText, inPlace;
  const zeft::VError textError = zeft::VJSONImporter::ParseString(text, fromText, options);
  Require(zeft::VJSONImporter::ParseUTF8(data, size, inPlace, options) == textError);
  VString a, b;
  Require(fromText.Stringify(a, 0x1) == inPlace.Stringify(b, 0x1) && a.EqualToStringRaw(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The stack check of deep input reads the current task's stack.
  static const bool sReady = zeft::VTaskMgr::IsInited() || zeft::VTaskMgr::Init(nullptr);
  Require(sReady);
  zeft::StErrorContextInstaller errors(false, true);
  VString text;
  text.FromBlock(data, size, zeft::kCharSetUTF8);
  Check(text, 0);
  Check(text, 0x2);
  Check(text, 0xC0);
  CheckInPlace(data, size, text, 0);
  CheckInPlace(data, size, text, 0x2);
  return 0;
}
