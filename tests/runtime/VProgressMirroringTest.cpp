#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "RuntimeTestHelpers.h"
#include "core/VLong.h"
#include "files/VPtrStream.h"
#include "runtime/VProgressIndicator.h"
#include "runtime/VRemoteProgressSessionInfo.h"
#include "values/VBagArray.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

// Counts the sessions the mirror opens and ends, so rebuilds show.
class CountingProgress : public VProgressIndicator {
 public:
  CountingProgress() = default;
  CountingProgress(const VUUID& uuid, int version) : VProgressIndicator(uuid, version) {}
  void Abort() { fAbortState = 1; }
  std::atomic<int> fBegun{0};
  std::atomic<int> fEnded{0};

 protected:
  void DoBeginSession(int) override { ++fBegun; }
  void DoEndSession(int) override { ++fEnded; }
};

// A sender, its mirror and the last information sent, which every message
// is described against; each message goes through its bag form, as it
// would to another process.
struct MirrorLink {
  CountingProgress* fSender = new CountingProgress;
  CountingProgress* fMirror = new CountingProgress(fSender->GetUUID(), 0);
  VRemoteProgressSessionInfo fSent;
  bool fHasSent = false;
  VRefPtr<VValueBag> fLastBag;

  ~MirrorLink() {
    fSender->Release();
    fMirror->Release();
  }

  // False when the sender had nothing new to say.
  bool Send() {
    VRemoteProgressSessionInfo info;
    if (!fSender->GetProgressInfo(info, fHasSent ? &fSent : nullptr)) return false;
    fLastBag.Adopt(new VValueBag);
    VString kind;
    EXPECT_EQ(info.SaveToBag(*fLastBag, kind, fHasSent ? &fSent : nullptr), VE_OK);
    EXPECT_EQ(kind, VString("DistantSessionInfo"));
    VRemoteProgressSessionInfo received;
    EXPECT_EQ(received.LoadFromBag(*fLastBag), VE_OK);
    fMirror->UpdateFromRemoteInfo(received);
    fSent = info;
    fHasSent = true;
    return true;
  }

  void ExpectMirrorFollows() const {
    ASSERT_EQ(fMirror->GetSessionCount(), fSender->GetSessionCount());
    EXPECT_EQ(fMirror->GetCurrentValue(), fSender->GetCurrentValue());
    EXPECT_EQ(fMirror->GetMaxValue(), fSender->GetMaxValue());
    VString senderMessage, mirrorMessage;
    fSender->GetMessage(senderMessage);
    fMirror->GetMessage(mirrorMessage);
    EXPECT_EQ(mirrorMessage, senderMessage);
    EXPECT_FLOAT_EQ(fMirror->ComputePercentDone(), fSender->ComputePercentDone());
  }
};

TEST(VProgressMirroringTest, MirrorFollowsNestedSessionsOfTheSender) {
  MirrorLink link;
  CountingProgress& sender = *link.fSender;
  CountingProgress& mirror = *link.fMirror;
  ASSERT_TRUE(link.Send());  // idle: the mirror waits for a session
  EXPECT_FALSE(mirror.IsMirroring());

  sender.BeginSession(4, "files");
  sender.Increment(2);
  sender.BeginSession(100, "bytes of {curValue}");
  ASSERT_TRUE(link.Send());
  EXPECT_TRUE(mirror.IsMirroring());
  link.ExpectMirrorFollows();
  EXPECT_EQ(mirror.GetSessionsVersion(), sender.GetSessionsVersion());
  EXPECT_FALSE(link.Send()) << "nothing changed";

  sender.Increment(50);
  ASSERT_TRUE(link.Send());
  link.ExpectMirrorFollows();

  sender.EndSession();  // the inner one
  sender.Increment(1);
  ASSERT_TRUE(link.Send());
  link.ExpectMirrorFollows();

  sender.BeginSession(10, "step");
  sender.BeginSession(20, "sub-step");
  sender.SetMessage("sub-step {curValue} of {maxValue}");
  sender.Progress(7);
  ASSERT_TRUE(link.Send());
  link.ExpectMirrorFollows();
  EXPECT_FLOAT_EQ(mirror.ComputePercentDone(), 3.0f / 4 + 7.0f / (4 * 10 * 20));

  VProgressSessionInfo summary;
  ASSERT_TRUE(mirror.GetProgressInfo(summary));
  EXPECT_EQ(summary.fSessionCount, 3);
  EXPECT_EQ(summary.fFirst.fMax, 4);
  EXPECT_EQ(summary.fSecond.fMax, 10);
  EXPECT_EQ(summary.fThird.fValue, 7);

  for (int i = 0; i < 3; ++i) sender.EndSession();
  ASSERT_TRUE(link.Send());
  EXPECT_EQ(mirror.GetSessionCount(), 0);
  EXPECT_FALSE(mirror.IsMirroring());
  EXPECT_EQ(mirror.fBegun.load(), mirror.fEnded.load());
}

