#include <gtest/gtest.h>

#include <cerrno>

#include "runtime/VErrorBase.h"

namespace zeft {
namespace {

// The error component of an application built on the toolbox: the toolbox
// knows no texts of its own for it.
constexpr uint32 kApplicationComponent = FourCC("UPNV");

constexpr VError Carbon(int32 status) { return MakeVError(kComponentCarbon, status); }
constexpr VError Posix(int32 number) { return MakeVError(kComponentPosix, number); }

constexpr VError kFallback = ToolboxError(602);

// Every row of the table, whatever the fallback, and what falls back.
TEST(NativeErrorMapping, TableRowByRow) {
  struct Row {
    VError native;
    VError mapped;
  };
  const Row rows[] = {
      {Carbon(-108), ToolboxError(100)}, {Carbon(-39), ToolboxError(200)},
      {Carbon(-34), ToolboxError(658)},  {Carbon(-43), ToolboxError(600)},
      {Carbon(-120), ToolboxError(650)}, {Carbon(-45), ToolboxError(5)},
      {Carbon(-46), ToolboxError(5)},    {Carbon(-192), ToolboxError(401)},
      {Carbon(-37), ToolboxError(614)},  {Carbon(-54), ToolboxError(5)},
      {Carbon(-128), ToolboxError(6)},   {Posix(ENOENT), ToolboxError(600)},
      {Posix(EACCES), ToolboxError(5)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << std::hex << row.native);
    EXPECT_EQ(VErrorBase::EncodedNativeErrorToVError(row.native, kFallback), row.mapped);
    EXPECT_EQ(VErrorBase::EncodedNativeErrorToVError(row.native, ToolboxError(218)), row.mapped);
    if (ErrorComponent(row.native) == kComponentCarbon) {
      EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(ErrorNumber(row.native)), row.mapped);
    }
  }
  // Negative statuses sit in the number bits as 32-bit two's complement.
  EXPECT_EQ(Carbon(-108), 0x43415242FFFFFF94ull);
}

TEST(NativeErrorMapping, Fallbacks) {
  struct Case {
    const char* what;
    VError native;
    VError fallback;
    VError expected;
  };
  const Case cases[] = {
      {"POSIX number not in the table", Posix(EIO), kFallback, kFallback},
      {"POSIX 0", Posix(0), kFallback, kFallback},
      {"Carbon status not in the table", Carbon(-50), kFallback, kFallback},
      {"Carbon 0", Carbon(0), kFallback, kFallback},
      {"Mach code", MakeVError(kComponentMach, 5), ToolboxError(218), ToolboxError(218)},
      {"Cocoa code", MakeVError(kComponentCocoa, 4), ToolboxError(218), ToolboxError(218)},
      {"Mach 0 passes unchanged", MakeVError(kComponentMach, 0), kFallback,
       MakeVError(kComponentMach, 0)},
      {"Cocoa 0 passes unchanged", MakeVError(kComponentCocoa, 0), kFallback,
       MakeVError(kComponentCocoa, 0)},
      {"toolbox error 1 gives the fallback", ToolboxError(1), ToolboxError(657), ToolboxError(657)},
      {"other toolbox errors pass", ToolboxError(600), ToolboxError(657), ToolboxError(600)},
      {"other components pass", MakeVError(kApplicationComponent, 1), kFallback,
       MakeVError(kApplicationComponent, 1)},
      {"success passes", VE_OK, kFallback, VE_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(VErrorBase::EncodedNativeErrorToVError(c.native, c.fallback), c.expected);
  }
}

TEST(NativeErrorMapping, CarbonStatuses) {
  EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(0), VE_OK);
  EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(-43), ToolboxError(600));
  EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(-50), Carbon(-50));
  EXPECT_EQ(VErrorBase::MAC_MapCarbonErrorToVError(12), Carbon(12));
}

}  // namespace
}  // namespace zeft
