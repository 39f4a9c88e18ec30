// VString data model: growth, buffer kinds, copy-on-write sharing, copy,
// move, swap, the pointer and stream forms, and the number setters.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/VCppMemMgr.h"
#include "core/VErrorCodes.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Text;

VString Long(int32 length, UniChar fill = u'x') {
  VString s;
  for (int32 i = 0; i < length; ++i) s.AppendUniChar(UniChar(fill + i % 7));
  return s;
}

int32 ShareCount(const VString& s) {
  return VString::GetSharedBufferCount(s.GetCPointer(), s.GetCapacity());
}

// Runs the scope's string allocations through a block-allocator manager of
// its own, whose count of bytes in use tells whether every block came back.
class StCountingMemMgr {
 public:
  StCountingMemMgr() : fSaved(VObject::sCppMemMgr) { VObject::sCppMemMgr = Manager(); }
  ~StCountingMemMgr() { VObject::sCppMemMgr = fSaved; }
  StCountingMemMgr(const StCountingMemMgr&) = delete;
  StCountingMemMgr& operator=(const StCountingMemMgr&) = delete;

  static size_t Used() {
    size_t total = 0;
    size_t used = 0;
    Manager()->GetMemUsageInfo(total, used);
    return used;
  }

 private:
  static VCppMemMgr* Manager() {
    static VCppMemMgr* manager = new VCppMemMgr(kAllocatorBlock);
    return manager;
  }
  VCppMemMgr* fSaved;
};

// ---------------------------------------------------------------------------
// Growth

TEST(VStringGrowth, ProgressiveResizeTable) {
  struct Case {
    int32 current;
    int32 requested;
    int64 size;
  };
  const Case cases[] = {
      {0, 5, 8},
      {7, 0, 8},
      {0, 6, 16},
      {0, 100, 104},
      {50, 100, 128},
      {100, 100, 104},
      {1000, 2000, 2408},
      {1, 200000000, 210485768},
      // Beyond the slack limit: no slack, even size (the count fits inside).
      {1, 2140000000, 2140000004},
      {1, 2140000001, 2140000004},
      {0, 2147483644, 2147483648},
      // Impossible sizes.
      {1, 2147483645, 0},
      {0, INT32_MAX, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.current << ", " << c.requested);
    int64 size = VString::ComputeProgressiveResize(c.current, c.requested);
    EXPECT_EQ(size, c.size);
    if (size == 0) continue;
    // The share count sits at the even index behind capacity + 1 units.
    int64 capacity = size - 3;
    EXPECT_GE(capacity, c.requested);
    EXPECT_LE(((capacity + 2) & ~int64(1)) + 2, size);
  }
}

TEST(VStringGrowth, CapacitiesOfRealStrings) {
  VString five;
  five.AppendUniChars(u"abcde", 5);
  EXPECT_EQ(five.GetCapacity(), 5);

  VString hundred;
  VString source = Long(100);
  hundred.AppendUniChars(source.GetCPointer(), 100);
  EXPECT_EQ(hundred.GetCapacity(), 101);

  VString grown;
  grown.AppendUniChars(source.GetCPointer(), 50);
  ASSERT_EQ(grown.GetCapacity(), 53);
  grown.AppendUniChars(source.GetCPointer(), 50);
  EXPECT_EQ(grown.GetCapacity(), 125);
  EXPECT_EQ(Text(grown), Text(source).substr(0, 50) + Text(source).substr(0, 50));
}

TEST(VStringGrowth, NegativeRoomFailsAndChangesNothing) {
  VString s("abc");
  EXPECT_FALSE(s.EnsureSize(-1));
  s.FromUniString(u"xyz", -1);
  EXPECT_EQ(Text(s), u"abc");
}

// ---------------------------------------------------------------------------
// Construction and buffer kinds