TEST(VProgressMirroringTest, ChangedValueTravelsAsChangeOfTheCurrentSession) {
  MirrorLink link;
  link.fSender->BeginSession(10, "x");
  ASSERT_TRUE(link.Send());
  link.fSender->Increment(3);
  ASSERT_TRUE(link.Send());
  int32 flags = 0;
  ASSERT_TRUE(link.fLastBag->GetLong("fFlags", flags));
  EXPECT_EQ(flags, 1 | 2 | 4 | 8 | 64);
  const VBagArray* current = link.fLastBag->GetElements("fCurrent");
  ASSERT_NE(current, nullptr);
  ASSERT_EQ(current->GetCount(), 1);
  const VValueBag& record = *current->GetNth(1);
  EXPECT_EQ(record.GetAttributesCount(), 2);
  int32 updateFlags = 0;
  EXPECT_TRUE(record.GetLong("fUpdateFlags", updateFlags));
  EXPECT_EQ(updateFlags, 2);
  EXPECT_EQ(link.fMirror->GetCurrentValue(), 3);
}

// A sender that ended its sessions and began new ones between two messages
// is rebuilt on the mirror once; later stacks of that session set are
// followed, not rebuilt again.
TEST(VProgressMirroringTest, NewSessionSetRebuildsTheMirrorOnce) {
  MirrorLink link;
  CountingProgress& sender = *link.fSender;
  CountingProgress& mirror = *link.fMirror;
  sender.BeginSession(2, "first");
  ASSERT_TRUE(link.Send());
  ASSERT_EQ(mirror.fBegun.load(), 1);

  sender.EndSession();
  sender.BeginSession(3, "second");
  sender.BeginSession(5, "inner");
  ASSERT_TRUE(link.Send());
  EXPECT_EQ(mirror.fEnded.load(), 1);
  EXPECT_EQ(mirror.fBegun.load(), 3);
  EXPECT_EQ(mirror.GetSessionsVersion(), sender.GetSessionsVersion());
  link.ExpectMirrorFollows();

  sender.BeginSession(7, "innermost");
  ASSERT_TRUE(link.Send());
  EXPECT_EQ(mirror.fEnded.load(), 1);
  EXPECT_EQ(mirror.fBegun.load(), 4);
  link.ExpectMirrorFollows();

  sender.EndSession();
  sender.Increment(1);
  ASSERT_TRUE(link.Send());
  EXPECT_EQ(mirror.fEnded.load(), 2);
  EXPECT_EQ(mirror.fBegun.load(), 4);
  link.ExpectMirrorFollows();
}

TEST(VProgressMirroringTest, ReceivedAbortStopsProgressAndStays) {
  auto* progress = new VProgressIndicator;
  progress->BeginSession(10, "x");
  VRemoteProgressSessionInfo info;
  info.fFlags = 16;
  info.fUserAbort = true;
  progress->UpdateFromRemoteInfo(info);
  EXPECT_FALSE(progress->Increment(1));
  info.fUserAbort = false;
  progress->UpdateFromRemoteInfo(info);
  EXPECT_FALSE(progress->Progress(2));
  EXPECT_FALSE(progress->IsMirroring()) << "no stack came with the abort";
  EXPECT_EQ(progress->GetSessionCount(), 1);
  progress->Release();
}

TEST(VProgressMirroringTest, MirrorKeepsItsOwnSessions) {
  MirrorLink link;
  CountingProgress& mirror = *link.fMirror;
  mirror.BeginSession(9, "own");
  link.fSender->BeginSession(4, "remote");
  link.fSender->BeginSession(8, "remote inner");
  ASSERT_TRUE(link.Send());
  EXPECT_EQ(mirror.GetSessionCount(), 3);
  link.fSender->EndSession();
  link.fSender->EndSession();
  ASSERT_TRUE(link.Send());
  EXPECT_FALSE(mirror.IsMirroring());
  ASSERT_EQ(mirror.GetSessionCount(), 1);
  EXPECT_EQ(mirror.GetMaxValue(), 9);

  // The owner ending a session while mirroring ends the mirrored ones first.
  link.fSender->BeginSession(4, "again");
  ASSERT_TRUE(link.Send());
  ASSERT_EQ(mirror.GetSessionCount(), 2);
  mirror.EndSession();
  EXPECT_FALSE(mirror.IsMirroring());
  EXPECT_EQ(mirror.GetSessionCount(), 0);
}

// Information announcing records it does not hold changes nothing.
TEST(VProgressMirroringTest, InformationWithoutItsRecordsIsIgnored) {
  MirrorLink link;
  link.fSender->BeginSession(4, "remote");
  ASSERT_TRUE(link.Send());
  for (uint32 part : {64u, 128u}) {
    VValueBag bag;
    bag.SetLong("fFlags", int32(1 | 2 | 4 | 8 | part));
    bag.SetLong("fSessionCount", 1);
    bag.SetLong("fChangesVersion", 999);
    bag.SetLong("fSessionVersion", int32(link.fSender->GetSessionsVersion()) + (part == 128));
    bag.SetLong("fMasterSessionVersion", 0);
    VRemoteProgressSessionInfo info;
    info.LoadFromBag(bag);
    EXPECT_TRUE(info.GetRecords().empty());
    link.fMirror->UpdateFromRemoteInfo(info);
    EXPECT_TRUE(link.fMirror->IsMirroring());
    link.ExpectMirrorFollows();
  }
}

