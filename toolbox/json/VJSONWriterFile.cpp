// Writing a value's JSON text into a file: the text is written beside the
// file and then renamed over it, so that a failed write never leaves the
// old content half replaced.
#include "files/IFileSystemObject.h"
#include "json/VJSONWriter.h"

namespace zeft {

VError VJSONWriter::StringifyValueToFile(IFile* file, const VJSONValue& value, uint32 options) {
  if (file == nullptr) return VE_OK;
  VString text;
  VJSONWriter writer(options);
  const VError error = writer.StringifyValue(value, text);
  if (error != VE_OK) return error;
  return file->ReplaceContentAsString(text, kCharSetUTF8, kCRModeNone, false);
}

}  // namespace zeft
