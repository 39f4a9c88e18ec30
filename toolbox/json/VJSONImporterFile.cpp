// Parsing a file's JSON text: the file is read whole through its interface.
#include <limits>

#include "core/VTextConverters.h"
#include "files/IFileSystemObject.h"
#include "json/VJSONImporter.h"
#include "runtime/StErrorContextInstaller.h"

namespace zeft {

VError VJSONImporter::ParseFile(const IFile* file, VJSONValue& value, uint32 options) {
  if (file == nullptr) {
    value.SetUndefined();
    return VE_OK;
  }
  VString path;
  file->GetPlatformPath(path, kFilePathStylePosix);
  // Read as IFile::GetContentAsString reads: the read's errors in a level
  // of their own, its last one returned; an unread file gives no text.
  VMemoryBuffer<> content;
  bool read = false;
  VError error = VE_OK;
  {
    StErrorContextInstaller errors(true, false);
    read = file->GetContent(content) == VE_OK;
    error = errors.GetLastError();
  }
  if (error != VE_OK) return error;
  const auto* bytes = read ? static_cast<const uint8*>(content.GetDataPtr()) : nullptr;
  size_t size = read ? content.GetDataSize() : 0;
  size_t markSize = 0;
  CharSet marked = kCharSetUTF8;
  if (!VTextConverters::ParseBOM(bytes, size, &markSize, &marked)) {
    markSize = 0;
    marked = kCharSetUTF8;
  }
  if (marked == kCharSetUTF8 && size - markSize < size_t(std::numeric_limits<int32>::max())) {
    // UTF-8 text, its mark dropped, is read in place.
    return _ParseUTF8(bytes + markSize, size - markSize, value, options, path);
  }
  // Text of another set, or too long for one string, is decoded first.
  VString text;
  {
    StErrorContextInstaller errors(true, false);
    text.FromBlockWithOptionalBOM(bytes, size, kCharSetUTF8);
    error = errors.GetLastError();
  }
  if (error != VE_OK) return error;
  VJSONImporter importer(text, options);
  importer.fSourceName = path;
  return importer.Parse(value);
}

}  // namespace zeft
