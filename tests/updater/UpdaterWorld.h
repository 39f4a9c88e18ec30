// A scratch world for running the built updater from outside (HOME, a
// recording `open`, an installed and a downloaded bundle), what its tests
// read back (log messages, trees, hidden items), and updates interrupted at
// random moments.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SwapRecord.h"
#include "platform/FileDescriptor.h"
#include "support/TempFolder.h"

namespace zeft::test {

namespace fs = std::filesystem;

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
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
  // localization `edit` changed.
  void UseUpdaterCopy(const std::function<void(std::string&)>& edit) {
    const std::string xliff = CopyUpdater() + "/Contents/Resources/en.lproj/Updater.xlf";
    std::string text = ReadWholeFile(xliff);
    edit(text);
    std::ofstream(xliff, std::ios::trunc) << text;
  }

  // Runs, from then on, the updater whose system calls fail, stop or are
  // recorded as `faults` say: the faults build in a copy of Updater.app,
  // with each of the `faults` ("NAME=VALUE") in its environment (see
  // UpdaterFaults.cpp).
  void UseFaults(const std::vector<std::string>& faults) {
    if (fUpdater == ZEFT_UPDATER_PATH) {
      CopyUpdater();
      fs::copy_file(ZEFT_UPDATER_FAULTS_PATH, fUpdater, fs::copy_options::overwrite_existing);
    }
    fFaults = faults;
  }

  const std::string& Updater() const { return fUpdater; }

  // Runs the updater, from then on, with `mask` as its umask.
  void SetUmask(mode_t mask) { fUmask = mask; }

  // Runs the updater, from then on, as the user `uid` of the group `gid`
  // (only root may), and gives that user the world: its folder and all
  // that it holds but `keep` (of the world's folder), which stays whose it
  // is. False when this process cannot.
  bool RunAs(uid_t uid, gid_t gid, const std::vector<std::string>& keep = {}) {
    if (::geteuid() != 0) return false;
    std::error_code error;
    for (fs::recursive_directory_iterator it(fTemp.Path(), error), end; !error && it != end;
         it.increment(error)) {
      const std::string relative = fs::relative(it->path(), fTemp.Path()).string();
      if (std::find(keep.begin(), keep.end(), relative) == keep.end() &&
          ::lchown(it->path().c_str(), uid, gid) != 0)
        return false;
    }
    if (error || ::chown(fTemp.Path().c_str(), uid, gid) != 0) return false;
    fUid = uid;
    fGid = gid;
    return true;
  }

  // The environment each run gets: a scratch HOME, the recording `open`
  // first on PATH, the C locale, and the faults asked for.
  std::vector<std::string> Environment() const {
    std::vector<std::string> environment = {"HOME=" + Path("home"),
                                            "PATH=" + Path("bin") + ":/usr/bin:/bin", "LANG=C"};
    environment.insert(environment.end(), fFaults.begin(), fFaults.end());
    return environment;
  }

  // Starts the updater with `arguments` in the world's folder; its standard
  // output and error go to files named after `run`. Its pid.
  pid_t Start(std::vector<std::string> arguments, const std::string& run = "std") const {
    arguments.insert(arguments.begin(), fUpdater);
    const std::string out = Path(run + "out.txt");
    const std::string error = Path(run + "err.txt");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = Environment();
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (fUmask != kNoUmask) ::umask(fUmask);
      if (fUid != kNoUser &&
          (::setgroups(0, nullptr) != 0 || ::setgid(fGid) != 0 || ::setuid(fUid) != 0))
        ::_exit(126);
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
    return pid;
  }

  // Waits for the updater started as `pid` for `run`; what it did.
  UpdaterRun Wait(pid_t pid, const std::string& run = "std") const {
    UpdaterRun outcome;
    int status = 0;
    ::waitpid(pid, &status, 0);
    outcome.fExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.fOut = ReadWholeFile(Path(run + "out.txt"));
    outcome.fError = ReadWholeFile(Path(run + "err.txt"));
    return outcome;
  }

