#include "core/VMemStats.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "core/CharSet.h"
#include "core/VErrorCodes.h"
#include "files/VPtrStream.h"

namespace zeft {
namespace {

std::string Report(const VMemStats& stats, VError* result = nullptr) {
  VPtrStream stream;
  stream.SetCharSet(kCharSetUTF8);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  VError error = stats.DumpToStream(&stream);
  if (result != nullptr) *result = error;
  stream.CloseWriting();
  const void* data = nullptr;
  int64 size = 0;
  EXPECT_TRUE(stream.GetUnderlyingData(data, size));
  return std::string(static_cast<const char*>(data), size_t(size));
}

TEST(VMemStats, ClearZeroesTheCountersOnly) {
  VMemStats stats;
  stats.fFreeMem = 1;
  stats.fUsedMem = 2;
  stats.fNbPages = 3;
  stats.fNbUsedBigBlocks = 4;
  stats.fBiggestFreeBlock = 5;
  stats.fBlocksByTag[FourCC("memb")] = {1, 2};
  stats.Clear();
  EXPECT_EQ(stats.fFreeMem + stats.fUsedMem + stats.fBiggestFreeBlock, 0u);
  EXPECT_EQ(stats.fNbPages + stats.fNbUsedBigBlocks, 0);
  EXPECT_EQ(stats.fBlocksByTag.size(), 1u);
  stats.ClearTables();
  EXPECT_TRUE(stats.fBlocksByTag.empty());
}

TEST(VMemStats, ReportOfAnEmptyRecord) {
  VMemStats stats;
  VError result = 1;
  EXPECT_EQ(Report(stats, &result),
            "Used Mem = 0\n"
            "Free Mem = 0\n"
            "Biggest Free Block = 0\n"
            "\n\n"
            "Nb Objects = 0\n"
            "\n\n"
            "\n\nBlocks by Tags\n\n");
  EXPECT_EQ(result, VE_OK);
}

TEST(VMemStats, ReportListsClassesAndTagsInMapOrder) {
  VMemStats stats;
  stats.fUsedMem = 5000000000ull;
  stats.fFreeMem = 123;
  stats.fBiggestFreeBlock = 64;
  stats.fBiggestBlock = 999;  // not reported
  stats.fNbObjects = 7;
  stats.fObjectsByClass[std::type_index(typeid(int))] = {4, 16};
  stats.fBlocksByTag[FourCC("zzzz")] = {1, 8};
  stats.fBlocksByTag[FourCC("memb")] = {3, 5000000000ll};
  stats.fBlocksByTag[FourCC("grow")] = {-2, -16};
  stats.fOtherBlocksBySize[1024] = {1, 1};  // not reported
  EXPECT_EQ(Report(stats),
            "Used Mem = 5000000000\n"
            "Free Mem = 123\n"
            "Biggest Free Block = 64\n"
            "\n\n"
            "Nb Objects = 7\n"
            "\n\n" +
                std::string(typeid(int).name()) +
                " : 4   ,  mem = 16\n"
                "\n\nBlocks by Tags\n\n"
                "grow : -2   ,  mem = -16\n"
                "memb : 3   ,  mem = 5000000000\n"
                "zzzz : 1   ,  mem = 8\n");
}

TEST(VMemStats, FailedWritesAreReported) {
  VMemStats stats;
  VPtrStream stream;  // never opened for writing
  EXPECT_NE(stats.DumpToStream(&stream), VE_OK);
  EXPECT_NE(stats.DumpToStream(nullptr), VE_OK);
}

}  // namespace
}  // namespace zeft
