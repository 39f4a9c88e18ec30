// The byte rules every stream kind shares: the open/close state machine, the
// pending error, positions, typed arrays in both byte orders, signatures and
// copying between streams. VPtrStream and VConstPtrStream serve as kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "StreamTestSupport.h"
#include "core/CharSet.h"
#include "core/VString.h"
#include "support/ErrorTestSupport.h"

namespace zeft {
namespace {

using namespace stream_test;
namespace te = toolbox_error;

void Fill(VPtrStream& stream, const Bytes& bytes) {
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutData(bytes.data(), bytes.size()), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
}

// A memory stream that records what VStream asks of its kind and can be
// told to fail its writes.
class RecordingStream : public TestPtrStream {
 public:
  int fFlushes = 0;
  std::vector<size_t> fPuts;
  VError fPutFailure = VE_OK;

 protected:
  VError DoFlush() override {
    ++fFlushes;
    return VE_OK;
  }
  VError DoPutData(const void* data, size_t count) override {
    fPuts.push_back(count);
    if (fPutFailure != VE_OK) return fPutFailure;
    return TestPtrStream::DoPutData(data, count);
  }
};

// ---------------------------------------------------------------------------

struct StateCase {
  const char* name;
  std::function<VError(VPtrStream&)> act;
  VError result;
  VError pending;
  bool reading;
  bool writing;
};

TEST(VStreamStateTest, OpenCloseAndDirectionRules) {
  const CharSet kNoSuchCharSet = CharSet(987654);
  const StateCase cases[] = {
      {"second OpenReading",
       [](VPtrStream& s) {
         s.OpenReading();
         return s.OpenReading();
       },
       Err(te::kStreamAlreadyOpened), VE_OK, true, false},
      {"OpenWriting while reading",
       [](VPtrStream& s) {
         s.OpenReading();
         return s.OpenWriting();
       },
       Err(te::kStreamAlreadyOpened), VE_OK, true, false},
      {"OpenReading while writing",
       [](VPtrStream& s) {
         s.OpenWriting();
         return s.OpenReading();
       },
       Err(te::kStreamAlreadyOpened), VE_OK, false, true},
      {"OpenWriting read-only",
       [](VPtrStream& s) {
         s.SetReadOnly(true);
         return s.OpenWriting();
       },
       Err(te::kStreamNotOpenForWriting), VE_OK, false, false},
      {"OpenReading write-only",
       [](VPtrStream& s) {
         s.SetWriteOnly(true);
         return s.OpenReading();
       },
       Err(te::kStreamNotOpenForReading), VE_OK, false, false},
      {"read-only still reads",
       [](VPtrStream& s) {
         s.SetReadOnly(true);
         return s.OpenReading();
       },
       VE_OK, VE_OK, true, false},
      {"CloseReading when closed", [](VPtrStream& s) { return s.CloseReading(); },
       Err(te::kStreamNotOpenForReading), VE_OK, false, false},
      {"CloseWriting while reading",
       [](VPtrStream& s) {
         s.OpenReading();
         return s.CloseWriting();
       },
       Err(te::kStreamNotOpenForWriting), VE_OK, true, false},
      {"GetData when closed",
       [](VPtrStream& s) {
         uint8 b;
         return s.GetData(&b, 1);
       },
       Err(te::kStreamNotOpenForReading), Err(te::kStreamNotOpenForReading), false, false},
      {"PutData while reading",
       [](VPtrStream& s) {
         s.OpenReading();
         uint8 b = 1;
         return s.PutData(&b, 1);
       },
       Err(te::kStreamNotOpenForWriting), Err(te::kStreamNotOpenForWriting), true, false},
      {"GetLongs while writing",
       [](VPtrStream& s) {
         s.OpenWriting();
         int32 l[1];
         int32 n = 1;
         return s.GetLongs(l, &n);
       },
       Err(te::kStreamNotOpenForReading), Err(te::kStreamNotOpenForReading), false, true},
      {"SetPos when closed", [](VPtrStream& s) { return s.SetPos(0); }, Err(te::kStreamNotOpened),
       Err(te::kStreamNotOpened), false, false},
      {"SetPosByOffset when closed", [](VPtrStream& s) { return s.SetPosByOffset(0); },
       Err(te::kStreamNotOpened), Err(te::kStreamNotOpened), false, false},
      {"SetSize while reading",
       [](VPtrStream& s) {
         s.OpenReading();
         return s.SetSize(0);
       },
       Err(te::kStreamNotOpenForWriting), Err(te::kStreamNotOpenForWriting), true, false},
      {"Flush while reading",
       [](VPtrStream& s) {
         s.OpenReading();
         return s.Flush();
       },
       Err(te::kStreamNotOpenForWriting), VE_OK, true, false},
      {"reopen after closing both ways",
       [](VPtrStream& s) {
         s.OpenWriting();
         s.CloseWriting();
         s.OpenReading();
         s.CloseReading();
         return s.OpenWriting();
       },
       VE_OK, VE_OK, false, true},
      {"opening clears an error left by the last session",
       [](VPtrStream& s) {
         s.OpenReading();
         uint8 b;
         s.GetData(&b, 1);  // end of data
         s.CloseReading();
         return s.OpenReading();
       },
       VE_OK, VE_OK, true, false},
      {"CloseReading returns the pending error",
       [](VPtrStream& s) {
         s.OpenReading();
         uint8 b;
         s.GetData(&b, 1);
         return s.CloseReading();
       },
       Err(te::kStreamEndOfData), Err(te::kStreamEndOfData), false, false},
      {"OpenWriting without a converter keeps 208 pending",
       [=](VPtrStream& s) {
         s.SetCharSet(kNoSuchCharSet);
         return s.OpenWriting();
       },
       Err(te::kStreamNoTextConverter), Err(te::kStreamNoTextConverter), false, true},
      {"OpenReading without a converter is refused",
       [=](VPtrStream& s) {
         s.SetCharSet(kNoSuchCharSet);
         return s.OpenReading();
       },
       Err(te::kStreamNoTextConverter), VE_OK, false, false},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestPtrStream stream;
    EXPECT_EQ(c.act(stream), c.result);
    EXPECT_EQ(stream.GetLastError(), c.pending);
    EXPECT_EQ(stream.IsReading(), c.reading);
    EXPECT_EQ(stream.IsWriting(), c.writing);
  }
}

TEST(VStreamStateTest, NewStreamIsClosedLittleEndianWithDefaultText) {
  VPtrStream stream;
  EXPECT_FALSE(stream.IsReading() || stream.IsWriting());
  EXPECT_FALSE(stream.NeedSwap());
  EXPECT_EQ(stream.GetCharSet(), kCharSetDefault8Bit);
  EXPECT_EQ(stream.GetCarriageReturnMode(), kCRModeLF);
  EXPECT_EQ(stream.GetLastError(), VE_OK);
}

TEST(VStreamStateTest, SwapFlagAndCharSetSurviveReopening) {
  TestPtrStream stream;
  stream.SetNeedSwap(true);
  stream.SetCharSet(kCharSetUTF16BigEndian);
  stream.SetCarriageReturnMode(kCRModeCRLF);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_TRUE(stream.NeedSwap());
  EXPECT_EQ(stream.GetCharSet(), kCharSetUTF16BigEndian);
  EXPECT_EQ(stream.GetCarriageReturnMode(), kCRModeCRLF);
  stream.SetLittleEndian();
  EXPECT_FALSE(stream.NeedSwap());
  stream.SetBigEndian();
  EXPECT_TRUE(stream.NeedSwap());
}

// ---------------------------------------------------------------------------
// The first error is kept: later calls return it at once and leave the kind
// alone.

TEST(VStreamErrorTest, FirstWriteErrorIsKeptAndNothingMoves) {
  const std::function<VError(VStream&)> laterCalls[] = {
      [](VStream& s) {
        uint8 b = 1;
        return s.PutData(&b, 1);
      },
      [](VStream& s) { return s.PutByte(7); },
      [](VStream& s) {
        const int32 l[2] = {1, 2};
        return s.PutLongs(l, 2);
      },
      [](VStream& s) {
        s.SetNeedSwap(true);
        const int16 w[2] = {1, 2};
        return s.PutWords(w, 2);
      },
      [](VStream& s) { return s.PutHexBytes("\x01", 1); },
      [](VStream& s) { return s.PutText(VString("text")); },
      [](VStream& s) { return s.SetPos(0); },
      [](VStream& s) { return s.SetPosByOffset(-1); },
      [](VStream& s) { return s.SetSize(0); },
      [](VStream& s) { return s.SetCharSet(kCharSetUTF16); },
      [](VStream& s) {
        uint8 b;
        return s.GetData(&b, 1);
      },
      [](VStream& s) { return s.Flush(); },
      [](VStream& s) { return s.CloseWriting(); },
  };
  int index = 0;
  for (const auto& call : laterCalls) {
    SCOPED_TRACE(index++);
    RecordingStream stream;
    ASSERT_EQ(stream.OpenWriting(), VE_OK);
    ASSERT_EQ(stream.PutData("ab", 2), VE_OK);
    stream.fPutFailure = Err(te::kMemoryFull);
    EXPECT_EQ(stream.PutData("cd", 2), Err(te::kMemoryFull));
    EXPECT_EQ(stream.GetPos(), 2);  // a failed write does not move

    EXPECT_EQ(call(stream), Err(te::kMemoryFull));
    EXPECT_EQ(stream.GetLastError(), Err(te::kMemoryFull));
    EXPECT_EQ(stream.fPuts.size(), 2u);
    // Neither Flush nor CloseWriting flushes over a failure: that would hide it.
    EXPECT_EQ(stream.fFlushes, 0);
    EXPECT_EQ(stream.GetPos(), 2);
    EXPECT_EQ(stream.GetCharSet(), kCharSetUTF8);
  }
}

TEST(VStreamErrorTest, EndOfDataIsKeptByLaterReads) {
  TestPtrStream stream;
  Fill(stream, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  uint8 buffer[16] = {};
  size_t got = 99;
  EXPECT_EQ(stream.GetData(buffer, 10, &got), Err(te::kStreamEndOfData));
  EXPECT_EQ(got, 6u);
  EXPECT_EQ(stream.GetPos(), 6);
  EXPECT_EQ(Bytes(buffer, buffer + 6), (Bytes{1, 2, 3, 4, 5, 6}));

  got = 99;
  EXPECT_EQ(stream.GetData(buffer, 1, &got), Err(te::kStreamEndOfData));
  EXPECT_EQ(got, 99u);  // nothing read, nothing reported
  int32 count = 1;
  EXPECT_EQ(stream.GetLongs(reinterpret_cast<int32*>(buffer), &count), Err(te::kStreamEndOfData));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(stream.SetPos(0), Err(te::kStreamEndOfData));
  EXPECT_EQ(stream.PutData(buffer, 1), Err(te::kStreamEndOfData));
  EXPECT_EQ(stream.GetPos(), 6);
}

TEST(VStreamErrorTest, CloseWritingFlushesOnceWhenSound) {
  RecordingStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.Flush(), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
  EXPECT_EQ(stream.fFlushes, 2);
}

// ---------------------------------------------------------------------------
// Typed arrays

template <class T>
struct ArrayCase {
  VError (VStream::*put)(const T*, int32);
  VError (VStream::*get)(T*, int32*);
  std::vector<T> values;
};

template <class T>
void CheckArrayRoundTrip(const ArrayCase<T>& c, bool swap) {
  SCOPED_TRACE(::testing::Message() << "element size " << sizeof(T) << " swap " << swap);
  const std::vector<T> original = c.values;
  std::vector<T> values = c.values;
  const int32 n = int32(values.size());

  TestPtrStream stream;
  stream.SetNeedSwap(swap);
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ((stream.*c.put)(values.data(), n), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
  EXPECT_EQ(std::memcmp(values.data(), original.data(), n * sizeof(T)), 0)
      << "the caller's array changed";

  // The data holds the machine's order, or each element reversed.
  Bytes expected(n * sizeof(T));
  std::memcpy(expected.data(), original.data(), expected.size());
  if (swap) {
    for (size_t i = 0; i < expected.size(); i += sizeof(T)) {
      std::reverse(expected.begin() + i, expected.begin() + i + sizeof(T));
    }
  }
  EXPECT_EQ(Contents(stream), expected);

  std::vector<T> back(n);
  int32 count = n;
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  EXPECT_EQ((stream.*c.get)(back.data(), &count), VE_OK);
  EXPECT_EQ(count, n);
  EXPECT_EQ(stream.GetPos(), int64(n * sizeof(T)));
  EXPECT_EQ(std::memcmp(back.data(), original.data(), n * sizeof(T)), 0);
}

TEST(VStreamArrayTest, RoundTripInBothByteOrders) {
  const ArrayCase<int16> words{&VStream::PutWords, &VStream::GetWords, {0x0102, -2, INT16_MIN}};
  const ArrayCase<int32> longs{&VStream::PutLongs, &VStream::GetLongs, {0x01020304, -5, INT32_MAX}};
  const ArrayCase<int64> long8s{
      &VStream::PutLong8s, &VStream::GetLong8s, {0x0102030405060708LL, INT64_MIN, -1}};
  const ArrayCase<double> reals{&VStream::PutReals, &VStream::GetReals, {1.5, -0.0, 1e300}};
  for (bool swap : {false, true}) {
    CheckArrayRoundTrip(words, swap);
    CheckArrayRoundTrip(longs, swap);
    CheckArrayRoundTrip(long8s, swap);
    CheckArrayRoundTrip(reals, swap);
  }
}

TEST(VStreamArrayTest, SwappedLongIsWrittenHighByteFirst) {
  TestPtrStream stream;
  stream.SetBigEndian();
  const int32 value = 0x11223344;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutLongs(&value, 1), VE_OK);
  EXPECT_EQ(Contents(stream), (Bytes{0x11, 0x22, 0x33, 0x44}));
}

// Reads through one of the four Get forms into a large enough buffer.
using GetForm = std::function<VError(VStream&, int32*)>;

GetForm Getter(int size) {
  return [size](VStream& s, int32* count) -> VError {
    static int64 buffer[8];
    switch (size) {
      case 2:
        return s.GetWords(reinterpret_cast<int16*>(buffer), count);
      case 4:
        return s.GetLongs(reinterpret_cast<int32*>(buffer), count);
      case 8:
        return s.GetLong8s(buffer, count);
      default:
        return s.GetReals(reinterpret_cast<double*>(buffer), count);
    }
  };
}

TEST(VStreamArrayTest, ShortReadsCountWholeElements) {
  struct Case {
    int elementSize;  // 9 stands for reals
    size_t available;
    int32 wanted;
    int32 expectedCount;
    VError expectedError;
  };
  const Case cases[] = {
      {4, 10, 3, 2, Err(te::kStreamEndOfData)},
      {2, 3, 5, 1, Err(te::kStreamEndOfData)},
      {8, 7, 2, 0, Err(te::kStreamEndOfData)},
      {9, 8, 1, 1, VE_OK},
      {9, 12, 2, 1, Err(te::kStreamEndOfData)},
      // Counts whose byte count does not fit in 32 bits ask for all of it.
      {4, 10, 0x40000001, 2, Err(te::kStreamEndOfData)},
      {8, 10, 0x20000001, 1, Err(te::kStreamEndOfData)},
      {2, 3, INT32_MAX, 1, Err(te::kStreamEndOfData)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.elementSize << " x " << c.wanted);
    TestPtrStream stream;
    Fill(stream, Bytes(c.available, 0x5A));
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    int32 count = c.wanted;
    EXPECT_EQ(Getter(c.elementSize)(stream, &count), c.expectedError);
    EXPECT_EQ(count, c.expectedCount);
    EXPECT_EQ(stream.GetPos(), int64(c.available));
    EXPECT_EQ(stream.GetLastError(), c.expectedError);
  }
}

TEST(VStreamArrayTest, CountsBelowOneMoveNothing) {
  const int32 counts[] = {0, -1, -3, INT32_MIN};
  for (int size : {2, 4, 8, 9}) {
    for (int32 wanted : counts) {
      SCOPED_TRACE(::testing::Message() << size << " x " << wanted);
      TestPtrStream stream;
      Fill(stream, Bytes(16, 1));
      ASSERT_EQ(stream.OpenReading(), VE_OK);
      int32 count = wanted;
      EXPECT_EQ(Getter(size)(stream, &count), VE_OK);
      EXPECT_EQ(count, 0);
      EXPECT_EQ(stream.GetPos(), 0);
      ASSERT_EQ(stream.CloseReading(), VE_OK);

      const int64 source[1] = {};
      ASSERT_EQ(stream.OpenWriting(), VE_OK);
      for (bool swap : {false, true}) {
        stream.SetNeedSwap(swap);
        EXPECT_EQ(stream.PutWords(reinterpret_cast<const int16*>(source), wanted), VE_OK);
        EXPECT_EQ(stream.PutLongs(reinterpret_cast<const int32*>(source), wanted), VE_OK);
        EXPECT_EQ(stream.PutLong8s(source, wanted), VE_OK);
        EXPECT_EQ(stream.PutReals(reinterpret_cast<const double*>(source), wanted), VE_OK);
      }
      EXPECT_EQ(stream.GetPos(), 0);
      EXPECT_EQ(stream.GetSize(), 16);
    }
  }
}

TEST(VStreamArrayTest, NullCountIsRefusedWithoutTouchingTheStream) {
  TestPtrStream stream;
  Fill(stream, Bytes(8, 1));
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  int32 longs[2];
  EXPECT_EQ(stream.GetLongs(longs, nullptr), Err(te::kInvalidParameter));
  EXPECT_EQ(stream.GetLastError(), VE_OK);
  EXPECT_EQ(stream.GetPos(), 0);
}

// ---------------------------------------------------------------------------
// Positions and un-getting

TEST(VStreamPositionTest, SetPosAndOffsets) {
  struct Case {
    const char* name;
    std::function<VError(VStream&)> act;
    VError result;
    int64 position;
  };
  // Each case starts open for reading at position 3 of 10 bytes.
  const Case cases[] = {
      {"SetPos inside", [](VStream& s) { return s.SetPos(7); }, VE_OK, 7},
      {"SetPos at the end", [](VStream& s) { return s.SetPos(10); }, VE_OK, 10},
      {"forward offset", [](VStream& s) { return s.SetPosByOffset(2); }, VE_OK, 5},
      {"backward offset", [](VStream& s) { return s.SetPosByOffset(-3); }, VE_OK, 0},
      {"offset before the start", [](VStream& s) { return s.SetPosByOffset(-5); },
       Err(te::kInvalidParameter), 3},
      {"most negative offset", [](VStream& s) { return s.SetPosByOffset(INT64_MIN); },
       Err(te::kInvalidParameter), 3},
      {"negative position", [](VStream& s) { return s.SetPos(-1); }, Err(te::kInvalidParameter), 3},
      {"offset past the largest position", [](VStream& s) { return s.SetPosByOffset(INT64_MAX); },
       Err(te::kInvalidParameter), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPtrStream stream;
    Fill(stream, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    ASSERT_EQ(stream.OpenReading(), VE_OK);
    ASSERT_EQ(stream.SetPos(3), VE_OK);
    EXPECT_EQ(c.act(stream), c.result);
    EXPECT_EQ(stream.GetPos(), c.position);
    EXPECT_EQ(stream.GetLastError(), c.result);
    EXPECT_EQ(stream.GetSize(), 10);
  }
}

TEST(VStreamPositionTest, UngetStepsBackOverBytesAlreadyRead) {
  TestPtrStream stream;
  Fill(stream, {10, 11, 12, 13});
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  uint8 b[4] = {};
  ASSERT_EQ(stream.GetData(b, 3), VE_OK);

  EXPECT_EQ(stream.UngetData(b, 0), VE_OK);
  EXPECT_EQ(stream.UngetData(b + 1, 2), VE_OK);
  EXPECT_EQ(stream.GetPos(), 1);
  ASSERT_EQ(stream.GetData(b, 3), VE_OK);
  EXPECT_EQ(Bytes(b, b + 3), (Bytes{11, 12, 13}));

  // Un-getting after the end of the data clears the pending end.
  EXPECT_EQ(stream.GetData(b, 1), Err(te::kStreamEndOfData));
  EXPECT_EQ(stream.UngetData(b, 1), VE_OK);
  EXPECT_EQ(stream.GetLastError(), VE_OK);
  EXPECT_EQ(stream.GetPos(), 3);

  EXPECT_EQ(stream.UngetData(b, 4), Err(te::kStreamCannotUnget));
  EXPECT_EQ(stream.GetLastError(), Err(te::kStreamCannotUnget));
  EXPECT_EQ(stream.GetPos(), 3);
  // Any pending error other than the end of data is returned as it is.
  EXPECT_EQ(stream.UngetData(b, 1), Err(te::kStreamCannotUnget));
}

TEST(VStreamPositionTest, UngetNeedsAStreamOpenForReading) {
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutData("abc", 3), VE_OK);
  EXPECT_EQ(stream.UngetData("c", 1), Err(te::kStreamNotOpenForReading));
  EXPECT_EQ(stream.GetLastError(), Err(te::kStreamNotOpenForReading));
}

TEST(VStreamPositionTest, SetSizeBelowThePositionPullsItBack) {
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.PutData("abcdef", 6), VE_OK);
  EXPECT_EQ(stream.SetSize(4), VE_OK);
  EXPECT_EQ(stream.GetPos(), 4);
  EXPECT_EQ(stream.SetSize(-1), Err(te::kInvalidParameter));
  EXPECT_EQ(stream.GetSize(), 4);
}

// A kind that accepts any position and swallows what is written: the
// stream's own arithmetic is all that stands between it and an overflow.
class SinkStream : public VStream {
 public:
  SinkStream() { SetCharSet(kCharSetUTF8); }

 protected:
  VError DoPutData(const void*, size_t) override { return VE_OK; }
  VError DoGetData(void*, size_t* ioCount) override {
    *ioCount = 0;
    return Err(te::kStreamEndOfData);
  }
  int64 DoGetSize() override { return 0; }
  VError DoSetSize(int64) override { return VE_OK; }
};

TEST(VStreamPositionTest, WritesThatWouldOverflowThePositionAreRefused) {
  SinkStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  ASSERT_EQ(stream.SetPos(INT64_MAX - 2), VE_OK);
  EXPECT_EQ(stream.PutData("ab", 2), VE_OK);
  EXPECT_EQ(stream.GetPos(), INT64_MAX);
  EXPECT_EQ(stream.PutByte(1), Err(te::kInvalidParameter));
  EXPECT_EQ(stream.GetPos(), INT64_MAX);
}

// ---------------------------------------------------------------------------
// Signatures, hexadecimal bytes, copying

TEST(VStreamSignatureTest, OpenReadingSetsTheByteOrderFromTheSignature) {
  const uint32 kSignature = 0x56424147;  // "VBAG"
  struct Case {
    const char* name;
    Bytes data;
    bool swapBefore;
    VError result;
    VError pending;
    bool swapAfter;
    int64 position;
  };
  const Case cases[] = {
      {"machine order", {0x47, 0x41, 0x42, 0x56, 9}, false, VE_OK, VE_OK, false, 4},
      {"opposite order", {0x56, 0x42, 0x41, 0x47, 9}, false, VE_OK, VE_OK, true, 4},
      {"machine order, flag set", {0x47, 0x41, 0x42, 0x56}, true, VE_OK, VE_OK, false, 4},
      {"neither order", {1, 2, 3, 4, 5}, false, Err(te::kStreamBadSignature), VE_OK, false, 0},
      {"too short",
       {0x47, 0x41, 0x42},
       false,
       Err(te::kStreamBadSignature),
       Err(te::kStreamEndOfData),
       false,
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestPtrStream stream;
    Fill(stream, c.data);
    stream.SetNeedSwap(c.swapBefore);
    EXPECT_EQ(stream.OpenReading(kSignature), c.result);
    EXPECT_EQ(stream.GetLastError(), c.pending);
    EXPECT_EQ(stream.NeedSwap(), c.swapAfter);
    EXPECT_EQ(stream.GetPos(), c.position);
    EXPECT_TRUE(stream.IsReading());
  }
}

TEST(VStreamCopyTest, PutHexBytesWritesUpperCaseDigits) {
  TestPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(stream.PutHexBytes("\x0A\xFF\x00", 3), VE_OK);
  const Bytes expected{'0', 'A', 'F', 'F', '0', '0'};
  EXPECT_EQ(Contents(stream), expected);
}

TEST(VStreamCopyTest, PutContentIntoMovesWholeBlocksAndTheRest) {
  struct Case {
    size_t size;
    std::vector<size_t> transfers;
  };
  const Case cases[] = {{8193, {4096, 4096, 1}}, {4096, {4096}}, {5, {5}}, {0, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes data(c.size);
    for (size_t i = 0; i < c.size; ++i) data[i] = uint8(i * 7);
    TestPtrStream source;
    Fill(source, data);
    RecordingStream destination;
    ASSERT_EQ(destination.OpenWriting(), VE_OK);
    EXPECT_EQ(source.PutContentInto(&destination), VE_OK);
    EXPECT_EQ(destination.fPuts, c.transfers);
    EXPECT_EQ(Contents(destination), data);
    EXPECT_FALSE(source.IsReading());
  }
}

// A kind that hands out at most `fStep` bytes a call without an error (a
// pipe-like source): copying must take only what was delivered, and a step
// of 0 must end the copy with an error instead of spinning.
class TrickleStream : public VStream {
 public:
  explicit TrickleStream(Bytes data, size_t step) : fData(std::move(data)), fStep(step) {
    SetCharSet(kCharSetUTF8);
  }

 protected:
  VError DoPutData(const void*, size_t) override { return Err(te::kStreamNotOpenForWriting); }
  VError DoGetData(void* buffer, size_t* ioCount) override {
    size_t position = size_t(GetPos());
    *ioCount = std::min({*ioCount, fStep, fData.size() - position});
    std::memcpy(buffer, fData.data() + position, *ioCount);
    return VE_OK;
  }
  int64 DoGetSize() override { return int64(fData.size()); }
  VError DoSetSize(int64) override { return Err(te::kStreamNotOpenForWriting); }

 private:
  Bytes fData;
  size_t fStep;
};

TEST(VStreamCopyTest, PutContentIntoCopiesOnlyTheBytesDelivered) {
  Bytes data(10);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8(i + 1);
  TrickleStream source(data, 3);
  RecordingStream destination;
  ASSERT_EQ(destination.OpenWriting(), VE_OK);
  EXPECT_EQ(source.PutContentInto(&destination), VE_OK);
  const std::vector<size_t> transfers{3, 3, 3, 1};
  EXPECT_EQ(destination.fPuts, transfers);
  EXPECT_EQ(Contents(destination), data);

  TrickleStream stuck(data, 0);
  RecordingStream nothing;
  ASSERT_EQ(nothing.OpenWriting(), VE_OK);
  EXPECT_EQ(stuck.PutContentInto(&nothing), Err(te::kStreamEndOfData));
  EXPECT_TRUE(nothing.fPuts.empty());
  EXPECT_FALSE(stuck.IsReading());
}

TEST(VStreamCopyTest, PutContentIntoReportsTheFirstError) {
  TestPtrStream source;
  Fill(source, Bytes(10, 1));
  TestPtrStream closedDestination;
  EXPECT_EQ(source.PutContentInto(&closedDestination), Err(te::kStreamNotOpenForWriting));
  EXPECT_EQ(closedDestination.GetLastError(), Err(te::kStreamNotOpenForWriting));
  EXPECT_FALSE(source.IsReading());

  EXPECT_EQ(source.PutContentInto(nullptr), Err(te::kInvalidParameter));
  ASSERT_EQ(source.OpenWriting(), VE_OK);
  TestPtrStream destination;
  ASSERT_EQ(destination.OpenWriting(), VE_OK);
  EXPECT_EQ(source.PutContentInto(&destination), Err(te::kStreamAlreadyOpened));
}

// --- Errors left on the task's error stack -------------------------------

TEST(VStreamErrorStackTest, ShortReadRaises200OnceAndLaterReadsOnlyReturnIt) {
  test::ErrorCollector errors;
  const uint8 bytes[] = {1, 2};
  TestConstPtrStream stream(bytes, sizeof(bytes));
  ASSERT_EQ(stream.OpenReading(), VE_OK);
  uint8 buffer[4];
  EXPECT_EQ(stream.GetData(buffer, 4), Err(te::kStreamEndOfData));
  EXPECT_EQ(stream.GetData(buffer, 4), Err(te::kStreamEndOfData));
  auto records = errors.Errors();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].code, Err(te::kStreamEndOfData));
}

TEST(VStreamErrorStackTest, MisuseIsRaised) {
  struct Case {
    const char* what;
    std::function<VError(VStream&)> action;
    int32 number;
  };
  const uint8 bytes[10] = {};
  const Case cases[] = {
      {"positioning beyond the end",
       [](VStream& s) {
         s.OpenReading();
         return s.SetPos(11);
       },
       te::kStreamEndOfData},
      {"writing to a constant stream", [](VStream& s) { return s.OpenWriting(); },
       te::kStreamNotOpenForWriting},
      {"reading a closed stream",
       [](VStream& s) {
         uint8 b;
         return s.GetData(&b, 1);
       },
       te::kStreamNotOpenForReading},
      {"opening twice",
       [](VStream& s) {
         s.OpenReading();
         return s.OpenReading();
       },
       te::kStreamAlreadyOpened},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ErrorCollector errors;
    TestConstPtrStream stream(bytes, sizeof(bytes));
    EXPECT_EQ(c.action(stream), Err(c.number));
    EXPECT_EQ(errors.LastError(), Err(c.number));
  }
}

}  // namespace
}  // namespace zeft
