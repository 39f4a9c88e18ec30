// The hooks through which the layer that knows how files and folders are
// shown as JSON values lends that knowledge to any toolbox code: four
// conversions, registered together, each answering null or undefined while
// none is registered.
#pragma once

#include "json/VJSONValue.h"

namespace zeft {

class IFile;
class IFolder;

using JSONFileExtractor = IFile* (*)(const VJSONValue& value);
using JSONFolderExtractor = IFolder* (*)(const VJSONValue& value);
using JSONFileWrapper = VJSONValue (*)(IFile* file);
using JSONFolderWrapper = VJSONValue (*)(IFolder* folder);

// Stores all four at once; a null one unregisters that conversion.
void SetFileFolderExtractorAndWrapper(JSONFileExtractor fileExtractor,
                                      JSONFolderExtractor folderExtractor,
                                      JSONFileWrapper fileWrapper, JSONFolderWrapper folderWrapper);

// The registered conversion's answer, passed on unchanged (whether a file
// or folder comes with a reference is the registered function's contract).
IFile* ExtractFile(const VJSONValue& value);
IFolder* ExtractFolder(const VJSONValue& value);
VJSONValue WrapFile(IFile* file);
VJSONValue WrapFolder(IFolder* folder);

}  // namespace zeft