TEST(VStringModel, FreshStrings) {
  VString plain;
  VString null(true);
  VStr<15> room;
  EXPECT_FALSE(plain.IsNull());
  EXPECT_TRUE(plain.IsDirty());
  EXPECT_TRUE(null.IsNull());
  for (const VString* s :
       {static_cast<const VString*>(&plain), static_cast<const VString*>(&null)}) {
    EXPECT_EQ(s->GetLength(), 0);
    EXPECT_EQ(s->GetCapacity(), 0);
    EXPECT_TRUE(s->IsInline());
    EXPECT_EQ(s->GetCPointer()[0], 0);
  }
  EXPECT_EQ(room.GetCapacity(), 15);
  EXPECT_EQ(room.GetInlineCapacity(), 15);
  EXPECT_FALSE(VString::sEmpty.IsNull());
  EXPECT_EQ(VString::sEmpty.GetLength(), 0);
}

TEST(VStringModel, InlineRoomHoldsShortTextAndGoesBackToIt) {
  StCountingMemMgr memory;
  size_t before = StCountingMemMgr::Used();
  {
    VStr<4> s;
    s.AppendUniChars(u"abcd", 4);
    EXPECT_TRUE(s.IsInline());
    EXPECT_EQ(StCountingMemMgr::Used(), before);
    s.AppendUniChar(u'e');
    EXPECT_FALSE(s.IsInline());
    EXPECT_GT(StCountingMemMgr::Used(), before);
    s.Truncate(0);
    s.FromLong(12);  // the rewrite keeps a small heap buffer
    EXPECT_EQ(Text(s), u"12");
    VString big = Long(200);
    s.FromString(big);
    s.FromLong(7);  // a large or shared buffer goes back to the inline room
    EXPECT_TRUE(s.IsInline());
    EXPECT_EQ(Text(s), u"7");
  }
  EXPECT_EQ(StCountingMemMgr::Used(), before);
}

TEST(VStringModel, ExternalBufferIsWrittenInPlaceUntilItIsTooSmall) {
  UniChar buffer[8] = {u'a', u'b', 0, 0, 0, 0, 0, 0};
  {
    VString s(buffer, sizeof(buffer));
    EXPECT_EQ(s.GetLength(), 2);
    EXPECT_EQ(s.GetCapacity(), 7);
    s.AppendUniChars(u"cdefg", 5);
    EXPECT_EQ(s.GetCPointer(), buffer);
    EXPECT_EQ(std::u16string(buffer), u"abcdefg");

    VString copy(s);  // never shares a caller's buffer
    EXPECT_NE(copy.GetCPointer(), buffer);
    EXPECT_EQ(Text(copy), u"abcdefg");

    s.AppendUniChar(u'h');
    EXPECT_NE(s.GetCPointer(), buffer);
    EXPECT_EQ(Text(s), u"abcdefgh");
    EXPECT_EQ(std::u16string(buffer), u"abcdefg");
  }
  UniChar* none = nullptr;
  VString nullExternal(none, 0, 16);
  EXPECT_TRUE(nullExternal.IsNull());
  // A length the buffer cannot hold is not taken.
  UniChar small[2] = {u'a', 0};
  VString refused(small, 5, sizeof(small));
  EXPECT_EQ(refused.GetLength(), 0);
  EXPECT_NE(refused.GetCPointer(), small);
}

TEST(VStringModel, NewStringHasItsOwnRoom) {
  VString* s = VString::NewString(10);
  EXPECT_EQ(s->GetCapacity(), 10);
  s->AppendUniChars(u"0123456789", 10);
  EXPECT_TRUE(s->IsInline());
  s->AppendUniChar(u'!');
  EXPECT_FALSE(s->IsInline());
  EXPECT_EQ(Text(*s), u"0123456789!");
  delete s;
}

// The wide-text form whose inline room its own allocation gives.
TEST(VStringModel, WideTextInTheRoomOfItsAllocation) {
  VString* fits = new (size_t(5)) VString(size_t(5), L"h\u00E9llo");
  EXPECT_TRUE(fits->IsInline());
  EXPECT_EQ(fits->GetInlineCapacity(), 5);
  EXPECT_EQ(Text(*fits), u"h\u00E9llo");
  EXPECT_FALSE(fits->IsNull());
  delete fits;
  // A character beyond U+FFFF takes two units, as in the other wide form:
  // more than the room, so the text goes to the heap whole.
  VString* wide = new (size_t(2)) VString(size_t(2), L"a\U0001F600");
  EXPECT_EQ(Text(*wide), u"a\U0001F600");
  EXPECT_EQ(Text(*wide), Text(VString(L"a\U0001F600")));
  delete wide;
}

