// What every fuzz target needs: the memory manager and fixed international
// settings brought up once, checks that abort (so libFuzzer keeps the
// input), and a reader that splits the input into the values it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/DialectCode.h"
#include "core/VCppMemMgr.h"
#include "core/VIntlMgr.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft::fuzz {

// Called once by libFuzzer before the first input.
inline void InitToolbox() {
  if (VObject::sCppMemMgr == nullptr) VObject::sCppMemMgr = new VCppMemMgr(kAllocatorSystem);
  if (VIntlMgr::GetProcessDefault() == nullptr) {
    VIntlMgr* intl = VIntlMgr::Create(kDialectEnglishUS, kDialectEnglishUS);
    VIntlMgr::SetProcessDefault(intl);
    if (intl != nullptr) intl->Release();
  }
}

inline void Require(bool condition) {
  if (!condition) std::abort();
}

inline bool SameUnits(const VString& a, const VString& b) {
  return a.GetLength() == b.GetLength() &&
         std::memcmp(a.GetCPointer(), b.GetCPointer(), size_t(a.GetLength()) * 2) == 0;
}

// Takes bytes off the front of the input.
class InputReader {
 public:
  InputReader(const uint8_t* data, size_t size) : fData(data), fSize(size) {}

  uint8_t Byte() {
    if (fSize == 0) return 0;
    --fSize;
    return *fData++;
  }
  // The bytes up to the next 0 byte (or the end), the 0 taken.
  std::string Piece() {
    const void* zero = std::memchr(fData, 0, fSize);
    const size_t length =
        zero != nullptr ? size_t(static_cast<const uint8_t*>(zero) - fData) : fSize;
    std::string piece(reinterpret_cast<const char*>(fData), length);
    const size_t taken = zero != nullptr ? length + 1 : length;
    fData += taken;
    fSize -= taken;
    return piece;
  }
  // UTF-16 units, two bytes each in machine order, up to the next unit 0
  // (taken) or the end.
  VString Units() {
    VString text;
    while (fSize >= 2) {
      UniChar unit;
      std::memcpy(&unit, fData, 2);
      fData += 2;
      fSize -= 2;
      if (unit == 0) break;
      text.AppendUniChar(unit);
    }
    return text;
  }
  const uint8_t* Rest() const { return fData; }
  size_t RestSize() const { return fSize; }

 private:
  const uint8_t* fData;
  size_t fSize;
};

}  // namespace zeft::fuzz

// Each target includes this header once: the toolbox comes up before the
// first input.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  zeft::fuzz::InitToolbox();
  return 0;
}
