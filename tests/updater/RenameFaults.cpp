// Linked into a build of the updater for its tests: the program's renames
// come here first (an executable's own definitions come before the C
// library's), so that a test can make chosen moves fail as a file system
// may. Set in the environment:
// - ZEFT_TEST_EXCHANGE_REFUSED: every exchange of two names fails with
//   EINVAL, as where the file system cannot exchange;
// - ZEFT_TEST_EXCHANGE_FAILS_FROM=N: the Nth exchange and those after it
//   fail with EIO;
// - ZEFT_TEST_RENAME_TO_FAILS=PATTERN: every other rename whose target's
//   last name matches the shell pattern fails with EIO.
// Everything else goes to the kernel unchanged.
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/fs.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> sExchanges{0};

int Fail(int error) {
  errno = error;
  return -1;
}

int Rename(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  if ((flags & RENAME_EXCHANGE) != 0) {
    const int exchange = ++sExchanges;
    if (::getenv("ZEFT_TEST_EXCHANGE_REFUSED") != nullptr) return Fail(EINVAL);
    const char* failsFrom = ::getenv("ZEFT_TEST_EXCHANGE_FAILS_FROM");
    if (failsFrom != nullptr && exchange >= ::atoi(failsFrom)) return Fail(EIO);
  } else if (const char* pattern = ::getenv("ZEFT_TEST_RENAME_TO_FAILS"); pattern != nullptr) {
    const char* slash = ::strrchr(to, '/');
    if (::fnmatch(pattern, slash != nullptr ? slash + 1 : to, 0) == 0) return Fail(EIO);
  }
  return int(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
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

}  // extern "C"
