#include "files/mac/XMacFile.h"

#include <sys/statfs.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/StStringConverter.h"
#include "core/VMemory.h"
#include "files/VFilePath.h"
#include "files/mac/XMacVolumes.h"

namespace zeft {

namespace {

constexpr size_t kMaxPosixPath = 1024;
constexpr int32 kPosixPathTag = int32(FourCC("path"));

void AppendUTF8(VString& text, const char* bytes, size_t count) {
  if (count > 0) text.AppendBlock(bytes, count, kCharSetUTF8);
}

// The components after the mount point, from `rest` on: "." goes, ".."
// climbs ("::"), a run of '/' is one ':' (an empty component must never
// read as a climb), ':' inside a name becomes '/'. "/." at the end goes.
void AppendComponents(const char* path, size_t rest, size_t length, std::string& out) {
  size_t i = rest;
  bool atComponentStart = true;
  while (i < length) {
    const char c = path[i];
    if (atComponentStart && c == '.') {
      if (i + 1 == length) break;
      if (path[i + 1] == '/') {
        for (i += 1; i < length && path[i] == '/'; ++i) {
        }
        continue;
      }
      if (path[i + 1] == '.' && (i + 2 == length || path[i + 2] == '/')) {
        out.push_back(':');
        for (i += 2; i < length && path[i] == '/'; ++i) {
        }
        continue;
      }
    }
    if (c == '/') {
      size_t next = i;
      while (next < length && path[next] == '/') ++next;
      if (next + 1 == length && path[next] == '.') break;
      out.push_back(':');
      i = next;
      atComponentStart = true;
      continue;
    }
    out.push_back(c == ':' ? '/' : c);
    atComponentStart = false;
    ++i;
  }
}

bool EndsWith(const VString& text, UniChar c) {
  return !text.IsEmpty() && text.GetUniChar(text.GetLength()) == c;
}

// The path converted from its nearest existing ancestor: the parent is
// converted with its own volume, then the last name is added.
bool ConvertFromParent(const std::string& path, VString& hfs) {
  size_t end = path.size();
  const bool folder = end > 0 && path[end - 1] == '/';
  while (end > 0 && path[end - 1] == '/') --end;
  if (end == 0) return false;  // "/" itself: nothing above it to climb to
  const size_t slash = path.rfind('/', end - 1);
  if (slash == std::string::npos) return false;
  const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
  if (!XMacFile::PosixFullPathToHFS(parent.c_str(), true, hfs)) return false;
  const std::string name = path.substr(slash + 1, end - slash - 1);
  if (name == "..") {
    if (!EndsWith(hfs, ':')) hfs.AppendUniChar(':');
    hfs.AppendUniChar(':');
  } else if (!name.empty() && name != ".") {
    VString component;
    component.FromBlock(name.data(), name.size(), kCharSetUTF8);
    component.Exchange(UniChar(':'), UniChar('/'));
    if (!EndsWith(hfs, ':')) hfs.AppendUniChar(':');
    hfs.AppendString(component);
  }
  // A final ':' after a climb would climb once more.
  if (folder && !EndsWith(hfs, ':')) hfs.AppendUniChar(':');
  return true;
}

}  // namespace

char* XMacFile::AllocatePosixPathFromFilePath(const VFilePath& path) {
  VString posix;
  path.GetPosixPath(posix);
  return AllocatePosixPathFromString(posix);
}

char* XMacFile::AllocatePosixPathFromString(const VString& posixPath) {
  StStringConverter<char> bytes(posixPath, kCharSetUTF8);
  const size_t size = bytes.IsOK() ? bytes.GetSize() : 0;
  char* text = static_cast<char*>(VMemory::NewPtr(size + 1, kPosixPathTag));
  if (text == nullptr) return nullptr;
  if (size > 0) std::memcpy(text, bytes.GetCPointer(), size);
  text[size] = 0;
  return text;
}

char* XMacFile::CopyPosixPath(const char* posixPath) {
  if (posixPath == nullptr) return nullptr;
  const size_t size = std::strlen(posixPath) + 1;
  char* text = static_cast<char*>(VMemory::NewPtr(size, kPosixPathTag));
  if (text != nullptr) std::memcpy(text, posixPath, size);
  return text;
}

void XMacFile::GetFilePathFromPosixPath(const char* posixPath, bool isFolder, VFilePath& path) {
  if (posixPath == nullptr) {
    path.Clear();
    return;
  }
  VString text;
  text.FromBlock(posixPath, std::strlen(posixPath), kCharSetUTF8);
  if (isFolder && !EndsWith(text, '/')) text.AppendUniChar('/');
  path.FromFullPath(text, kFilePathStylePosix);
}

bool XMacFile::PosixNameBeginsWithDot(const char* posixPath) {
  if (posixPath == nullptr) return false;
  size_t length = std::strlen(posixPath);
  if (length < 2) return false;
  if (posixPath[length - 1] == '/') --length;
  size_t start = length;
  while (start > 0 && posixPath[start - 1] != '/') --start;
  return start < length && posixPath[start] == '.';
}

bool XMacFile::GetVolumeNameFromMountPath(const char* mountPath, char* name, size_t size) {
  return XMacVolumes::Get().GetVolumeNameFromMountPath(mountPath, name, size);
}

bool XMacFile::PosixFullPathToHFS(const char* posixPath, bool itself, VString& hfsPath) {
  if (posixPath == nullptr) return false;
  const size_t length = std::strlen(posixPath);
  if (length == 0 || length > kMaxPosixPath) return false;
  const std::string given(posixPath, length);

  // The volume of the item itself, or of its folder.
  std::string probe = given;
  if (!itself) {
    const size_t slash = given.rfind('/');
    probe = slash == std::string::npos ? std::string() : given.substr(0, slash == 0 ? 1 : slash);
  }
  struct statfs info;
  if (probe.empty() || statfs(probe.c_str(), &info) != 0) return ConvertFromParent(given, hfsPath);

  // The item itself is taken as the system names it, links resolved.
  std::string used = given;
  if (itself) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(given.c_str(), nullptr),
                                                               &std::free);
    if (resolved == nullptr) return ConvertFromParent(given, hfsPath);
    used = resolved.get();
    if (given.back() == '/' && used.back() != '/') used.push_back('/');
    if (used.size() > kMaxPosixPath) return false;
  }
  std::string mountPath;
  char name[kMaxPosixPath + 1];
  if (!XMacVolumes::Get().GetMountPathOfPath(used.c_str(), mountPath) ||
      !XMacVolumes::Get().GetVolumeNameFromMountPath(mountPath.c_str(), name, sizeof(name))) {
    return ConvertFromParent(given, hfsPath);
  }

  std::string out = name;
  size_t rest = mountPath.size();
  if (rest < used.size() ? used[rest] != '/' : given.back() == '/') out.push_back(':');
  AppendComponents(used.data(), rest, used.size(), out);
  hfsPath.Clear();
  AppendUTF8(hfsPath, out.data(), out.size());
  return true;
}

