// Helpers shared by the value tests: a value's stream bytes, reading bytes
// back into a value, a scoped time zone and a scoped decimal-comma locale.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "core/CharSet.h"
#include "core/VString.h"
#include "core/VValue.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "process/VSystem.h"

namespace zeft::test {

using Bytes = std::vector<uint8>;

inline Bytes StreamBytes(const VValue& value, bool swap) {
  VPtrStream stream;
  stream.SetCharSet(kCharSetUTF8);
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(value.WriteToStream(&stream, 0), VE_OK);
  EXPECT_EQ(stream.CloseWriting(true), VE_OK);
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const uint8* bytes = static_cast<const uint8*>(data);
  return Bytes(bytes, bytes + size);
}

inline VError ReadStreamBytes(VValue& value, const Bytes& bytes, bool swap) {
  VConstPtrStream stream(bytes.data(), bytes.size());
  stream.SetCharSet(kCharSetUTF8);
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenReading(), VE_OK);
  const VError error = value.ReadFromStream(&stream, 0);
  stream.CloseReading();
  return error;
}

// Puts the process in a time zone for the life of the object and recomputes
// the cached offsets; the previous zone comes back afterwards.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ"); old != nullptr) fOld = old;
    setenv("TZ", zone, 1);
    tzset();
    VSystem::UpdateGMTOffset();
  }
  ~ScopedTimeZone() {
    if (fOld) {
      setenv("TZ", fOld->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    VSystem::UpdateGMTOffset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> fOld;
};

// Puts the process in a locale whose decimal point is "," for the life of
// the object, when one is installed (IsSet); the previous one comes back.
class ScopedDecimalCommaLocale {
 public:
  ScopedDecimalCommaLocale() : fOld(std::setlocale(LC_NUMERIC, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
      if (std::setlocale(LC_NUMERIC, name) != nullptr) {
        fSet = true;
        break;
      }
    }
  }
  ~ScopedDecimalCommaLocale() { std::setlocale(LC_NUMERIC, fOld.c_str()); }
  ScopedDecimalCommaLocale(const ScopedDecimalCommaLocale&) = delete;
  ScopedDecimalCommaLocale& operator=(const ScopedDecimalCommaLocale&) = delete;

  bool IsSet() const { return fSet; }

 private:
  std::string fOld;
  bool fSet = false;
};

}  // namespace zeft::test
