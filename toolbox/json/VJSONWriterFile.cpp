// Writing a value's JSON text into a file: the text is written beside the
// file and then renamed over it, so that a failed write never leaves the
// old content half replaced.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "files/IFileSystemObject.h"
#include "json/VJSONWriter.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

VError WriteInPlace(const IFile& file, const VString& text) {
  return file.SetContentAsString(text, kCharSetUTF8, kCRModeNone, false);
}

// Makes an empty file beside `target` with the target's permissions and
// owner; false (nothing left behind) when the folder takes no new file or
// the owner cannot be kept.
bool CreateSibling(const std::string& target, const struct stat& info, std::string& sibling) {
  const size_t slash = target.rfind('/');
  sibling = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".XXXXXX";
  const int fd = ::mkostemp(sibling.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat made;
  bool ok = ::fchmod(fd, info.st_mode & 07777) == 0 && ::fstat(fd, &made) == 0;
  if (ok && (made.st_uid != info.st_uid || made.st_gid != info.st_gid))
    ok = ::fchown(fd, info.st_uid, info.st_gid) == 0;
  ::close(fd);
  if (!ok) ::unlink(sibling.c_str());
  return ok;
}

VError Flush(const std::string& path, const VString& name) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ThrowPosixError(errno, &name);
  const int result = ::fsync(fd);
  const int number = errno;
  ::close(fd);
  return result == 0 ? VE_OK : ThrowPosixError(number, &name);
}

VError ReplaceContent(const IFile& file, const VString& text) {
  VString path;
  file.GetPlatformPath(path, kFilePathStylePosix);
  const std::string target = to_string(path);
  struct stat info;
  // In place when there is nothing to lose yet, when replacing would cut a
  // link or another name off from the new content, or when the file cannot
  // be written (the write then says why).
  if (target.empty() || ::lstat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_nlink > 1 || !file.IsWritable()) {
    return WriteInPlace(file, text);
  }
  VRefPtr<IFolder> folder(file.RetainParentFolder(false), kAdoptRef);
  std::string sibling;
  if (folder.Get() == nullptr || !CreateSibling(target, info, sibling))
    return WriteInPlace(file, text);
  const size_t leaf = target.rfind('/') + 1;
  const VString siblingName(sibling.data() + leaf, sibling.size() - leaf, kCharSetUTF8);
  VRefPtr<IFile> siblingFile(folder->_RetainRelativeIFile(siblingName, kFilePathStylePosix),
                             kAdoptRef);
  VError error = siblingFile.Get() != nullptr ? WriteInPlace(*siblingFile.Get(), text)
                                              : ThrowPosixError(ENOENT, &path);
  if (error == VE_OK) error = Flush(sibling, path);
  if (error == VE_OK && ::rename(sibling.c_str(), target.c_str()) != 0)
    error = ThrowPosixError(errno, &path);
  if (error != VE_OK) ::unlink(sibling.c_str());
  return error;
}

}  // namespace

VError VJSONWriter::StringifyValueToFile(IFile* file, const VJSONValue& value, uint32 options) {
  if (file == nullptr) return VE_OK;
  VString text;
  VJSONWriter writer(options);
  const VError error = writer.StringifyValue(value, text);
  if (error != VE_OK) return error;
  return ReplaceContent(*file, text);
}

}  // namespace zeft
