// The process-wide set-up shared by every test executable: the toolbox's
// managers are brought up once before the first test, as the entry point of
// a real program would, so that code under test finds them.
#pragma once

#include <gtest/gtest.h>

#include "core/VCppMemMgr.h"

namespace zeft {
class VIntlMgr;
class VProcess;
}  // namespace zeft

namespace zeft::test {

class ToolboxTestEnvironment : public ::testing::Environment {
 public:
  // `allocator`: the memory manager's back end during the run, chosen on
  // the test program's command line (see AllocatorFlag.h).
  explicit ToolboxTestEnvironment(EAllocatorKind allocator) : fAllocator(allocator) {}
  void SetUp() override;
  void TearDown() override;

  static EAllocatorKind Allocator() { return sAllocator; }

 private:
  EAllocatorKind fAllocator;
  VProcess* fProcess = nullptr;
  // The class store was made here, not by the application's start-up.
  bool fMadeClassStore = false;
  static EAllocatorKind sAllocator;
};

// Makes `settings` (null: none) the process-wide international settings for
// one scope, and the calling task's too unless null, and puts the previous
// ones back at its end. A task always has settings of its own: code meant
// to run without any settings runs on a thread without a task.
class StProcessIntlSettings {
 public:
  explicit StProcessIntlSettings(VIntlMgr* settings);
  ~StProcessIntlSettings();
  StProcessIntlSettings(const StProcessIntlSettings&) = delete;
  StProcessIntlSettings& operator=(const StProcessIntlSettings&) = delete;

 private:
  VIntlMgr* fSaved;
  VIntlMgr* fSavedTask = nullptr;
};

// The paths used before any settings exist.
class StWithoutIntlSettings : public StProcessIntlSettings {
 public:
  StWithoutIntlSettings() : StProcessIntlSettings(nullptr) {}
};

}  // namespace zeft::test
