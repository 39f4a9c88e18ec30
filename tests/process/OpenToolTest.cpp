// The `open -a` stand-in, run the way the updater runs it: through the
// process launcher.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "process/VProcessLauncher.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

constexpr const char* kInfoPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
<key>CFBundleExecutable</key><string>probe</string>
</dict></plist>
)";

struct OpenRun {
  int32 fResult = -1;
  int32 fStatus = -1;
  std::string fError;
};

OpenRun RunOpen(const std::string& arguments) {
  OpenRun run;
  VMemoryBuffer<> error;
  const std::string line = std::string(ZEFT_OPEN_TOOL_PATH) + " " + arguments;
  run.fResult = VProcessLauncher::ExecuteCommandLine(VString(line.c_str()), 0, nullptr, nullptr,
                                                     &error, nullptr, nullptr, &run.fStatus);
  run.fError.assign(static_cast<const char*>(error.GetDataPtr()), error.GetDataSize());
  return run;
}

// The file's content once it holds a whole line (bounded wait).
std::string WaitForLine(const std::string& path) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < limit) {
    const std::string text = test::ReadWholeFile(path);
    if (text.find('\n') != std::string::npos) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::string();
}

TEST(OpenTool, StartsTheBundleExecutableWithTheArgumentsAfterArgs) {
  test::TempFolder folder;
  folder.Write("My App.app/Contents/Info.plist", kInfoPlist);
  const std::string probe = folder.Write("My App.app/Contents/MacOS/probe",
                                         "#!/bin/sh\n"
                                         "out=\"$1\"; shift\n"
                                         "printf '[%s]' \"$@\" > \"$out.tmp\"\n"
                                         "[ -t 1 ] || printf ' detached' >> \"$out.tmp\"\n"
                                         "echo >> \"$out.tmp\"; mv \"$out.tmp\" \"$out\"\n");
  chmod(probe.c_str(), 0755);
  const std::string output = folder.Path("ran.txt");
  const OpenRun run =
      RunOpen("-a \"" + folder.Path("My App.app") + "\" --args " + output + " one \"two words\"");
  EXPECT_EQ(run.fResult, 0);
  EXPECT_EQ(run.fStatus, 0) << run.fError;
  EXPECT_EQ(WaitForLine(output), "[one][two words] detached\n");
}

TEST(OpenTool, MissingBundleOrExecutableFailsWithAMessage) {
  test::TempFolder folder;
  folder.Write("NoExe.app/Contents/Info.plist", kInfoPlist);
  folder.Write("NoPlist.app/Contents/MacOS/probe", "#!/bin/sh\n");
  struct Case {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"-a " + folder.Path("Missing.app"), "no application bundle at"},
      {"-a " + folder.Path("NoExe.app"), "no executable program at"},
      {"-a " + folder.Path("NoPlist.app"), "cannot read"},
      {"-x something", "usage: open -a BUNDLE"},
  };
  for (const Case& c : cases) {
    const OpenRun run = RunOpen(c.arguments);
    EXPECT_EQ(run.fResult, 0) << c.arguments;
    EXPECT_EQ(run.fStatus, 1) << c.arguments;
    EXPECT_NE(run.fError.find(c.message), std::string::npos) << run.fError;
  }
}

}  // namespace
}  // namespace zeft
