// Parsing a file's JSON text: the file is read whole through its interface.
#include "files/IFileSystemObject.h"
#include "json/VJSONImporter.h"

namespace zeft {

VError VJSONImporter::ParseFile(const IFile* file, VJSONValue& value, uint32 options) {
  if (file == nullptr) {
    value.SetUndefined();
    return VE_OK;
  }
  VString path;
  file->GetPlatformPath(path, kFilePathStylePosix);
  VString text;
  const VError error = file->GetContentAsString(text, kCharSetUTF8, kCRModeNone);
  if (error != VE_OK) return error;
  VJSONImporter importer(text, options);
  importer.fSourceName = path;
  return importer.Parse(value);
}

}  // namespace zeft
