// Linked into a build of the updater for its tests: the program's calls
// below come here first (an executable's own definitions come before the
// C library's), so that a test can make chosen calls fail as a file system
// may, stop the program at a chosen step, or see what it did. Set in the
// environment:
// - ZEFT_TEST_EXCHANGE_REFUSED: every exchange of two names fails with
//   EINVAL, as where the file system cannot exchange;
// - ZEFT_TEST_EXCHANGE_FAILS_FROM=N: the Nth exchange and those after it
//   fail with EIO;
// - ZEFT_TEST_RENAME_TO_FAILS=PATTERN: every other rename whose target's
//   last name matches the shell pattern fails with EIO;
// - ZEFT_TEST_KILLED_AFTER_MOVE_TO=PATTERN: the program kills itself
//   (SIGKILL) as soon as another rename to a last name matching the
//   pattern has succeeded;
// - ZEFT_TEST_KILLED_AFTER_EXCHANGE: the same, as soon as an exchange has
//   succeeded;
// - ZEFT_TEST_KILLED_AFTER_REMOVAL_OF=PATTERN: the same, as soon as an
//   unlinkat of a last name matching the pattern has succeeded;
// - ZEFT_TEST_OPEN_FAILS=ERRNO:PATTERN: every openat of a last name matching
//   the pattern fails with that errno;
// - ZEFT_TEST_FLOCK_FAILS=ERRNO: every flock fails with that errno, as on a
//   file system without locks;
// - ZEFT_TEST_PAUSE_AT_FOLDER=N, ZEFT_TEST_PAUSE_MARK=PATH and
//   ZEFT_TEST_PAUSE_GATE=PATH: before making its Nth folder, the program
//   makes the file MARK and waits until GATE exists;
// - ZEFT_TEST_TRANSCRIPT=PATH: the main thread's moves ("move TARGET
//   ERRNO", the target's absolute path, and 0 for success) and its waits of
//   a second or more ("wait MILLISECONDS") are appended to PATH, one line
//   each.
// Everything else goes to the kernel unchanged.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/fs.h>
#include <semaphore.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace {

std::atomic<int> sExchanges{0};
std::atomic<int> sFolders{0};

int Fail(int error) {
  errno = error;
  return -1;
}

