// The process functions of the system facade, over /proc.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/VString.h"
#include "process/mac/XMacSystem.h"

namespace zeft {

namespace {

// Reads up to `size` - 1 bytes of a /proc file (`path` relative to the
// open folder `folder`, or absolute) into `buffer`, terminated; the byte
// count, or -1.
ssize_t ReadProcFile(int folder, const char* path, char* buffer, size_t size) {
  const int fd = openat(folder, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  ssize_t total = 0;
  while (size_t(total) < size - 1) {
    const ssize_t count = read(fd, buffer + total, size - 1 - size_t(total));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    total += count;
  }
  close(fd);
  buffer[total] = '\0';
  return total;
}

// The id a /proc entry names, or -1 for any other entry.
int32 ParsePid(const char* name) {
  if (*name == '\0') return -1;
  int64 pid = 0;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return -1;
    pid = pid * 10 + (*c - '0');
    if (pid > 0x7FFFFFFF) return -1;
  }
  return int32(pid);
}

// True while the process runs: an ended one waiting to be reaped (zombie)
// or being torn down (dead) has quit, and so has one that vanished.
bool IsRunning(int proc, const char* pid) {
  char path[32];
  std::snprintf(path, sizeof path, "%s/stat", pid);
  char stat[512];
  if (ReadProcFile(proc, path, stat, sizeof stat) <= 0) return false;
  // The state follows the command name, which is in parentheses and may
  // itself hold ") ".
  const char* close = std::strrchr(stat, ')');
  if (close == nullptr || close[1] != ' ') return false;
  const char state = close[2];
  return state != 'Z' && state != 'X' && state != 'x' && state != '\0';
}

}  // namespace

void XMacSystem::GetProcessList(std::vector<int32>& pids) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return;
  while (const dirent* entry = readdir(proc)) {
    const int32 pid = ParsePid(entry->d_name);
    if (pid > 0 && IsRunning(dirfd(proc), entry->d_name)) pids.push_back(pid);
  }
  closedir(proc);
}

void XMacSystem::GetProcessName(int32 pid, VString& name) {
  if (pid <= 0) return;
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%d/comm", int(pid));
  char comm[32];
  ssize_t length = ReadProcFile(AT_FDCWD, path, comm, sizeof comm);
  if (length <= 0) return;
  if (comm[length - 1] == '\n') --length;
  name.FromBlock(comm, size_t(length), kCharSetUTF8);
}

void XMacSystem::GetProcessPath(int32 pid, VString& path) {
  if (pid <= 0) return;
  char link[32];
  std::snprintf(link, sizeof link, "/proc/%d/exe", int(pid));
  char target[4096];
  const ssize_t length = readlink(link, target, sizeof target);
  if (length <= 0 || size_t(length) >= sizeof target) return;
  path.FromBlock(target, size_t(length), kCharSetUTF8);
}

bool XMacSystem::WaitForProcess(int32 pid, int32 timeout, int32* reason) {
  *reason = 0;
  if (pid <= 0) {
    *reason = 1;  // waitid would take it as "any child"
    return false;
  }
  siginfo_t info{};
  const int options = WEXITED | (timeout < 0 ? 0 : WNOHANG);
  int result;
  do {
    result = waitid(P_PID, id_t(pid), &info, options);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    *reason = errno == ECHILD ? 1 : 4;
    return false;
  }
  if (info.si_pid == pid) return true;
  *reason = 2;
  return false;
}

bool XMacSystem::KillProcess(int32 pid) {
  // 0 and negative ids name process groups, ours included.
  if (pid <= 0) return false;
  return kill(pid, SIGKILL) == 0;
}

}  // namespace zeft