TEST(VProgressMirroringTest, BagFormRoundTripsAndDropsPartsWithoutTheirKey) {
  VRemoteProgressSessionInfo info;
  info.fFlags = 1 | 2 | 4 | 8 | 16 | 32;
  info.fSessionCount = 2;
  info.fChangesVersion = 41;
  info.fSessionVersion = 5;
  info.fMasterSessionVersion = 3;
  info.fUserAbort = true;
  info.fCanInterrupt = true;
  VValueBag bag;
  VString kind;
  info.SaveToBag(bag, kind, nullptr);
  VRemoteProgressSessionInfo back;
  back.LoadFromBag(bag);
  EXPECT_EQ(back.fFlags, info.fFlags);
  EXPECT_EQ(back.fSessionCount, 2);
  EXPECT_EQ(back.fChangesVersion, 41u);
  EXPECT_EQ(back.fSessionVersion, 5u);
  EXPECT_EQ(back.fMasterSessionVersion, 3u);
  EXPECT_TRUE(back.fUserAbort);
  EXPECT_TRUE(back.fCanInterrupt);

  bag.RemoveAttribute("fSessionVersion");
  bag.RemoveAttribute("fUserAbort");
  back.LoadFromBag(bag);
  EXPECT_EQ(back.fFlags, uint32(1 | 2 | 8 | 32));
}

TEST(VProgressMirroringTest, IdentityFormsNameUuidAndSessionsVersion) {
  auto* progress = new VProgressIndicator;
  progress->BeginSession(1, "x");
  VValueBag bag;
  VString kind;
  EXPECT_EQ(progress->WriteInfoForRemote(bag, kind), VE_OK);
  EXPECT_EQ(kind, VString("VProgressIndicator"));
  VUUID uuid;
  ASSERT_TRUE(bag.GetAttribute("uuid", uuid));
  EXPECT_EQ(uuid, progress->GetUUID());
  int32 version = 0;
  ASSERT_TRUE(bag.GetLong("version", version));
  EXPECT_EQ(version, 1);

  VPtrStream stream;
  ASSERT_EQ(stream.OpenWriting(), VE_OK);
  EXPECT_EQ(progress->WriteInfoForRemote(stream), VE_OK);
  ASSERT_EQ(stream.CloseWriting(), VE_OK);
  const void* data = nullptr;
  int64 size = 0;
  ASSERT_TRUE(stream.GetUnderlyingData(data, size));
  ASSERT_EQ(size, 2 + 16 + 4);
  const auto* bytes = static_cast<const uint8*>(data);
  int16 marker = 0;
  std::memcpy(&marker, bytes, 2);
  EXPECT_EQ(marker, 1);
  EXPECT_EQ(std::memcmp(bytes + 2, progress->GetUUID().GetBytes(), 16), 0);
  uint32 streamed = 0;
  std::memcpy(&streamed, bytes + 18, 4);
  EXPECT_EQ(streamed, 1u);
  progress->Release();
}

// A reader on another task describes the sender while it works; the
// mirror follows without a data race on the records the sender changes.
TEST(VProgressMirroringTest, ReaderOnAnotherTaskMirrorsTheWorkingTask) {
  MirrorLink link;
  std::atomic<bool> seenMirroring{false};
  VTask* reader = test::StartTask([&] {
    VTask* self = VTask::GetCurrent();
    while (!self->IsDying()) {
      link.Send();
      if (link.fMirror->IsMirroring()) seenMirroring = true;
      VTask::Sleep(1);
    }
  });
  CountingProgress& sender = *link.fSender;
  for (int round = 0; round < 3; ++round) {
    sender.BeginSession(100, "outer");
    for (int step = 0; step < 100; ++step) {
      sender.BeginSession(10, "inner");
      for (int i = 0; i < 10; ++i) {
        sender.SetMessage(i % 2 == 0 ? "even {curValue}" : "odd {curValue}");
        sender.Increment(1);
      }
      sender.EndSession();
      sender.Increment(1);
    }
    // Keep reporting until the reader got a snapshot to mirror.
    EXPECT_TRUE(test::WaitUntil([&] {
      sender.Progress(100);
      return seenMirroring.load();
    }));
    sender.EndSession();
  }
  EXPECT_TRUE(test::WaitUntil([&] { return !link.fMirror->IsMirroring(); }));
  EXPECT_TRUE(test::StopTask(reader));
  EXPECT_EQ(link.fMirror->GetSessionCount(), 0);
}

}  // namespace
}  // namespace zeft