TEST(VStringModel, ValidateAcceptsZeroToCapacity) {
  VStr<15> s;
  UniChar* p = s.GetCPointerForWrite(3);
  ASSERT_NE(p, nullptr);
  p[0] = u'x';
  p[1] = u'y';
  EXPECT_TRUE(s.Validate(2));
  EXPECT_EQ(Text(s), u"xy");
  EXPECT_TRUE(s.Validate(s.GetCapacity()));
  EXPECT_EQ(s.GetLength(), 15);
  EXPECT_FALSE(s.Validate(16));
  EXPECT_FALSE(s.Validate(-1));
  EXPECT_EQ(s.GetLength(), 15);
}

TEST(VStringModel, ValidateNeverTerminatesInsideASharedBlock) {
  VString a = Long(40);
  VString b(a);
  ASSERT_EQ(a.GetCPointer(), b.GetCPointer());
  EXPECT_TRUE(b.Validate(3));
  EXPECT_EQ(a.GetLength(), 40);
  EXPECT_EQ(a.GetCPointer()[40], 0);
  EXPECT_EQ(Text(b), Text(a).substr(0, 3));
}

// ---------------------------------------------------------------------------
// Copy-on-write

TEST(VStringSharing, CopySharesWriteUnsharesEachBlockFreedOnce) {
  StCountingMemMgr memory;
  size_t before = StCountingMemMgr::Used();
  {
    VString a = Long(100);
    size_t withOne = StCountingMemMgr::Used();
    EXPECT_GT(withOne, before);
    VString b(a);
    VString c;
    c = a;
    EXPECT_EQ(b.GetCPointer(), a.GetCPointer());
    EXPECT_EQ(c.GetCPointer(), a.GetCPointer());
    EXPECT_EQ(ShareCount(a), 3);
    EXPECT_EQ(StCountingMemMgr::Used(), withOne);

    std::u16string original = Text(a);
    EXPECT_TRUE(b.SetUniChar(1, u'!'));
    EXPECT_NE(b.GetCPointer(), a.GetCPointer());
    EXPECT_EQ(ShareCount(a), 2);
    EXPECT_EQ(ShareCount(b), 1);
    EXPECT_EQ(Text(a), original);
    EXPECT_EQ(Text(c), original);
    EXPECT_EQ(b.GetUniChar(1), u'!');
    EXPECT_GT(StCountingMemMgr::Used(), withOne);
  }
  EXPECT_EQ(StCountingMemMgr::Used(), before);
}

// Growth resizes a block where it lies only when no other string reads it:
// a shared block is copied and left whole to its other holders, and a
// block grown far past the system's remapping size keeps every unit.
TEST(VStringSharing, GrowthResizesInPlaceOnlyAnUnsharedBlock) {
  const std::u16string original = Text(Long(100));
  const VString piece = Long(4096, u'a');
  const std::u16string pieceText = Text(piece);
  for (const bool counted : {false, true}) {
    SCOPED_TRACE(counted ? "block allocator" : "the test's allocator");
    std::optional<StCountingMemMgr> memory;
    if (counted) memory.emplace();
    const size_t before = StCountingMemMgr::Used();
    {
      VString a = Long(100);
      VString b(a);
      const UniChar* shared = b.GetCPointer();
      std::u16string expected = original;
      for (int i = 0; i < 200; ++i) {
        a.AppendString(piece);
        expected += pieceText;
      }
      EXPECT_EQ(b.GetCPointer(), shared);
      EXPECT_EQ(ShareCount(b), 1);
      EXPECT_EQ(Text(b), original);
      EXPECT_EQ(ShareCount(a), 1);
      EXPECT_EQ(Text(a), expected);
    }
    if (counted) {
      EXPECT_EQ(StCountingMemMgr::Used(), before);
    }
  }
}

TEST(VStringSharing, InlineAndNullSourcesAreCopied) {
  VStr<15> small("abc");
  VString copy(small);
  EXPECT_NE(copy.GetCPointer(), small.GetCPointer());
  EXPECT_EQ(Text(copy), u"abc");

  VString null(true);
  VString nullCopy(null);
  EXPECT_TRUE(nullCopy.IsNull());
  VString target("x");
  target = null;
  EXPECT_TRUE(target.IsNull());
  EXPECT_EQ(target.GetLength(), 0);
}