bool XMacFile::HFSFullPathToPosix(const VString& hfsPath, VString& posixPath) {
  const int32 colon = hfsPath.FindUniChar(':');
  VString volume;
  VString rest;
  if (colon == 0) {
    volume = hfsPath;
  } else if (colon > 1) {
    hfsPath.GetSubString(1, colon - 1, volume);
    hfsPath.GetSubString(colon + 1, hfsPath.GetLength() - colon, rest);
    UniChar* units = rest.GetCPointerForWrite();
    for (int32 i = 0; units != nullptr && i < rest.GetLength(); ++i) {
      if (units[i] == '/') {
        units[i] = ':';
      } else if (units[i] == ':') {
        units[i] = '/';
      }
    }
  }
  VString mountPath;
  const bool mounted = XMacVolumes::Get().GetMountPathFromVolumeName(volume, mountPath);
  if (mounted) {
    posixPath = mountPath;
    if (!EndsWith(posixPath, '/')) posixPath.AppendUniChar('/');
  } else {
    posixPath.Clear();
    if (!volume.IsEmpty()) {
      posixPath.AppendUniChar('/');
      posixPath.AppendString(volume);
      if (!EndsWith(posixPath, '/')) posixPath.AppendUniChar('/');
    }
  }
  posixPath.AppendString(rest);
  return mounted;
}

}  // namespace zeft
