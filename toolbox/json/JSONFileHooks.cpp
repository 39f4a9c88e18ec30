#include "json/JSONFileHooks.h"

#include <atomic>

namespace zeft {

namespace {

std::atomic<JSONFileExtractor> sFileExtractor{nullptr};
std::atomic<JSONFolderExtractor> sFolderExtractor{nullptr};
std::atomic<JSONFileWrapper> sFileWrapper{nullptr};
std::atomic<JSONFolderWrapper> sFolderWrapper{nullptr};

}  // namespace

void SetFileFolderExtractorAndWrapper(JSONFileExtractor fileExtractor,
                                      JSONFolderExtractor folderExtractor,
                                      JSONFileWrapper fileWrapper,
                                      JSONFolderWrapper folderWrapper) {
  sFileExtractor.store(fileExtractor);
  sFolderExtractor.store(folderExtractor);
  sFileWrapper.store(fileWrapper);
  sFolderWrapper.store(folderWrapper);
}

IFile* ExtractFile(const VJSONValue& value) {
  JSONFileExtractor extractor = sFileExtractor.load();
  return extractor != nullptr ? extractor(value) : nullptr;
}

IFolder* ExtractFolder(const VJSONValue& value) {
  JSONFolderExtractor extractor = sFolderExtractor.load();
  return extractor != nullptr ? extractor(value) : nullptr;
}

VJSONValue WrapFile(IFile* file) {
  JSONFileWrapper wrapper = sFileWrapper.load();
  return wrapper != nullptr ? wrapper(file) : VJSONValue(JSON_undefined);
}

VJSONValue WrapFolder(IFolder* folder) {
  JSONFolderWrapper wrapper = sFolderWrapper.load();
  return wrapper != nullptr ? wrapper(folder) : VJSONValue(JSON_undefined);
}

}  // namespace zeft