const char* LastName(const char* path) {
  const char* slash = ::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

bool Matches(const char* variable, const char* path) {
  const char* pattern = ::getenv(variable);
  return pattern != nullptr && ::fnmatch(pattern, LastName(path), 0) == 0;
}

bool OnMainThread() { return ::syscall(SYS_gettid) == ::getpid(); }

// Appends a line to the transcript, through the kernel alone: the calls it
// makes must not come back here.
void Transcribe(const std::string& line) {
  const char* path = ::getenv("ZEFT_TEST_TRANSCRIPT");
  if (path == nullptr || !OnMainThread()) return;
  const int saved = errno;
  const int fd =
      int(::syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (fd >= 0) {
    const std::string text = line + "\n";
    (void)!::write(fd, text.data(), text.size());
    ::close(fd);
  }
  errno = saved;
}

// The absolute path of `path`, given relative to the open folder `dirFd`.
std::string AbsoluteTarget(int dirFd, const char* path) {
  if (path[0] == '/') return path;
  char folder[4096];
  const std::string link =
      dirFd == AT_FDCWD ? "/proc/self/cwd" : "/proc/self/fd/" + std::to_string(dirFd);
  const ssize_t size = ::readlink(link.c_str(), folder, sizeof folder);
  if (size <= 0 || size_t(size) >= sizeof folder) return path;
  return std::string(folder, size_t(size)) + "/" + path;
}

int Rename(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  int result = 0;
  if ((flags & RENAME_EXCHANGE) != 0) {
    const int exchange = ++sExchanges;
    const char* failsFrom = ::getenv("ZEFT_TEST_EXCHANGE_FAILS_FROM");
    if (::getenv("ZEFT_TEST_EXCHANGE_REFUSED") != nullptr) {
      result = Fail(EINVAL);
    } else if (failsFrom != nullptr && exchange >= ::atoi(failsFrom)) {
      result = Fail(EIO);
    }
  } else if (Matches("ZEFT_TEST_RENAME_TO_FAILS", to)) {
    result = Fail(EIO);
  }
  if (result == 0) result = int(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
  if (::getenv("ZEFT_TEST_TRANSCRIPT") != nullptr) {
    const int error = result == 0 ? 0 : errno;
    Transcribe("move " + AbsoluteTarget(toDir, to) + " " + std::to_string(error));
    errno = error;
  }
  const bool killed = (flags & RENAME_EXCHANGE) != 0
                          ? ::getenv("ZEFT_TEST_KILLED_AFTER_EXCHANGE") != nullptr
                          : Matches("ZEFT_TEST_KILLED_AFTER_MOVE_TO", to);
  if (result == 0 && killed) ::raise(SIGKILL);
  return result;
}

void PauseBeforeFolder() {
  const char* at = ::getenv("ZEFT_TEST_PAUSE_AT_FOLDER");
  const char* mark = ::getenv("ZEFT_TEST_PAUSE_MARK");
  const char* gate = ::getenv("ZEFT_TEST_PAUSE_GATE");
  if (at == nullptr || mark == nullptr || gate == nullptr || ++sFolders != ::atoi(at)) return;
  const int saved = errno;
  const int fd = int(::syscall(SYS_openat, AT_FDCWD, mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (fd >= 0) ::close(fd);
  // Bounded, should the test that opens the gate have died.
  struct stat info;
  const timespec step = {0, 10 * 1000 * 1000};
  for (int waited = 0; waited < 60 * 100 && ::stat(gate, &info) != 0; ++waited)
    ::nanosleep(&step, nullptr);
  errno = saved;
}

}  // namespace

extern "C" {

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept {
  return Rename(fromDir, from, toDir, to, flags);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
  return Rename(fromDir, from, toDir, to, 0);
}

int rename(const char* from, const char* to) noexcept {
  return Rename(AT_FDCWD, from, AT_FDCWD, to, 0);
}

int openat(int dirFd, const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = va_arg(arguments, mode_t);
    va_end(arguments);
  }
  if (const char* fails = ::getenv("ZEFT_TEST_OPEN_FAILS"); fails != nullptr) {
    const char* colon = ::strchr(fails, ':');
    if (colon != nullptr && ::fnmatch(colon + 1, LastName(path), 0) == 0)
      return Fail(::atoi(fails));
  }
  return int(::syscall(SYS_openat, dirFd, path, flags, mode));
}

int flock(int fd, int operation) noexcept {
  if (const char* fails = ::getenv("ZEFT_TEST_FLOCK_FAILS"); fails != nullptr)
    return Fail(::atoi(fails));
  return int(::syscall(SYS_flock, fd, operation));
}

int unlinkat(int dirFd, const char* path, int flags) noexcept {
  const int result = int(::syscall(SYS_unlinkat, dirFd, path, flags));
  if (result == 0 && Matches("ZEFT_TEST_KILLED_AFTER_REMOVAL_OF", path)) ::raise(SIGKILL);
  return result;
}

int mkdirat(int dirFd, const char* path, mode_t mode) noexcept {
  PauseBeforeFolder();
  return int(::syscall(SYS_mkdirat, dirFd, path, mode));
}

int mkdir(const char* path, mode_t mode) noexcept { return mkdirat(AT_FDCWD, path, mode); }

int sem_clockwait(sem_t* semaphore, clockid_t clock, const timespec* deadline) {
  using Wait = int (*)(sem_t*, clockid_t, const timespec*);
  static const Wait next = reinterpret_cast<Wait>(::dlsym(RTLD_NEXT, "sem_clockwait"));
  timespec now;
  ::clock_gettime(clock, &now);
  const long long milliseconds =
      (deadline->tv_sec - now.tv_sec) * 1000LL + (deadline->tv_nsec - now.tv_nsec) / 1000000LL;
  // Rounded to the second asked for: the clock ran a little since.
  if (milliseconds >= 900) Transcribe("wait " + std::to_string((milliseconds + 500) / 1000 * 1000));
  return next(semaphore, clock, deadline);
}

}  // extern "C"
