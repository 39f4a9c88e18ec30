// The file error record: the "name" and "path" it carries, the texts made
// from them, and its life on the error stack.
#include "files/VFileError.h"

#include <gtest/gtest.h>

#include "files/VFile.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

TEST(VFileError, NamesTheItemInItsParameters) {
  const struct {
    std::u16string path;
    const char* name;
    const char* text;
  } cases[] = {
      {u"Root:opt:App.app:", "App.app", "Root:opt:App.app:"},
      {u"Root:opt:notes.txt", "notes.txt", "Root:opt:notes.txt"},
      {u"Root:", "Root", "Root:"},
      {u"", "", ""},
  };
  for (const auto& c : cases) {
    VFileError error(VFilePath(Str(c.path)), ToolboxError(toolbox_error::kFileNotFound));
    const test::ErrorRecord record = test::ReadErrorRecord(error);
    EXPECT_EQ(record.code, ToolboxError(toolbox_error::kFileNotFound));
    EXPECT_EQ(record.parameters.at("name"), c.name);
    EXPECT_EQ(record.parameters.at("path"), c.text);
    EXPECT_EQ(Text(error.GetFilePath().GetPath()), c.path);
    EXPECT_EQ(error.GetRefCount(), 1);
  }
}

// A person reads POSIX paths: the description shows every ':' path
// parameter of a mounted volume as a POSIX path, while the record keeps
// what was stored.
TEST(VFileError, TextsUseThePathAsAPosixPath) {
  // The file classes' start-up installs the conversion, as a program's does.
  ASSERT_TRUE(VFile::Init());
  VFileError error(VFilePath(Str(u"Root:a:f.txt")), ToolboxError(toolbox_error::kFileNotFound));
  VString text;
  error.GetErrorDescription(text);
  EXPECT_EQ(to_string(text), "Error code: 600 (zeft)");
  error.GetBag()->SetString(StPackedDictionaryKey("destination"), Str(u"Root:b:c:"));
  error.GetBag()->SetString(StPackedDictionaryKey("other"), Str(u"Nowhere:x, Root, 12:30"));
  error.GetBag()->SetString(
      ErrorBagKeys::error_description,
      Str(u"Cannot open \u201c{name}\u201d in {path} for {destination}; {other}"));
  error.GetErrorDescription(text);
  EXPECT_EQ(Text(text),
            u"Cannot open \u201cf.txt\u201d in /a/f.txt for /b/c/; Nowhere:x, Root, 12:30");
  const test::ErrorRecord record = test::ReadErrorRecord(error);
  EXPECT_EQ(record.parameters.at("path"), "Root:a:f.txt");
  EXPECT_EQ(record.parameters.at("destination"), "Root:b:c:");
  VFile::DeInit();
  error.GetErrorDescription(text);
  EXPECT_EQ(Text(text),
            u"Cannot open \u201cf.txt\u201d in Root:a:f.txt for Root:b:c:; Nowhere:x, Root, 12:30");
}

TEST(VFileError, PushedWithTheNativeCode) {
  test::ErrorCollector errors;
  auto* error =
      new VFileError(VFilePath(Str(u"Root:a:")), ToolboxError(toolbox_error::kFolderNotFound));
  EXPECT_TRUE(_PushRetainedError(error, MakeVError(kComponentPosix, 2)));
  EXPECT_TRUE(test::HasError(errors.Errors(), MakeVError(kComponentPosix, 2)));
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), toolbox_error::kFolderNotFound, "name", "a"));
  EXPECT_TRUE(
      test::HasToolboxError(errors.Errors(), toolbox_error::kFolderNotFound, "path", "Root:a:"));
  // The native error's text goes with the record, for its description.
  EXPECT_TRUE(test::HasToolboxError(errors.Errors(), toolbox_error::kFolderNotFound,
                                    "native_description", strerrordesc_np(2)));
}

}  // namespace
}  // namespace zeft
