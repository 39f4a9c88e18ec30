// What a person reads when an update fails: the log lines, the alert and
// the standard error of the built updater say what failed, on which POSIX
// path and why, in sentences rather than error codes.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "UpdaterWorld.h"
#include "support/TempFolder.h"

namespace zeft {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::UpdaterRun;
using test::UpdaterWorld;

// The lines of `text` that hold `wanted`.
std::vector<std::string> LinesWith(const std::string& text, const std::string& wanted) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.find(wanted) != std::string::npos) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Nothing a person reads shows a path in the ':' form or a bare code.
void ExpectReadable(const std::string& text) {
  EXPECT_EQ(text.find("Root:"), std::string::npos) << text;
  EXPECT_EQ(text.find("Error code:"), std::string::npos) << text;
}

// The new bundle does not fit the small file system of the installed one:
// the log says which file could not be copied where, and why.
TEST(UpdaterMessages, AFullDiskIsToldWithItsPathAndTheSystemsReason) {
  UpdaterWorld world;
  const std::string small = world.Path("Small");
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here (needs root and mount rights)";
  world.MakeBundle("Small/Demo.app", "1");
  std::ofstream(world.Path("Download/Demo.app/Contents/Resources/big.bin"))
      << std::string(2 << 20, 'x');

  const UpdaterRun run = world.Update({"--silent", "--log-dir", world.Path("logs"),
                                       small + "/Demo.app", world.Path("Download/Demo.app")});
  const std::string log = world.LogText();
  ::umount2(small.c_str(), MNT_DETACH);

  EXPECT_EQ(run.fExitCode, 2);
  ExpectReadable(log);
  const std::vector<std::string> full = LinesWith(log, ": No space left on device.");
  ASSERT_FALSE(full.empty()) << log;
  // "The file '<source>' could not be copied to '<destination>': ...", or
  // the same of the folder: a sentence naming what failed by its POSIX path.
  EXPECT_TRUE(std::any_of(full.begin(), full.end(), [&](const std::string& line) {
    return line.find(" could not be copied") != std::string::npos &&
           (line.find("'" + world.Path("Download/Demo.app/")) != std::string::npos ||
            line.find("'" + small + "/") != std::string::npos);
  })) << log;
  // The updater's own texts name their paths the same way.
  EXPECT_FALSE(LinesWith(log, "'" + small + "/Demo.app").empty()) << log;
}

// A log folder that is a file: the only output is the alert, and it must
// say what went wrong, not "Error code: 652 (zeft)".
TEST(UpdaterMessages, ALogFolderThatIsAFileIsToldAsASentence) {
  UpdaterWorld world;
  const std::string notAFolder = world.Path("log-file");
  std::ofstream(notAFolder) << "a file\n";

  const UpdaterRun run = world.Update(
      {"--log-dir", notAFolder, world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")});

  EXPECT_NE(run.fExitCode, 0);
  const std::string output = run.fOut + run.fError;
  ExpectReadable(output);
  // "The folder '<path>/' could not be created: File exists."
  EXPECT_NE(output.find("'" + notAFolder + "/' could not be created: "), std::string::npos)
      << output;
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo.app/Contents/Resources/version.txt")), "1");
}

}  // namespace
}  // namespace zeft