TEST(VStringSharing, FourThreadsReleaseCopiesOfOneBlock) {
  StCountingMemMgr memory;
  size_t before = StCountingMemMgr::Used();
  constexpr int kThreads = 4;
  constexpr int kCopies = 2000;
  {
    VString original = Long(300);
    std::vector<std::vector<VString>> copies(kThreads);
    for (auto& list : copies) list.assign(kCopies, original);
    EXPECT_EQ(ShareCount(original), 1 + kThreads * kCopies);
    std::vector<std::thread> threads;
    for (auto& list : copies) {
      threads.emplace_back([&list] {
        // Half are released, half are written (each write un-shares).
        for (size_t i = 0; i < list.size(); ++i) {
          if (i % 2 == 0) {
            list[i].Clear();
          } else {
            list[i].SetUniChar(1, u'#');
          }
        }
        list.clear();
      });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(ShareCount(original), 1);
    EXPECT_EQ(original.GetUniChar(1), u'x');
  }
  EXPECT_EQ(StCountingMemMgr::Used(), before);
}

TEST(VStringSharing, SetNullReleasesTheBlock) {
  StCountingMemMgr memory;
  size_t before = StCountingMemMgr::Used();
  VString s = Long(100);
  EXPECT_GT(StCountingMemMgr::Used(), before);
  s.SetNull(true);
  EXPECT_EQ(StCountingMemMgr::Used(), before);
  EXPECT_EQ(s.GetLength(), 0);
  EXPECT_TRUE(s.IsInline());
}

TEST(VStringSharing, InlineStringRecordSharesAndBorrows) {
  StCountingMemMgr memory;
  size_t before = StCountingMemMgr::Used();
  {
    VString heap = Long(50);
    VInlineString record;
    record.InitWithString(heap);
    EXPECT_EQ(record.fString, heap.GetCPointer());
    EXPECT_EQ(ShareCount(heap), 2);
    {
      VString counted(record);
      EXPECT_EQ(ShareCount(heap), 3);
      VString borrowed(record, true);
      EXPECT_EQ(ShareCount(heap), 3);
      EXPECT_EQ(Text(borrowed), Text(heap));
      // The block is shared: the borrower copies before writing.
      borrowed.AppendUniChar(u'!');
      EXPECT_NE(borrowed.GetCPointer(), record.fString);
    }
    EXPECT_EQ(ShareCount(heap), 2);
    record.Dispose();
    EXPECT_EQ(ShareCount(heap), 1);

    // Text that is not in a shareable block is lent as a new block.
    VStr<15> small("abc");
    record.InitWithString(small);
    ASSERT_NE(record.fString, nullptr);
    EXPECT_EQ(record.fLength, 3);
    EXPECT_EQ(record.fMaxLength, 3);
    EXPECT_EQ(VString::GetSharedBufferCount(record.fString, record.fMaxLength), 1);
    VString fromRecord;
    fromRecord.FromString(record);
    EXPECT_EQ(Text(fromRecord), u"abc");
    EXPECT_EQ(VString::GetSharedBufferCount(record.fString, record.fMaxLength), 2);
    record.Dispose();

    VInlineString empty;
    empty.InitWithString(VString());
    EXPECT_EQ(empty.fString, nullptr);
    EXPECT_EQ(empty.fLength, 0);
  }
  EXPECT_EQ(StCountingMemMgr::Used(), before);
}

// ---------------------------------------------------------------------------
// Move and swap

TEST(VStringMoveSwap, MoveTakesHeapBlocksAndCopiesInlineText) {
  VString heap = Long(60);
  const UniChar* block = heap.GetCPointer();
  VString taken(std::move(heap));
  EXPECT_EQ(taken.GetCPointer(), block);
  EXPECT_EQ(heap.GetLength(), 0);  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(heap.IsInline());

  VStr<15> small("abc");
  VString moved(std::move(small));
  EXPECT_EQ(Text(moved), u"abc");
  EXPECT_EQ(Text(small), u"abc");  // NOLINT(bugprone-use-after-move)

  VString target("old");
  VString source = Long(70);
  block = source.GetCPointer();
  target = std::move(source);
  EXPECT_EQ(target.GetCPointer(), block);
  EXPECT_EQ(source.GetLength(), 0);  // NOLINT(bugprone-use-after-move)
}

TEST(VStringMoveSwap, SwapEveryPairOfBufferKinds) {
  struct Case {
    const char* name;
    int32 lengthA;
    int32 lengthB;
  };
  // VStr<15>: up to 15 units inline, more on the heap.
  const Case cases[] = {{"inline-inline", 3, 10},
                        {"inline-heap", 4, 40},
                        {"heap-inline", 40, 2},
                        {"heap-heap", 30, 50},
                        {"inline-inline overflow", 15, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VStr<15> a;
    VStr<15> b;
    VString textA = Long(c.lengthA, u'a');
    VString textB = Long(c.lengthB, u'A');
    a.FromUniString(textA.GetCPointer(), c.lengthA);
    b.FromUniString(textB.GetCPointer(), c.lengthB);
    a.Swap(b);
    EXPECT_EQ(Text(a), Text(textB));
    EXPECT_EQ(Text(b), Text(textA));
    EXPECT_EQ(a.GetCPointer()[a.GetLength()], 0);
    EXPECT_EQ(b.GetCPointer()[b.GetLength()], 0);
    a.Swap(b);
    EXPECT_EQ(Text(a), Text(textA));
    EXPECT_EQ(Text(b), Text(textB));
  }
}

// ---------------------------------------------------------------------------
// Pointer form

TEST(VStringPointerForm, WriteLoadAndSwapRoundTrip) {
  VString s("abc");
  alignas(4) uint8 data[32] = {};
  EXPECT_EQ(s.GetSpace(0), 10u);
  EXPECT_EQ(s.GetSpace(8), 8u);
  EXPECT_EQ(s.WriteToPtr(data, false, 0), data + 10);
  const uint8 expected[] = {3, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0};
  EXPECT_EQ(std::memcmp(data, expected, sizeof(expected)), 0);
  EXPECT_EQ(VString::sInfo.GetSizeOfValueDataPtr(data), 10u);

  VString loaded(true);
  EXPECT_EQ(loaded.LoadFromPtr(data, false), data + 10);
  EXPECT_EQ(Text(loaded), u"abc");
  EXPECT_FALSE(loaded.IsNull());

  VValue* generated = VString::sInfo.LoadFromPtr(data, false);
  EXPECT_EQ(Text(*static_cast<VString*>(generated)), u"abc");
  delete generated;

  EXPECT_EQ(VString::sInfo.ByteSwapPtr(data, true), data + 10);
  const uint8 swapped[] = {0, 0, 0, 3, 0, 'a', 0, 'b', 0, 'c'};
  EXPECT_EQ(std::memcmp(data, swapped, sizeof(swapped)), 0);
  EXPECT_EQ(VString::sInfo.ByteSwapPtr(data, false), data + 10);
  EXPECT_EQ(std::memcmp(data, expected, sizeof(expected)), 0);
}

TEST(VStringPointerForm, MaxCutsTheStoredUnits) {
  VString s("abcdef");
  alignas(4) uint8 data[32] = {};
  EXPECT_EQ(s.WriteToPtr(data, false, 9), data + 4 + 4);
  VString loaded;
  loaded.LoadFromPtr(data, false);
  EXPECT_EQ(Text(loaded), u"ab");
}

// ---------------------------------------------------------------------------
// Stream form

std::vector<uint8> WriteForm(const VString& s, bool swap) {
  VPtrStream stream;
  stream.SetCharSet(kCharSetUTF8);  // text settings do not touch binary forms
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(s.WriteToStream(&stream, 0), VE_OK);
  stream.CloseWriting();
  const void* data = nullptr;
  int64 size = 0;
  stream.GetUnderlyingData(data, size);
  const auto* bytes = static_cast<const uint8*>(data);
  return std::vector<uint8>(bytes, bytes + size);
}

VError ReadForm(const std::vector<uint8>& bytes, bool swap, VString& s, int64* endPos = nullptr) {
  VConstPtrStream stream(bytes.data(), bytes.size());
  stream.SetCharSet(kCharSetUTF8);
  stream.SetNeedSwap(swap);
  EXPECT_EQ(stream.OpenReading(), VE_OK);
  VError error = s.ReadFromStream(&stream, 0);
  if (endPos != nullptr) *endPos = stream.GetPos();
  stream.CloseReading();
  return error;
}

TEST(VStringStreamForm, ExactBytesInBothOrders) {
  struct Case {
    const char16_t* text;
    bool swap;
    std::vector<uint8> bytes;
    size_t sizeInStream;
  };
  const Case cases[] = {
      {u"abc", false, {0xFD, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0, 'c', 0}, 16},
      {u"abc", true, {0xFF, 0xFF, 0xFF, 0xFD, 0, 'a', 0, 'b', 0, 'c'}, 16},
      {u"\u20AC", false, {0xFF, 0xFF, 0xFF, 0xFF, 0xAC, 0x20}, 12},
      {u"\u20AC", true, {0xFF, 0xFF, 0xFF, 0xFF, 0x20, 0xAC}, 12},
      {u"", false, {0, 0, 0, 0}, 4},
      {u"", true, {0, 0, 0, 0}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "swap " << c.swap << " length " << std::u16string(c.text).size());
    VString s(c.text);
    EXPECT_EQ(WriteForm(s, c.swap), c.bytes);
    EXPECT_EQ(s.GetSizeInStream(), c.sizeInStream);
    VString back("previous");
    EXPECT_EQ(ReadForm(c.bytes, c.swap, back), VE_OK);
    EXPECT_EQ(Text(back), std::u16string(c.text));
    EXPECT_FALSE(back.IsNull());
  }
}

TEST(VStringStreamForm, LongTextRoundTripsInSlices) {
  VString s = Long(200000);
  for (bool swap : {false, true}) {
    VString back;
    EXPECT_EQ(ReadForm(WriteForm(s, swap), swap, back), VE_OK);
    EXPECT_TRUE(back.EqualToStringRaw(s));
  }
}

TEST(VStringStreamForm, LegacyFormWithStoredTerminator) {
  // Positive count, then the format, then count + 1 units.
  const std::vector<uint8> little = {3, 0, 0, 0, 1, 0, 0, 0, 'x', 0, 'y', 0, 'z', 0, 'Q', 0};
  const std::vector<uint8> big = {0, 0, 0, 3, 0, 0, 0, 2, 0, 'x', 0, 'y', 0, 'z', 0, 0};
  VString s;
  int64 end = 0;
  EXPECT_EQ(ReadForm(little, false, s, &end), VE_OK);
  EXPECT_EQ(Text(s), u"xyz");
  EXPECT_EQ(end, 16);
  EXPECT_EQ(ReadForm(big, true, s, &end), VE_OK);
  EXPECT_EQ(Text(s), u"xyz");
  EXPECT_EQ(end, 16);

  // Another format: skipped (count + 1 bytes), string left as it was.
  const std::vector<uint8> other = {3, 0, 0, 0, 7, 0, 0, 0, 1, 2, 3, 4, 0xEE};
  VString kept("kept");
  EXPECT_EQ(ReadForm(other, false, kept, &end), VE_OK);
  EXPECT_EQ(Text(kept), u"kept");
  EXPECT_EQ(end, 12);
}

TEST(VStringStreamForm, CorruptCountsAreRefused) {
  struct Case {
    const char* name;
    std::vector<uint8> bytes;
  };
  const Case cases[] = {
      {"INT32_MIN", {0x00, 0x00, 0x00, 0x80, 'a', 0}},
      {"INT32_MAX legacy", {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0, 'a', 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VString s("previous");
    VError error = ReadForm(c.bytes, false, s);
    EXPECT_EQ(error, ToolboxError(toolbox_error::kStringTooLong));
    EXPECT_EQ(s.GetLength(), 0);
  }
}

TEST(VStringStreamForm, CountBeyondTheDataReadsWhatIsThere) {
  // -0x7FFFFFFF units announced, 2 present: no 4 GB block, a stream error.
  const std::vector<uint8> bytes = {0x01, 0x00, 0x00, 0x80, 'h', 0, 'i', 0};
  VString s;
  VError error = ReadForm(bytes, false, s);
  EXPECT_NE(error, VE_OK);
  EXPECT_EQ(Text(s), u"hi");
}

// ---------------------------------------------------------------------------
// Setters and other string forms

TEST(VStringSetters, NumbersInDecimal) {
  struct Case {
    std::function<void(VString&)> set;
    const char16_t* text;
  };
  const Case cases[] = {
      {[](VString& s) { s.FromLong(0); }, u"0"},
      {[](VString& s) { s.FromLong(-42); }, u"-42"},
      {[](VString& s) { s.FromLong(INT32_MIN); }, u"-2147483648"},
      {[](VString& s) { s.FromLong8(INT64_MIN); }, u"-9223372036854775808"},
      {[](VString& s) { s.FromLong8(INT64_MAX); }, u"9223372036854775807"},
      {[](VString& s) { s.FromULong8(0); }, u"0"},
      {[](VString& s) { s.FromULong8(UINT64_MAX); }, u"18446744073709551615"},
      {[](VString& s) { s.FromWord(-5); }, u"-5"},
      {[](VString& s) { s.FromByte(-128); }, u"-128"},
      {[](VString& s) { s.FromBoolean(0); }, u"false"},
      {[](VString& s) { s.FromBoolean(2); }, u"true"},
      {[](VString& s) { s.FromReal(0.1); }, u"0.1"},
      {[](VString& s) { s.FromReal(1e20); }, u"1E+20"},
      {[](VString& s) { s.FromReal(9007199254740992.0); }, u"9.007199254741E+15"},
      {[](VString& s) { s.FromReal(-2.5); }, u"-2.5"},
      {[](VString& s) { s.FromUniChar(u'q'); }, u"q"},
      {[](VString& s) { s.FromUniChar(0); }, u""},
      {[](VString& s) { s.FromCString("plain"); }, u"plain"},
      {[](VString& s) { s.FromCString("\xC3\xA9t\xC3\xA9"); }, u"\u00E9t\u00E9"},
      {[](VString& s) { s.FromOsType(0x54455854); }, u"TEXT"},
      {[](VString& s) { s.FromOsType(0xC3A92020); }, u"\u00E9  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << std::string(c.text, c.text + std::u16string(c.text).size()));
    VString s(true);
    s.AppendUniChars(u"previous text that is replaced", 30);
    c.set(s);
    EXPECT_EQ(Text(s), std::u16string(c.text));
    EXPECT_FALSE(s.IsNull());
    EXPECT_EQ(s.GetCPointer()[s.GetLength()], 0);
  }
}

TEST(VStringSetters, ToStringForms) {
  EXPECT_EQ(Text(ToString(-5)), u"-5");
  EXPECT_EQ(Text(ToString(-9000000000LL)), u"-9000000000");
  EXPECT_EQ(Text(ToString(18446744073709551615ULL)), u"18446744073709551615");
  // The unsigned long form prints values of 2^63 and above unsigned.
  EXPECT_EQ(Text(ToString(9223372036854775808UL)), u"9223372036854775808");
  EXPECT_EQ(Text(ToString(static_cast<unsigned long>(ULONG_MAX))), u"18446744073709551615");
}

TEST(VStringSetters, ToStdStringIsUTF8) {
  EXPECT_EQ(to_string(VString()), "");
  EXPECT_EQ(to_string(VString(true)), "");
  EXPECT_EQ(to_string(VString("abc")), "abc");
  VString accents;
  for (int i = 0; i < 300; ++i) accents.AppendUniChar(u'\u00E9');
  std::string expected;
  for (int i = 0; i < 300; ++i) expected += "\xC3\xA9";
  EXPECT_EQ(to_string(accents), expected);
}

TEST(VStringSetters, BlocksAndEightBitText) {
  VString utf16;
  const char16_t units[] = u"hi!";
  EXPECT_EQ(utf16.FromBlock(units, 6, kCharSetUTF16), 6u);
  EXPECT_EQ(Text(utf16), u"hi!");
  VString utf8(static_cast<const void*>("\xE2\x82\xAC"
                                        "5"),
               4, kCharSetUTF8);
  EXPECT_EQ(Text(utf8), u"\u20AC5");
  VString eightBit("caf\xC3\xA9");
  EXPECT_EQ(Text(eightBit), u"caf\u00E9");
  VString wide(L"wide");
  EXPECT_EQ(Text(wide), u"wide");
  // A character beyond U+FFFF keeps its high bits as a surrogate pair.
  VString emoji(L"a\U0001F600b");
  EXPECT_EQ(Text(emoji), u"a\U0001F600b");
}

TEST(VStringSetters, DebugDumpGivesRawUnits) {
  VString s("abcdef");
  char buffer[8];
  int size = sizeof(buffer);
  EXPECT_EQ(s.DebugDump(buffer, size), kCharSetUTF16);
  EXPECT_EQ(size, 6);
  EXPECT_EQ(std::memcmp(buffer, u"abc", 6), 0);
  VString dump;
  s.DebugDump(dump);
  EXPECT_EQ(Text(dump), u"abcdef");
}

TEST(VStringStreamForm, ValueWithKindThroughTheRegistry) {
  VPtrStream out;
  out.SetCharSet(kCharSetUTF8);
  out.SetNeedSwap(true);
  ASSERT_EQ(out.OpenWriting(), VE_OK);
  EXPECT_EQ(out.PutValue(VString("kind"), true), VE_OK);
  out.CloseWriting();
  const void* data = nullptr;
  int64 size = 0;
  out.GetUnderlyingData(data, size);
  const uint8 expected[] = {0, 10, 0xFF, 0xFF, 0xFF, 0xFC, 0, 'k', 0, 'i', 0, 'n', 0, 'd'};
  ASSERT_EQ(size, int64(sizeof(expected)));
  EXPECT_EQ(std::memcmp(data, expected, sizeof(expected)), 0);

  VConstPtrStream in(expected, sizeof(expected));
  in.SetCharSet(kCharSetUTF8);
  in.SetNeedSwap(true);
  ASSERT_EQ(in.OpenReading(), VE_OK);
  VValue* value = in.GetValue();
  in.CloseReading();
  ASSERT_NE(value, nullptr);
  ASSERT_EQ(value->GetValueKind(), kValueKindString);
  EXPECT_EQ(Text(*static_cast<VString*>(value)), u"kind");
  delete value;
}

TEST(VStringPointerForm, StoredLengthBeyondAnyStringIsRefused) {
  alignas(4) uint8 data[8] = {0xFF, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0};
  VString s("kept");
  s.LoadFromPtr(data, false);
  EXPECT_EQ(Text(s), u"kept");
}

TEST(VStringSetters, OsTypeString) {
  VOsTypeString code(0x41424344);
  EXPECT_EQ(Text(code), u"ABCD");
  EXPECT_TRUE(code.IsInline());
  VString appended("<");
  appended.AppendOsType(0x20202020);
  EXPECT_EQ(Text(appended), u"<    ");
}

TEST(VStringSetters, CloneAndValueInfo) {
  VString s = Long(40);
  VString* clone = s.Clone();
  EXPECT_TRUE(clone->EqualToStringRaw(s));
  EXPECT_EQ(clone->GetValueKind(), kValueKindString);
  delete clone;
  VValue* registered = VValue::NewValueFromValueKind(kValueKindString);
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(registered->GetValueInfo(), &VString::sInfo);
  delete registered;
  VValue* generated = VString::sInfo.Generate();
  EXPECT_EQ(generated->GetValueKind(), kValueKindString);
  EXPECT_FALSE(generated->IsNull());
  delete generated;
}

// --- Errors left on the task's error stack -------------------------------

TEST(VStringErrors, GrowthBeyondTheLimitRaises107AndKeepsTheString) {
  test::ErrorCollector errors;
  VString s("abc");
  EXPECT_FALSE(s.EnsureSize(INT32_MAX));
  EXPECT_EQ(Text(s), u"abc");
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), toolbox_error::kStringTooLong));

  errors.Flush();
  const UniChar unit = u'x';
  s.AppendBlock(&unit, (size_t(INT32_MAX) + 1) * sizeof(UniChar), kCharSetUTF16);
  EXPECT_EQ(Text(s), u"abc");
  EXPECT_EQ(errors.LastError(), ToolboxError(toolbox_error::kStringTooLong));

  // Growth that succeeds leaves nothing.
  errors.Flush();
  EXPECT_TRUE(s.EnsureSize(100000));
  s.AppendCString("def");
  EXPECT_TRUE(errors.Errors().empty());
}

}  // namespace
}  // namespace zeft