  // Waits for the updater started as `pid` for `run`, but no longer than
  // `limit`: one still running then is killed and reported with the exit
  // code -2. Only for a run that must end by itself, as a guard against a
  // hang: the limit is far beyond any run.
  UpdaterRun WaitAtMost(pid_t pid, std::chrono::seconds limit,
                        const std::string& run = "std") const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        UpdaterRun hung = Wait(pid, run);
        hung.fExitCode = -2;
        return hung;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    UpdaterRun outcome;
    outcome.fExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.fOut = ReadWholeFile(Path(run + "out.txt"));
    outcome.fError = ReadWholeFile(Path(run + "err.txt"));
    return outcome;
  }

  UpdaterRun Update(std::vector<std::string> arguments) const {
    return Wait(Start(std::move(arguments)));
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
  // Copies the built Updater.app into the world and runs the copy from then
  // on; the copy's path.
  std::string CopyUpdater() {
    const fs::path built = fs::path(ZEFT_UPDATER_PATH);
    const fs::path bundle = built.parent_path().parent_path().parent_path();
    const fs::path copy = Path("Tools") / bundle.filename();
    if (!fs::exists(copy)) {
      fs::create_directories(copy.parent_path());
      fs::copy(bundle, copy, fs::copy_options::recursive);
    }
    fUpdater = copy / "Contents/MacOS" / built.filename();
    return copy;
  }

  static constexpr mode_t kNoUmask = mode_t(-1);
  static constexpr uid_t kNoUser = uid_t(-1);

  TempFolder fTemp;
  std::string fUpdater = ZEFT_UPDATER_PATH;
  std::vector<std::string> fFaults;
  mode_t fUmask = kNoUmask;
  uid_t fUid = kNoUser;
  gid_t fGid = 0;
};

// The log lines' messages, without their numbers, times and sources.
inline std::vector<std::string> LogMessages(const std::string& text) {
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

inline bool Contains(const std::vector<std::string>& lines, const std::string& wanted) {
  return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

// Whether the two trees hold the same names, kinds, modes, link targets
// and file contents.
inline bool SameTree(const std::string& left, const std::string& right) {
  auto listing = [](const std::string& root) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error))
      names.push_back(it->path().native().substr(root.size()));
    std::sort(names.begin(), names.end());
    return error ? std::vector<std::string>{"?"} : names;
  };
  const std::vector<std::string> names = listing(left);
  if (names != listing(right) || !fs::is_directory(left)) return false;
  for (const std::string& name : names) {
    const std::string a = left + name;
    const std::string b = right + name;
    struct stat first = {};
    struct stat second = {};
    if (::lstat(a.c_str(), &first) != 0 || ::lstat(b.c_str(), &second) != 0) return false;
    if (first.st_mode != second.st_mode) return false;
    if (S_ISLNK(first.st_mode) && fs::read_symlink(a) != fs::read_symlink(b)) return false;
    if (S_ISREG(first.st_mode) &&
        (first.st_size != second.st_size || ReadWholeFile(a) != ReadWholeFile(b)))
      return false;
  }
  return true;
}

// The hidden items of a folder: what an interrupted update may leave.
inline std::vector<std::string> HiddenItems(const std::string& folder) {
  std::vector<std::string> hidden;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename();
    if (name[0] == '.') hidden.push_back(name);
  }
  return hidden;
}

// The hidden items of a folder, but the unmarked staging folders that a
// run killed between making its staging folder and marking it as its own,
// or between removing the record and the folder, leaves: holding nothing,
// or only the unfinished record. No later run may remove these.
inline std::vector<std::string> HiddenItemsButUnmarkedFolders(const std::string& folder) {
  std::vector<std::string> hidden;
  for (const std::string& name : HiddenItems(folder)) {
    const fs::path path = fs::path(folder) / name;
    bool unmarked = fs::is_directory(fs::symlink_status(path));
    if (unmarked)
      for (const auto& entry : fs::directory_iterator(path))
        unmarked = unmarked && entry.path().filename() == SwapRecord::kNewFileName;
    if (!unmarked) hidden.push_back(name);
  }
  return hidden;
}

