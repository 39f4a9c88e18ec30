#include "json/JSONFileHooks.h"

#include <gtest/gtest.h>

#include "files/VFile.h"
#include "files/VFolder.h"

namespace zeft {
namespace {

// A file shown as the text of its POSIX path.
IFile* FileFromText(const VJSONValue& value) {
  VString path;
  value.GetString(path);
  return new VFile(path, kFilePathStylePosix);
}

VJSONValue TextOfFile(IFile* file) {
  VString path;
  file->GetPath().GetPosixPath(path);
  return VJSONValue(path);
}

TEST(JSONFileHooksTest, ConversionsAnswerOnlyOnceRegistered) {
  VRefPtr<VFile> file(new VFile(VString("/tmp/a.json"), kFilePathStylePosix), kAdoptRef);
  VRefPtr<VFolder> folder(new VFolder(VString("/tmp/"), kFilePathStylePosix), kAdoptRef);
  EXPECT_EQ(ExtractFile(VJSONValue(VString("/tmp/a.json"))), nullptr);
  EXPECT_EQ(ExtractFolder(VJSONValue(VString("/tmp/"))), nullptr);
  EXPECT_TRUE(WrapFile(file.Get()).IsUndefined());
  EXPECT_TRUE(WrapFolder(folder.Get()).IsUndefined());
  SetFileFolderExtractorAndWrapper(&FileFromText, nullptr, &TextOfFile, nullptr);
  VRefPtr<IFile> extracted(ExtractFile(VJSONValue(VString("/tmp/b.json"))), kAdoptRef);
  ASSERT_NE(extracted.Get(), nullptr);
  VString path;
  extracted->GetPath().GetPosixPath(path);
  EXPECT_EQ(to_string(path), "/tmp/b.json");
  VString text;
  WrapFile(file.Get()).GetString(text);
  EXPECT_EQ(to_string(text), "/tmp/a.json");
  EXPECT_EQ(ExtractFolder(VJSONValue(VString("/tmp/"))), nullptr) << "folders stay unregistered";
  SetFileFolderExtractorAndWrapper(nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(WrapFile(file.Get()).IsUndefined());
}

}  // namespace
}  // namespace zeft
