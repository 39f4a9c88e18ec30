// What a person reads when an update fails: the log lines, the alert and
// the standard error of the built updater say what failed, on which POSIX
// path and why, in sentences rather than error codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace zeft {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TempFolder;

struct Outcome {
  int fExitCode = -1;
  std::string fOutput;  // standard output and standard error
};

// A scratch HOME with an `open` that succeeds, an installed v1 bundle and
// a downloaded v2 bundle; runs the built updater on them.
class MessagesWorld {
 public:
  MessagesWorld() {
    fs::create_directories(fTemp.Path("home"));
    const std::string open = fTemp.Write("bin/open", "#!/bin/sh\nexit 0\n");
    ::chmod(open.c_str(), 0755);
    MakeBundle("Installed/Demo.app", "1");
    MakeBundle("Download/Demo.app", "2");
  }

  std::string Path(const std::string& relative) const { return fTemp.Path(relative); }

  void MakeBundle(const std::string& relative, const std::string& version) const {
    fTemp.Write(relative + "/Contents/Info.plist",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>CFBundleExecutable</key><string>demo</string></dict></plist>\n");
    const std::string executable =
        fTemp.Write(relative + "/Contents/MacOS/demo", "#!/bin/sh\necho v" + version + "\n");
    ::chmod(executable.c_str(), 0755);
    fTemp.Write(relative + "/Contents/Resources/version.txt", version);
  }

  Outcome Update(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), ZEFT_UPDATER_PATH);
    const std::string output = Path("output.txt");
    const std::string home = "HOME=" + Path("home");
    const std::string path = "PATH=" + Path("bin") + ":/usr/bin:/bin";
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp = {const_cast<char*>(home.c_str()), const_cast<char*>(path.c_str()),
                               const_cast<char*>("LANG=C"), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int in = ::open("/dev/null", O_RDONLY);
      const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(out, 2);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Outcome outcome;
    outcome.fExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.fOutput = ReadWholeFile(output);
    return outcome;
  }

  // Every log file of the log folder, in name order.
  std::string LogText() const {
    std::vector<std::string> names;
    if (fs::is_directory(Path("logs")))
      for (const auto& entry : fs::directory_iterator(Path("logs"))) names.push_back(entry.path());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += ReadWholeFile(name);
    return text;
  }

 private:
  TempFolder fTemp;
};

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
  MessagesWorld world;
  const std::string small = world.Path("Small");
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here (needs root and mount rights)";
  world.MakeBundle("Small/Demo.app", "1");
  std::ofstream(world.Path("Download/Demo.app/Contents/Resources/big.bin"))
      << std::string(2 << 20, 'x');

  const Outcome outcome = world.Update({"--silent", "--log-dir", world.Path("logs"),
                                        small + "/Demo.app", world.Path("Download/Demo.app")});
  const std::string log = world.LogText();
  ::umount2(small.c_str(), MNT_DETACH);

  EXPECT_EQ(outcome.fExitCode, 2);
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
  MessagesWorld world;
  const std::string notAFolder = world.Path("log-file");
  std::ofstream(notAFolder) << "a file\n";

  const Outcome outcome = world.Update(
      {"--log-dir", notAFolder, world.Path("Installed/Demo.app"), world.Path("Download/Demo.app")});

  EXPECT_NE(outcome.fExitCode, 0);
  ExpectReadable(outcome.fOutput);
  // "The folder '<path>/' could not be created: File exists."
  EXPECT_NE(outcome.fOutput.find("'" + notAFolder + "/' could not be created: "), std::string::npos)
      << outcome.fOutput;
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo.app/Contents/Resources/version.txt")), "1");
}

}  // namespace
}  // namespace zeft