// Marks the folder at `path` as a staging folder that a run made and was
// copying into when it stopped, as the run's first record does.
inline bool MarkAsStaging(const std::string& path) {
  platform::FileDescriptor staging(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  SwapRecord record;
  record.fStage = SwapRecord::Stage::kCopying;
  return staging.IsOpen() && GetItemIdentity(staging.Get(), "", record.fStaging) &&
         record.Write(staging.Get()) == 0;
}

// Writes `text` as the whole new file `path`.
inline void WriteFile(const std::string& path, const std::string& text) {
  platform::FileDescriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (file.IsOpen()) platform::WriteAll(file.Get(), text);
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

  // Measures the length of an uninterrupted update; `prepare` sets up each
  // world (the updater it runs) before it is filled.
  explicit InterruptedUpdates(std::function<void(UpdaterWorld&)> prepare = nullptr)
      : fPrepare(std::move(prepare)) {
    UpdaterWorld world(Parent());
    Prepare(world);
    const auto start = std::chrono::steady_clock::now();
    fFullRun = world.UpdateDemo({"--silent"});
    fLength = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
  }

  const UpdaterRun& FullRun() const { return fFullRun; }
  std::chrono::microseconds Length() const { return fLength; }

  // Sets up `world` as every world of these updates: prepared, then filled.
  void Prepare(UpdaterWorld& world) const {
    if (fPrepare) fPrepare(world);
    Fill(world);
  }

  // The bundles of `world` made big: v1 installed, its twin kept aside as
  // the reference, v2 downloaded.
  static void Fill(const UpdaterWorld& world) {
    world.MakeBundle("Reference/Demo.app", "1");
    // Written through one buffer: thousands of streams would cost the
    // unoptimised sanitizer builds seconds a round.
    std::string text;
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "/Contents/Resources/f" + std::to_string(i);
      text.assign("1:").append(std::to_string(i)).append(4096, 'x');
      WriteFile(world.Path("Installed/Demo.app") + name, text);
      WriteFile(world.Path("Reference/Demo.app") + name, text);
      text[0] = '2';
      WriteFile(world.Path("Download/Demo.app") + name, text);
    }
  }

  // Starts the update of a filled world, sends `signal` at a random moment
  // (after the log opened, but for SIGKILL) and waits for the updater's
  // end; its exit code, -1 when killed.
  int Interrupt(const UpdaterWorld& world, int signal) {
    const std::string installed = world.Path("Installed/Demo.app");
    const std::string download = world.Path("Download/Demo.app");
    const std::string logs = world.Path("logs");
    std::vector<std::string> environment = world.Environment();
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    const pid_t updater = ::fork();
    if (updater == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 1);
      ::dup2(null, 2);
      const char* argv[] = {world.Updater().c_str(), "--silent",       "--log-dir", logs.c_str(),
                            installed.c_str(),       download.c_str(), nullptr};
      ::execve(argv[0], const_cast<char**>(argv), envp.data());
      ::_exit(127);
    }
    if (signal != SIGKILL) {
      // Other signals are the program's to handle once it runs: they are
      // sent after it opened its log (bounded only as a guard against a
      // hang: a loaded machine may take long to start it).
      const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
      while (!fs::exists(logs) && std::chrono::steady_clock::now() < limit)
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
  std::function<void(UpdaterWorld&)> fPrepare;
  UpdaterRun fFullRun;
  std::chrono::microseconds fLength{0};
  std::mt19937 fRandom{20261210};
};

}  // namespace zeft::test
