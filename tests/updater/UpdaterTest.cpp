// The built updater, driven from outside: command line, exit codes, what
// ends up on disk, what `open` was asked to do and what the log says.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/RepeatCount.h"
#include "support/TempFolder.h"
#include "support/ToolboxTestEnvironment.h"

namespace zeft {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

using test::ReadWholeFile;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

mode_t Mode(const std::string& path) {
  struct stat info = {};
  ::lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Sets or clears the immutable flag of a folder (privileged); false when
// the file system or the user cannot.
bool SetImmutable(const std::string& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

struct UpdaterRun {
  int fExitCode = -1;
  std::string fOut;
  std::string fError;
};

// A scratch world: HOME, an "open" that records its arguments, an
// installed v1 bundle and a downloaded v2 bundle.
class UpdaterWorld {
 public:
  // In a scratch folder under `parent`.
  explicit UpdaterWorld(const std::string& parent = "/tmp") : fTemp(parent) {
    fs::create_directories(fTemp.Path("home"));
    fs::create_directories(fTemp.Path("bin"));
    SetOpenExitStatus(0);
    MakeBundle("Installed/Demo.app", "1");
    MakeBundle("Download/Demo.app", "2");
  }

  std::string Path(const std::string& relative) const { return fTemp.Path(relative); }

  void MakeBundle(const std::string& relative, const std::string& version) const {
    fTemp.Write(relative + "/Contents/Info.plist",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>CFBundleExecutable</key><string>demo</string>"
                "<key>CFBundleShortVersionString</key><string>" +
                    version + "</string></dict></plist>\n");
    const std::string executable =
        fTemp.Write(relative + "/Contents/MacOS/demo", "#!/bin/sh\necho v" + version + "\n");
    ::chmod(executable.c_str(), 0755);
    fTemp.Write(relative + "/Contents/Resources/version.txt", version);
  }

  // The recording `open`: appends one line per argument, then a blank line.
  void SetOpenExitStatus(int status) const {
    const std::string script =
        fTemp.Write("bin/open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" +
                                    Path("open.log") + "'\necho >> '" + Path("open.log") +
                                    "'\nexit " + std::to_string(status) + "\n");
    ::chmod(script.c_str(), 0755);
  }
  void RemoveOpen() const { fs::remove(Path("bin/open")); }
  std::vector<std::string> OpenCalls() const { return Lines(ReadWholeFile(Path("open.log"))); }

  std::string Trashed(const std::string& name) const {
    return Path("home/.local/share/Trash/files/" + name);
  }

  // The text of every log file of the log folder, in name order.
  std::string LogText() const {
    std::vector<std::string> names;
    if (fs::exists(Path("logs")))
      for (const auto& entry : fs::directory_iterator(Path("logs"))) names.push_back(entry.path());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += ReadWholeFile(name);
    return text;
  }

  // Runs a copy of the built Updater.app from then on, whose English
  // localization `edit` changed; the path of the copy's localization file.
  void UseUpdaterCopy(const std::function<void(std::string&)>& edit) {
    const fs::path built = fs::path(ZEFT_UPDATER_PATH);
    const fs::path bundle = built.parent_path().parent_path().parent_path();
    const fs::path copy = Path("Tools") / bundle.filename();
    fs::create_directories(copy.parent_path());
    fs::copy(bundle, copy, fs::copy_options::recursive);
    const std::string xliff = copy / "Contents/Resources/en.lproj/Updater.xlf";
    std::string text = ReadWholeFile(xliff);
    edit(text);
    std::ofstream(xliff, std::ios::trunc) << text;
    fUpdater = copy / "Contents/MacOS" / built.filename();
  }

  UpdaterRun Update(std::vector<std::string> arguments, int* childPid = nullptr) const {
    arguments.insert(arguments.begin(), fUpdater);
    const std::string out = Path("stdout.txt");
    const std::string error = Path("stderr.txt");
    const std::string home = "HOME=" + Path("home");
    const std::string path = "PATH=" + Path("bin") + ":/usr/bin:/bin";
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp = {const_cast<char*>(home.c_str()), const_cast<char*>(path.c_str()),
                               const_cast<char*>("LANG=C"), nullptr};
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::chdir(fTemp.Path().c_str());
      const int in = ::open("/dev/null", O_RDONLY);
      const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int e = ::open(error.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(in, 0);
      ::dup2(o, 1);
      ::dup2(e, 2);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    if (childPid != nullptr) *childPid = pid;
    UpdaterRun run;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.fExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.fOut = ReadWholeFile(out);
    run.fError = ReadWholeFile(error);
    return run;
  }

  // The two bundles in the usual order, with the log folder.
  UpdaterRun UpdateDemo(std::vector<std::string> more = {}) const {
    std::vector<std::string> arguments = {"--log-dir", Path("logs")};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(Path("Installed/Demo.app"));
    arguments.push_back(Path("Download/Demo.app"));
    return Update(arguments);
  }

  std::string InstalledVersion() const {
    return ReadWholeFile(Path("Installed/Demo.app/Contents/Resources/version.txt"));
  }

 private:
  TempFolder fTemp;
  std::string fUpdater = ZEFT_UPDATER_PATH;
};

// The log lines' messages, without their numbers, times and sources.
std::vector<std::string> LogMessages(const std::string& text) {
  std::vector<std::string> messages;
  for (const std::string& line : Lines(text)) {
    const size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    std::string message = line.substr(dash + 3);
    if (message.size() >= 3 && message.substr(message.size() - 3) == " ()")
      message.resize(message.size() - 3);
    messages.push_back(message);
  }
  return messages;
}

bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
  return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

TEST(UpdaterCommandLine, VersionPrintsTheBundleVersionAndUpdatesNothing) {
  UpdaterWorld world;
  const UpdaterRun run = world.Update({"--version", "--pid", "1", world.Path("Installed/Demo.app"),
                                       world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 0);
  EXPECT_EQ(run.fOut, std::string(ZEFT_UPDATER_VERSION) + "\n");
  EXPECT_EQ(world.InstalledVersion(), "1");
}

TEST(UpdaterCommandLine, HelpListsTheOptionsAndExitsWithZero) {
  UpdaterWorld world;
  const UpdaterRun run = world.Update({"--help"});
  EXPECT_EQ(run.fExitCode, 0);
  for (const char* wanted : {"Novu Updater", "<path of app to update>", "--pid=VALUE",
                             "--restart-headless", "--version", "--log-dir=VALUE"}) {
    EXPECT_NE(run.fOut.find(wanted), std::string::npos) << wanted;
  }
}

TEST(UpdaterCommandLine, BadCommandLinesPrintTheirMessagesAndExitWithOne) {
  const std::string outdated = "mismatched value for option --outdated-app\n\n";
  const std::string upToDate = "mismatched value for option --uptodate-app\n\n";
  const struct {
    std::vector<std::string> fArguments;
    std::string fError;
  } cases[] = {
      {{}, upToDate + outdated},
      {{"/a.app"}, "not enough arguments from the command line (required <dest> <src>)\n\n"},
      {{"/a.app", "/b.app", "/c.app"}, "two many arguments from the command line\n"},
      {{"--outdated-app", "/x.app", "/a.app", "/b.app"}, outdated},
      {{"--outdated-app", "/x.app", "--uptodate-app", "/y.app", "/a.app", "/b.app"},
       outdated + upToDate},
      {{"--uptodate-app", "/b.app"}, outdated},
      {{"--outdated-app", "/a.app"}, upToDate},
  };
  UpdaterWorld world;
  for (const auto& c : cases) {
    const UpdaterRun run = world.Update(c.fArguments);
    EXPECT_EQ(run.fExitCode, 1) << c.fError;
    EXPECT_EQ(run.fError, c.fError);
  }
  EXPECT_EQ(world.InstalledVersion(), "1");
}

TEST(UpdaterUpdate, SwapsTheBundlesRelaunchesAndTrashesTheOldOne) {
  UpdaterWorld world;
  fs::create_symlink("Resources/version.txt", world.Path("Download/Demo.app/Contents/link"));
  ::chmod(world.Path("Download/Demo.app/Contents/Resources/version.txt").c_str(), 0640);
  const UpdaterRun run = world.UpdateDemo();
  ASSERT_EQ(run.fExitCode, 0) << run.fError;
  EXPECT_EQ(run.fOut, "");

  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_EQ(fs::read_symlink(world.Path("Installed/Demo.app/Contents/link")),
            "Resources/version.txt");
  EXPECT_EQ(Mode(world.Path("Installed/Demo.app/Contents/Resources/version.txt")), 0640u);
  EXPECT_EQ(Mode(world.Path("Installed/Demo.app/Contents/MacOS/demo")), 0755u);
  EXPECT_EQ(ReadWholeFile(world.Path("Download/Demo.app/Contents/Resources/version.txt")), "2");
  EXPECT_EQ(ReadWholeFile(world.Trashed("Demo_old0001.app/Contents/Resources/version.txt")), "1");
  EXPECT_FALSE(fs::exists(world.Path("Installed/Demo_old0001.app")));

  const std::vector<std::string> open = {"-a", world.Path("Installed/Demo.app/"), ""};
  EXPECT_EQ(world.OpenCalls(), open);

  const std::vector<std::string> messages = LogMessages(world.LogText());
  const std::vector<std::string> expected = {
      "Waiting for external process to quit",
      "Skipping process wait (negative pid)",
      "Proceeding with up-to-date application install...",
      "Proceeding with up-to-date application restart...",
      "Restarting installed application (open -a \"" + world.Path("Installed/Demo.app/") + "\")...",
      "Updated application restarted, returned 0",
      "Up-to-date application restarted",
  };
  ASSERT_GE(messages.size(), expected.size() + 2);
  EXPECT_EQ(messages.front().rfind("Updater starting - ", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(messages.begin() + 1, messages.end() - 1), expected);
  EXPECT_EQ(messages.back().rfind("Update successful - ", 0), 0u);
}

// A Trash that refuses the old bundle after a good relaunch: the bundle is
// deleted instead and the refusal is only a warning.
TEST(UpdaterUpdate, ATrashThatRefusesTheOldBundleIsOnlyAWarning) {
  UpdaterWorld world;
  // A file where the Trash folder belongs: nothing can be put in it.
  fs::create_directories(world.Path("home/.local/share"));
  std::ofstream(world.Path("home/.local/share/Trash")) << "not a folder";
  const UpdaterRun run = world.UpdateDemo();
  EXPECT_EQ(run.fExitCode, 0) << run.fError;
  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_FALSE(fs::exists(world.Path("Installed/Demo_old0001.app")));
  EXPECT_EQ(ReadWholeFile(world.Path("home/.local/share/Trash")), "not a folder");
  const std::string log = world.LogText();
  EXPECT_NE(log.find("] WARN"), std::string::npos) << log;
  EXPECT_EQ(log.find("] ERROR"), std::string::npos) << log;
  EXPECT_TRUE(Contains(LogMessages(log), "Up-to-date application restarted"));
  EXPECT_EQ(LogMessages(log).back().rfind("Update successful - ", 0), 0u) << log;
}

TEST(UpdaterUpdate, MissingSameOrNestedBundlesFailWithTwoAndMoveNothing) {
  const struct {
    const char* fName;
    std::string fOutdated;
    std::string fUpToDate;
  } cases[] = {
      {"outdated missing", "Gone/Demo.app", "Download/Demo.app"},
      {"up-to-date missing", "Installed/Demo.app", "Gone/Demo.app"},
      {"same bundle", "Installed/Demo.app", "Installed/Demo.app"},
      {"same bundle, other spelling", "Installed/Demo.app/", "Installed/../Installed/Demo.app"},
      {"up-to-date inside", "Installed/Demo.app", "Installed/Demo.app/Contents/Resources/New.app"},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Installed/Demo.app/Contents/Resources/New.app", "3");
    const UpdaterRun run = world.Update({"--silent", "--log-dir", world.Path("logs"),
                                         world.Path(c.fOutdated), world.Path(c.fUpToDate)});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_EQ(world.InstalledVersion(), "1") << c.fName;
    EXPECT_FALSE(fs::exists(world.Path("Installed/Demo_old0001.app"))) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    EXPECT_NE(world.LogText().find("Update failed - "), std::string::npos) << c.fName;
  }
}

TEST(UpdaterUpdate, TakenAsideNamesAreSkipped) {
  UpdaterWorld world;
  world.MakeBundle("Installed/Demo_old0001.app", "0");
  ASSERT_EQ(world.UpdateDemo().fExitCode, 0);
  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo_old0001.app/Contents/Resources/version.txt")),
            "0");
  EXPECT_EQ(ReadWholeFile(world.Trashed("Demo_old0002.app/Contents/Resources/version.txt")), "1");
}

// A folder mounted on itself cannot be renamed while it stays a mount
// point (EBUSY), which passes once it is unmounted: a failure that a retry
// mends. False when this user cannot mount.
bool MountOnItself(const std::string& path) {
  return ::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

// An installed bundle that cannot be moved for a while: the move is
// retried every 3 s, five times at most, and an attempt that succeeds
// leaves no error of the earlier ones behind. A failure that no wait mends
// (the immutable flag: EPERM) is reported at once.
TEST(UpdaterUpdate, TheMoveAsideIsRetriedAndOnlyAFinalFailureCounts) {
  enum Hold { kBusy, kImmutable };
  const struct {
    const char* fName;
    Hold fHold;
    bool fReleased;
    int fExitCode;
    const char* fInstalled;
    size_t fRetries;
  } cases[] = {
      {"busy, released during the first wait", kBusy, true, 0, "2", 0},
      // Each error is logged twice: by the dump and by the process logger.
      {"busy, never released", kBusy, false, 2, "1", 8},
      {"immutable: not retried", kImmutable, false, 2, "1", 0},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const std::string bundle = world.Path("Installed/Demo.app");
    if (c.fHold == kBusy && !MountOnItself(bundle))
      GTEST_SKIP() << "a folder cannot be mounted here";
    // The flag on the bundle's own folder forbids renaming it.
    if (c.fHold == kImmutable && !SetImmutable(bundle, true))
      GTEST_SKIP() << "the immutable flag cannot be set here";
    auto release = [&c, bundle] {
      if (c.fHold == kBusy) ::umount2(bundle.c_str(), MNT_DETACH);
      if (c.fHold == kImmutable) SetImmutable(bundle, false);
    };
    std::thread releaser;
    if (c.fReleased) {
      releaser = std::thread([&release] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        release();
      });
    }
    const auto start = std::chrono::steady_clock::now();
    const UpdaterRun run = world.UpdateDemo({"--silent"});
    const auto took = std::chrono::steady_clock::now() - start;
    if (releaser.joinable()) releaser.join();
    if (!c.fReleased) release();
    EXPECT_EQ(run.fExitCode, c.fExitCode) << c.fName;
    EXPECT_EQ(world.InstalledVersion(), c.fInstalled) << c.fName;
    const std::string log = world.LogText();
    size_t retries = 0;
    for (size_t at = log.find("could not be moved aside to '"); at != std::string::npos;
         at = log.find("could not be moved aside to '", at + 1))
      ++retries;
    EXPECT_EQ(retries, c.fRetries) << c.fName << log;
    if (c.fHold == kImmutable) {
      EXPECT_LT(took, std::chrono::seconds(3)) << c.fName;
    }
    EXPECT_EQ(world.OpenCalls().empty(), !c.fReleased) << c.fName;
    // Nothing but the bundle, whatever happened: no copy left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(world.Path("Installed")), {}), 1) << c.fName;
  }
}

// A target folder on a small file system that cannot hold the new bundle:
// the copy fails, the old bundle goes back in place.
TEST(UpdaterUpdate, AFullDiskRollsBackToTheOldApplication) {
  UpdaterWorld world;
  const std::string small = world.Path("Small");
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here";
  world.MakeBundle("Small/Demo.app", "1");
  std::ofstream(world.Path("Download/Demo.app/Contents/Resources/big.bin"))
      << std::string(2 << 20, 'x');
  const UpdaterRun run = world.Update({"--silent", "--log-dir", world.Path("logs"),
                                       small + "/Demo.app", world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 2);
  EXPECT_EQ(ReadWholeFile(small + "/Demo.app/Contents/Resources/version.txt"), "1");
  EXPECT_FALSE(fs::exists(small + "/Demo_old0001.app"));
  EXPECT_TRUE(world.OpenCalls().empty());
  EXPECT_TRUE(
      Contains(LogMessages(world.LogText()), "Rolling back up-to-date application install"));
  ::umount2(small.c_str(), MNT_DETACH);
}

// The folder holding the installed bundle cannot be changed (the immutable
// flag stands in for a read-only folder, whose modes root would ignore):
// the bundle cannot be moved aside, every retry fails and nothing moves.
TEST(UpdaterUpdate, AReadOnlyTargetFolderKeepsTheOldApplication) {
  UpdaterWorld world;
  if (!SetImmutable(world.Path("Installed"), true))
    GTEST_SKIP() << "the immutable flag cannot be set here";
  const UpdaterRun run = world.UpdateDemo({"--silent"});
  SetImmutable(world.Path("Installed"), false);
  EXPECT_EQ(run.fExitCode, 2);
  EXPECT_EQ(world.InstalledVersion(), "1");
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo.app/Contents/MacOS/demo")),
            "#!/bin/sh\necho v1\n");
  EXPECT_EQ(fs::directory_iterator(world.Path("Installed"))->path().filename(), "Demo.app");
  EXPECT_EQ(std::distance(fs::directory_iterator(world.Path("Installed")), {}), 1);
  EXPECT_TRUE(world.OpenCalls().empty());
  EXPECT_TRUE(Contains(LogMessages(world.LogText()), "Up-to-date application install failed"));
  EXPECT_NE(world.LogText().find("Update failed - "), std::string::npos);
}

// Whether the two trees hold the same names, kinds, modes, link targets
// and file contents.
bool SameTree(const std::string& left, const std::string& right) {
  auto listing = [](const std::string& root) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
      names.push_back(fs::relative(it->path(), root).string());
    std::sort(names.begin(), names.end());
    return error ? std::vector<std::string>{"?"} : names;
  };
  const std::vector<std::string> names = listing(left);
  if (names != listing(right) || !fs::is_directory(left)) return false;
  for (const std::string& name : names) {
    const std::string a = left + "/" + name;
    const std::string b = right + "/" + name;
    struct stat first = {};
    struct stat second = {};
    if (::lstat(a.c_str(), &first) != 0 || ::lstat(b.c_str(), &second) != 0) return false;
    if (first.st_mode != second.st_mode) return false;
    if (S_ISLNK(first.st_mode) && fs::read_symlink(a) != fs::read_symlink(b)) return false;
    if (S_ISREG(first.st_mode) && ReadWholeFile(a) != ReadWholeFile(b)) return false;
  }
  return true;
}

// The hidden items of a folder: what an interrupted update may leave.
std::vector<std::string> HiddenItems(const std::string& folder) {
  std::vector<std::string> hidden;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name[0] == '.') hidden.push_back(name);
  }
  return hidden;
}

// Interrupts updates of bundles whose copy lasts a good part of a second,
// at random moments over the length of an uninterrupted update.
class InterruptedUpdates {
 public:
  static constexpr int kFiles = 1500;

  // Memory, where there is a file system in it: the disk of a shared
  // machine would make each round slow, and kill -9 spares what is written
  // either way.
  static std::string Parent() { return fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp"; }

  InterruptedUpdates() {
    UpdaterWorld world(Parent());
    Fill(world);
    const auto start = std::chrono::steady_clock::now();
    fFullRun = world.UpdateDemo({"--silent"});
    fLength = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
  }

  const UpdaterRun& FullRun() const { return fFullRun; }
  std::chrono::microseconds Length() const { return fLength; }

  // The bundles of `world` made big: v1 installed, its twin kept aside as
  // the reference, v2 downloaded.
  static void Fill(const UpdaterWorld& world) {
    world.MakeBundle("Reference/Demo.app", "1");
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "/Contents/Resources/f" + std::to_string(i);
      const std::string text = std::to_string(i) + std::string(4096, 'x');
      std::ofstream(world.Path("Installed/Demo.app") + name) << "1:" << text;
      std::ofstream(world.Path("Reference/Demo.app") + name) << "1:" << text;
      std::ofstream(world.Path("Download/Demo.app") + name) << "2:" << text;
    }
  }

  // Starts the update of a filled world, sends `signal` at a random moment
  // (after the log opened, but for SIGKILL) and waits for the updater's
  // end; its exit code, -1 when killed.
  int Interrupt(const UpdaterWorld& world, int signal) {
    const std::string installed = world.Path("Installed/Demo.app");
    const std::string download = world.Path("Download/Demo.app");
    const std::string logs = world.Path("logs");
    const std::string home = "HOME=" + world.Path("home");
    const std::string path = "PATH=" + world.Path("bin") + ":/usr/bin:/bin";
    const pid_t updater = ::fork();
    if (updater == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const char* argv[] = {ZEFT_UPDATER_PATH, "--silent",       "--log-dir", logs.c_str(),
                            installed.c_str(), download.c_str(), nullptr};
      const char* envp[] = {home.c_str(), path.c_str(), nullptr};
      ::execve(argv[0], const_cast<char**>(argv), const_cast<char**>(envp));
      ::_exit(127);
    }
    if (signal != SIGKILL) {
      // Other signals are the program's to handle once it runs: they are
      // sent after it opened its log.
      for (int wait = 0; wait < 10000 && !fs::exists(logs); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(
        std::uniform_int_distribution<int64_t>(0, fLength.count())(fRandom)));
    ::kill(updater, signal);
    int status = 0;
    ::waitpid(updater, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  UpdaterRun fFullRun;
  std::chrono::microseconds fLength{0};
  std::mt19937 fRandom{20261210};
};

// Killed at any moment, the update leaves the installed path holding the
// whole old or the whole new application, and the same command run again
// finishes the update and leaves nothing hidden behind.
TEST(UpdaterReliability, AKilledUpdateAlwaysLeavesAWholeApplicationAndARerunFinishesIt) {
  // The updater runs in its own process: the test's allocator changes nothing.
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  InterruptedUpdates updates;
  ASSERT_EQ(updates.FullRun().fExitCode, 0) << updates.FullRun().fError;
  std::printf("an uninterrupted update takes %lld ms\n",
              static_cast<long long>(updates.Length().count() / 1000));
  // Fifty rounds in the full run, twenty in CI.
  const int kRuns = test::RepeatCount(50, 20);
  int oldInPlace = 0;
  int newInPlace = 0;
  for (int round = 0; round < kRuns; ++round) {
    UpdaterWorld world(InterruptedUpdates::Parent());
    InterruptedUpdates::Fill(world);
    updates.Interrupt(world, SIGKILL);
    const std::string installed = world.Path("Installed/Demo.app");
    if (SameTree(installed, world.Path("Reference/Demo.app"))) {
      ++oldInPlace;
    } else if (SameTree(installed, world.Path("Download/Demo.app"))) {
      ++newInPlace;
    } else {
      ADD_FAILURE() << "round " << round << ": no whole application in place";
    }
    const UpdaterRun rerun = world.UpdateDemo({"--silent"});
    EXPECT_EQ(rerun.fExitCode, 0) << "round " << round << ": " << world.LogText();
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{})
        << "round " << round;
  }
  std::printf("after %d kills: old in place %d, new in place %d\n", kRuns, oldInPlace, newInPlace);
}

// The terminal that started the update closes (SIGHUP) at any moment: the
// update goes on to its end and says so by its exit code.
TEST(UpdaterReliability, AHangUpLetsTheUpdateFinish) {
  if (test::ToolboxTestEnvironment::Allocator() == kAllocatorBlock)
    GTEST_SKIP() << "the same run as over the default allocator";
  InterruptedUpdates updates;
  ASSERT_EQ(updates.FullRun().fExitCode, 0) << updates.FullRun().fError;
  // Fifty rounds in the full run, twenty in CI.
  const int kRuns = test::RepeatCount(50, 20);
  for (int round = 0; round < kRuns; ++round) {
    UpdaterWorld world(InterruptedUpdates::Parent());
    InterruptedUpdates::Fill(world);
    EXPECT_EQ(updates.Interrupt(world, SIGHUP), 0) << "round " << round << ": " << world.LogText();
    const std::string installed = world.Path("Installed/Demo.app");
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
    EXPECT_EQ(HiddenItems(world.Path("Installed")), std::vector<std::string>{})
        << "round " << round;
    EXPECT_EQ(world.UpdateDemo({"--silent"}).fExitCode, 0) << "round " << round;
    EXPECT_TRUE(SameTree(installed, world.Path("Download/Demo.app"))) << "round " << round;
  }
}

// An up-to-date folder that is no whole application never replaces the
// installed one: the run fails with its own error, exit code 2, before
// anything moves.
TEST(UpdaterUpdate, AnUpToDateFolderThatIsNoApplicationMovesNothing) {
  const struct {
    const char* fName;
    std::function<void(const UpdaterWorld&)> fSpoil;
  } cases[] = {
      {"no Contents",
       [](const UpdaterWorld& world) {
         fs::remove_all(world.Path("Download/Demo.app/Contents"));
         std::ofstream(world.Path("Download/Demo.app/readme.txt")) << "hello";
       }},
      {"no Info.plist",
       [](const UpdaterWorld& world) {
         fs::remove(world.Path("Download/Demo.app/Contents/Info.plist"));
       }},
      {"unreadable Info.plist",
       [](const UpdaterWorld& world) {
         std::ofstream(world.Path("Download/Demo.app/Contents/Info.plist")) << "<plist><dict>";
       }},
      {"no executable named",
       [](const UpdaterWorld& world) {
         std::ofstream(world.Path("Download/Demo.app/Contents/Info.plist"))
             << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict></dict></plist>\n";
       }},
      {"no executable",
       [](const UpdaterWorld& world) {
         fs::remove(world.Path("Download/Demo.app/Contents/MacOS/demo"));
       }},
      {"executable not executable",
       [](const UpdaterWorld& world) {
         ::chmod(world.Path("Download/Demo.app/Contents/MacOS/demo").c_str(), 0644);
       }},
      {"executable a folder",
       [](const UpdaterWorld& world) {
         fs::remove(world.Path("Download/Demo.app/Contents/MacOS/demo"));
         fs::create_directories(world.Path("Download/Demo.app/Contents/MacOS/demo"));
       }},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    world.MakeBundle("Reference/Demo.app", "1");
    c.fSpoil(world);
    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_TRUE(SameTree(world.Path("Installed/Demo.app"), world.Path("Reference/Demo.app")))
        << c.fName;
    EXPECT_EQ(std::distance(fs::directory_iterator(world.Path("Installed")), {}), 1) << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    const std::string log = world.LogText();
    // The sentence names the folder as the user typed it, in POSIX form.
    EXPECT_NE(log.find("The up-to-date application '" + world.Path("Download/Demo.app/") +
                       "' is not a whole application"),
              std::string::npos)
        << c.fName << log;
    EXPECT_NE(log.find("Update failed - "), std::string::npos) << c.fName;
  }
}

// What an interrupted run left is undone before anything else: hidden
// copies of this bundle go, an aside bundle comes back when the installed
// one is missing, and the update then goes through.
TEST(UpdaterUpdate, WhatAnInterruptedRunLeftIsUndoneFirst) {
  const struct {
    const char* fName;
    bool fInstalledMissing;
    std::vector<std::string> fAsideVersions;  // of Demo_old0001.app, Demo_old0002.app...
    const char* fTrashedVersion;              // what the update moved to the Trash
    std::vector<std::string> fAsideLeft;      // aside names still there after the update
  } cases[] = {
      {"hidden copies only", false, {}, "1", {}},
      {"installed missing, one aside", true, {"1"}, "1", {}},
      // The newest aside bundle is the last one moved, here the second.
      {"installed missing, two asides", true, {"0", "1"}, "1", {"Demo_old0001.app"}},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const std::string folder = world.Path("Installed/");
    // Partial copies of this bundle, and look-alikes that are not.
    const std::vector<std::string> partial = {".Demo.app.zeft-0123456789ab",
                                              ".Demo.app.zeft-a1b2c3d4e5f6"};
    const std::vector<std::string> others = {".Demo.app.zeft-0123", ".Other.app.zeft-0123456789ab",
                                             ".Demo.app.zeft-0123456789AB"};
    for (const std::string& name : partial) world.MakeBundle("Installed/" + name, "2");
    fs::create_directories(world.Path("Installed/" + partial[0] + "/Contents/locked"));
    ::chmod(world.Path("Installed/" + partial[0] + "/Contents/locked").c_str(), 0);
    for (const std::string& name : others) std::ofstream(folder + name) << "keep";
    for (size_t i = 0; i < c.fAsideVersions.size(); ++i) {
      const std::string name = "Demo_old000" + std::to_string(i + 1) + ".app";
      world.MakeBundle("Installed/" + name, c.fAsideVersions[i]);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (c.fInstalledMissing) fs::remove_all(world.Path("Installed/Demo.app"));

    const UpdaterRun run = world.UpdateDemo({"--silent"});
    EXPECT_EQ(run.fExitCode, 0) << c.fName << world.LogText();
    EXPECT_EQ(world.InstalledVersion(), "2") << c.fName;
    EXPECT_EQ(ReadWholeFile(world.Trashed("Demo_old" +
                                          std::string(c.fAsideLeft.empty() ? "0001" : "0002") +
                                          ".app/Contents/Resources/version.txt")),
              c.fTrashedVersion)
        << c.fName;
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder))
      left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = others;
    expected.push_back("Demo.app");
    expected.insert(expected.end(), c.fAsideLeft.begin(), c.fAsideLeft.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected) << c.fName;

    const std::vector<std::string> messages = LogMessages(world.LogText());
    for (const std::string& name : partial) {
      EXPECT_TRUE(Contains(messages, "Removed the partial copy left by an interrupted update: '" +
                                         folder + name + "'"))
          << c.fName << world.LogText();
    }
    if (c.fInstalledMissing) {
      const std::string aside = c.fAsideVersions.size() == 1 ? "0001" : "0002";
      EXPECT_TRUE(Contains(
          messages, "Put the application set aside by an interrupted update back in place: '" +
                        folder + "Demo_old" + aside + ".app' to '" + folder + "Demo.app'"))
          << c.fName << world.LogText();
    }
  }
}

// `open` that fails says why on its standard error: the log keeps it.
TEST(UpdaterUpdate, WhatAFailingOpenSaysIsLogged) {
  UpdaterWorld world;
  const std::string script = world.Path("bin/open");
  std::ofstream(script, std::ios::trunc)
      << "#!/bin/sh\necho 'Unable to find application named Demo' >&2\nexit 1\n";
  ::chmod(script.c_str(), 0755);
  EXPECT_EQ(world.UpdateDemo().fExitCode, 0);
  const std::vector<std::string> messages = LogMessages(world.LogText());
  EXPECT_TRUE(Contains(messages, "The open command wrote: Unable to find application named Demo"))
      << world.LogText();
  EXPECT_TRUE(Contains(messages, "Updated application restarted, returned 1"));
}

TEST(UpdaterUpdate, AFailedRelaunchKeepsTheOldBundleAside) {
  UpdaterWorld world;
  world.RemoveOpen();
  const UpdaterRun run = world.UpdateDemo({"--silent"});
  EXPECT_EQ(run.fExitCode, 2);
  EXPECT_EQ(world.InstalledVersion(), "2");
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/Demo_old0001.app/Contents/Resources/version.txt")),
            "1");
  const std::vector<std::string> messages = LogMessages(world.LogText());
  EXPECT_TRUE(Contains(messages, "Up-to-date application restart failed"));
}

TEST(UpdaterUpdate, AnOpenThatFailsIsLoggedButNotJudged) {
  UpdaterWorld world;
  world.SetOpenExitStatus(3);
  EXPECT_EQ(world.UpdateDemo().fExitCode, 0);
  EXPECT_TRUE(Contains(LogMessages(world.LogText()), "Updated application restarted, returned 3"));
}

TEST(UpdaterUpdate, RestartParametersAndHeadlessModeReachOpen) {
  const struct {
    std::vector<std::string> fOptions;
    std::vector<std::string> fAfterBundle;
  } cases[] = {
      {{"--restart-headless"}, {"--args", "--headless"}},
      {{"--restart-params", "/tmp/params file"}, {"--args", "/tmp/params file"}},
      {{"--restart-params", "/tmp/params file", "--restart-headless"},
       {"--args", "/tmp/params file", "--headless"}},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    ASSERT_EQ(world.UpdateDemo(c.fOptions).fExitCode, 0);
    std::vector<std::string> expected = {"-a", world.Path("Installed/Demo.app/")};
    expected.insert(expected.end(), c.fAfterBundle.begin(), c.fAfterBundle.end());
    expected.push_back("");
    EXPECT_EQ(world.OpenCalls(), expected);
  }
}

// Names that a command line or a shell could split, expand or take for an
// option reach `open` whole: spaces, both quotes, backslashes, '$', '`',
// '*' and a leading '-'.
TEST(UpdaterUpdate, AwkwardBundleAndParameterNamesReachOpenWhole) {
  UpdaterWorld world;
  const std::string name = "-My \"Demo\" $HOME `id` * App's\\ 2\\.app";
  world.MakeBundle("Installed/" + name, "1");
  world.MakeBundle("Download/" + name, "2");
  const std::string params = world.Path("-params \"x\" 'y'\\");
  const UpdaterRun run =
      world.Update({"--silent", "--log-dir", world.Path("logs"), "--restart-params", params,
                    world.Path("Installed/" + name), world.Path("Download/" + name)});
  ASSERT_EQ(run.fExitCode, 0) << run.fError;
  EXPECT_EQ(ReadWholeFile(world.Path("Installed/" + name + "/Contents/Resources/version.txt")),
            "2");
  const std::vector<std::string> open = {"-a", world.Path("Installed/" + name + "/"), "--args",
                                         params, ""};
  EXPECT_EQ(world.OpenCalls(), open);
  EXPECT_TRUE(fs::exists(world.Trashed("-My \"Demo\" $HOME `id` * App's\\ 2\\_old0001.app")));
}

// Through the real `open`, the relaunched program is the installed bundle's
// executable by its exact path, however awkward the bundle's name.
TEST(UpdaterUpdate, TheRealOpenStartsTheInstalledExecutableByItsExactPath) {
  UpdaterWorld world;
  world.RemoveOpen();
  fs::create_symlink(ZEFT_OPEN_TOOL_PATH, world.Path("bin/open"));
  const std::string name = "My \"Demo\" $HOME `id` App's\\ 2.app";
  world.MakeBundle("Installed/" + name, "1");
  world.MakeBundle("Download/" + name, "2");
  const std::string ran = world.Path("ran.txt");
  std::ofstream(world.Path("Download/" + name + "/Contents/MacOS/demo"), std::ios::trunc)
      << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" << ran << ".tmp'\nmv '" << ran << ".tmp' '"
      << ran << "'\n";
  const std::string params = world.Path("params $x 'y'");
  const UpdaterRun run =
      world.Update({"--silent", "--log-dir", world.Path("logs"), "--restart-params", params,
                    world.Path("Installed/" + name), world.Path("Download/" + name)});
  ASSERT_EQ(run.fExitCode, 0) << run.fError;
  // The program runs detached: wait for its line (bounded).
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(ran) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::vector<std::string> started = {
      world.Path("Installed/" + name + "/Contents/MacOS/demo"), params};
  EXPECT_EQ(Lines(ReadWholeFile(ran)), started);
}

TEST(UpdaterProgress, TheProgressLineIsWrittenOnlyWithACallerLog) {
  const struct {
    std::vector<std::string> fOptions;
    std::string fOut;
  } cases[] = {
      {{"--caller-log", "caller.txt"}, "waitquit,-1\n"},
      {{"--caller-log="}, ""},
      {{}, ""},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    const UpdaterRun run = world.UpdateDemo(c.fOptions);
    EXPECT_EQ(run.fExitCode, 0);
    EXPECT_EQ(run.fOut, c.fOut);
    EXPECT_EQ(run.fError, "");
  }
}

// The caller reads the updater's output through a pipe: end of file comes
// right after the progress line, while the updater still waits.
TEST(UpdaterProgress, TheCallerSeesEndOfFileWhileTheUpdaterWaits) {
  UpdaterWorld world;
  const pid_t sleeper = ::fork();
  if (sleeper == 0) {
    ::usleep(1500 * 1000);
    ::_exit(0);
  }
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const std::string home = "HOME=" + world.Path("home");
  const std::string path = "PATH=" + world.Path("bin") + ":/usr/bin:/bin";
  const std::string pid = std::to_string(sleeper);
  const std::string installed = world.Path("Installed/Demo.app");
  const std::string download = world.Path("Download/Demo.app");
  const pid_t updater = ::fork();
  if (updater == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const char* argv[] = {ZEFT_UPDATER_PATH, "--caller-log",   "x",    "--pid", pid.c_str(),
                          installed.c_str(), download.c_str(), nullptr};
    const char* envp[] = {home.c_str(), path.c_str(), nullptr};
    ::execve(argv[0], const_cast<char**>(argv), const_cast<char**>(envp));
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
  ::close(pipeFds[0]);
  // End of file came while the updater was still waiting for the sleeper.
  int status = 0;
  EXPECT_EQ(::waitpid(updater, &status, WNOHANG), 0);
  EXPECT_EQ(out, "waitquit,-1\n");
  ::waitpid(sleeper, nullptr, 0);
  ASSERT_EQ(::waitpid(updater, &status, 0), updater);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(world.InstalledVersion(), "2");
}

TEST(UpdaterWait, ALivePidIsWaitedForBeforeAnythingMoves) {
  UpdaterWorld world;
  const pid_t sleeper = ::fork();
  if (sleeper == 0) {
    ::usleep(1000 * 1000);
    ::_exit(0);
  }
  const auto start = std::chrono::steady_clock::now();
  const UpdaterRun run = world.UpdateDemo({"--pid", std::to_string(sleeper)});
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ::waitpid(sleeper, nullptr, 0);
  EXPECT_EQ(run.fExitCode, 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(1000));
  const std::vector<std::string> messages = LogMessages(world.LogText());
  const std::string pid = std::to_string(sleeper);
  EXPECT_TRUE(Contains(messages, "Waiting for process " + pid + " to quit"));
  EXPECT_TRUE(Contains(messages, "Process " + pid + " has quit. Proceeding."));
  EXPECT_EQ(world.InstalledVersion(), "2");
}

TEST(UpdaterClient, TheConnectionFileIsWrittenAndTheExecutableMadeExecutable) {
  const struct {
    const char* fJSON;
    const char* fConnection;
  } cases[] = {
      {R"({"ServerPlatform":"x","BuildIPAdress":"10.0.0.1","BuildIPPort":"19812",)"
       R"("PublishName":"Shop","BuildCacheFolderNameClient":"cache","RemoteSharedResources":true})",
       R"(<?xml version="1.0" encoding="UTF-8"?><database_shortcut is_remote="true" )"
       R"(server_database_name="Shop" server_path="10.0.0.1:19812" cache_folder_name="cache" )"
       R"(remote_shared_resources="true"/>)"},
      {R"({"ServerPlatform":"x","BuildIPAdress":"host","RemoteSharedResources":"yes"})",
       R"(<?xml version="1.0" encoding="UTF-8"?><database_shortcut is_remote="true" )"
       R"(server_database_name="" server_path="host" cache_folder_name="" )"
       R"(remote_shared_resources="false"/>)"},
      {R"({"ServerPlatform":"x"})", nullptr},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    ::chmod(world.Path("Download/Demo.app/Contents/MacOS/demo").c_str(), 0640);
    std::ofstream(world.Path("client.json")) << c.fJSON;
    const UpdaterRun run = world.UpdateDemo({"--client-info", world.Path("client.json")});
    ASSERT_EQ(run.fExitCode, 0) << c.fJSON << run.fError;
    const std::string file =
        world.Path("Installed/Demo.app/Contents/Database/RivivavUdevar.Roridevu");
    if (c.fConnection != nullptr) {
      EXPECT_EQ(ReadWholeFile(file), c.fConnection);
    } else {
      EXPECT_FALSE(fs::exists(file));
    }
    EXPECT_EQ(Mode(world.Path("Installed/Demo.app/Contents/MacOS/demo")), 0751u) << c.fJSON;
  }
}

TEST(UpdaterClient, ABadCustomizationFileStopsTheUpdateBeforeTheSwap) {
  const struct {
    const char* fName;
    const char* fJSON;
    bool fBlockDatabase = false;
  } cases[] = {
      {"not JSON", "{ServerPlatform"},
      // Cut short after usable properties: half a file is no file.
      {"cut short", R"({"ServerPlatform":"x","BuildIPAdress":"host")"},
      {"not an object", "[1, 2]"},
      {"no platform", R"({"BuildIPAdress":"host"})"},
      {"platform not a string", R"({"ServerPlatform":3})"},
      {"missing file", nullptr},
      // A file stands where the connection file's folder goes.
      {"connection file not writable", R"({"ServerPlatform":"x","BuildIPAdress":"host"})", true},
  };
  for (const auto& c : cases) {
    UpdaterWorld world;
    if (c.fJSON != nullptr) std::ofstream(world.Path("client.json")) << c.fJSON;
    if (c.fBlockDatabase) std::ofstream(world.Path("Download/Demo.app/Contents/Database"));
    const UpdaterRun run =
        world.UpdateDemo({"--silent", "--client-info", world.Path("client.json")});
    EXPECT_EQ(run.fExitCode, 2) << c.fName;
    EXPECT_EQ(world.InstalledVersion(), "1") << c.fName;
    EXPECT_TRUE(world.OpenCalls().empty()) << c.fName;
    for (const char* app : {"Download", "Installed"}) {
      EXPECT_FALSE(
          fs::exists(world.Path(app) + "/Demo.app/Contents/Database/RivivavUdevar.Roridevu"))
          << c.fName;
    }
  }
}

// Without a desktop the alert is written on standard error and answered by
// its default button at once, naming the log file that holds this run.
TEST(UpdaterReport, AFailureWithoutSilentNeverBlocksAndNamesTheLogWritten) {
  UpdaterWorld world;
  // Log files of this and the next seconds exist already: the logger goes
  // on with the newest of them, not with number 1.
  fs::create_directories(world.Path("logs"));
  const auto now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  for (int offset = 0; offset < 3; ++offset) {
    const time_t when = now + offset;
    struct tm local = {};
    ::localtime_r(&when, &local);
    char name[64];
    std::strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S_log", &local);
    std::ofstream(world.Path("logs/") + name + "_1.txt") << "earlier\n";
    std::ofstream(world.Path("logs/") + name + "_2.txt") << "earlier\n";
  }
  const UpdaterRun run = world.Update({"--log-dir", world.Path("logs"), world.Path("Gone/Demo.app"),
                                       world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 2);
  const size_t start = run.fError.find("More information is available in the log file '");
  ASSERT_NE(start, std::string::npos) << run.fError;
  const size_t open = run.fError.find('\'', start);
  const std::string named = run.fError.substr(open + 1, run.fError.find('\'', open + 1) - open - 1);
  EXPECT_NE(ReadWholeFile(named).find("Update failed - "), std::string::npos) << named;
  EXPECT_NE(run.fError.find("The application to update was not found at '"), std::string::npos)
      << run.fError;
}

// The error texts and the alert's sentence are read from the bundle's
// localization, not from the texts built into the program.
TEST(UpdaterReport, TheTextsComeFromTheBundlesLocalization) {
  UpdaterWorld world;
  world.UseUpdaterCopy([](std::string& xliff) {
    for (const auto& [from, to] : {
             std::pair<std::string, std::string>{
                 "The application to update was not found at '{path}'.",
                 "Nothing to update at '{path}'."},
             {"More information is available in the log file '{LogFilePath}'",
              "See '{LogFilePath}'"},
         }) {
      const size_t at = xliff.find(from);
      ASSERT_NE(at, std::string::npos) << from;
      xliff.replace(at, from.size(), to);
    }
  });
  const UpdaterRun run = world.Update({"--log-dir", world.Path("logs"), world.Path("Gone/Demo.app"),
                                       world.Path("Download/Demo.app")});
  EXPECT_EQ(run.fExitCode, 2);
  const std::string gone = "Nothing to update at '";
  EXPECT_NE(world.LogText().find(gone), std::string::npos) << world.LogText();
  EXPECT_NE(run.fError.find(gone), std::string::npos) << run.fError;
  EXPECT_NE(run.fError.find("See '" + world.Path("logs/")), std::string::npos) << run.fError;
  EXPECT_EQ(run.fError.find("was not found"), std::string::npos) << run.fError;
}

}  // namespace
}  // namespace zeft
