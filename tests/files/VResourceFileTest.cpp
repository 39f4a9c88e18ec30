// String lists built over a resource file's reading operations, and the
// closing of an open file when its last reference goes.
#include "files/VResourceFile.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/StringTestSupport.h"
#include "values/VArrayString.h"

namespace zeft {
namespace {

class FakeResourceFile : public VResourceFile {
 public:
  explicit FakeResourceFile(bool* closed) : fClosed(closed) {}

  VError GetResourceID(uint32 type, const VString& name, int32* id) const override {
    if (type != kStringListType || to_string(name) != "Greetings") return ToolboxError(401);
    *id = 128;
    return VE_OK;
  }
  bool GetIndString(VString& text, int32 id, int32 index) const override {
    if (id != 128 || index < 1 || index > int32(fStrings.size())) return false;
    text.FromCString(fStrings[size_t(index - 1)].c_str());
    return true;
  }
  bool IsOpen() const override { return fOpen; }
  void Close() override { *fClosed = true; }

  std::vector<std::string> fStrings{"hello", "", "bye"};
  bool fOpen = true;
  bool* fClosed;
};

std::vector<std::string> Strings(const VArrayString& list) {
  std::vector<std::string> out;
  for (int32 i = 1; i <= list.GetCount(); ++i) {
    VString text;
    list.GetString(text, i);
    out.push_back(to_string(text));
  }
  return out;
}

TEST(VResourceFile, StringListsByIdAndByName) {
  EXPECT_TRUE(VResourceFile::Init());
  bool closed = false;
  VRefPtr<FakeResourceFile> file(new FakeResourceFile(&closed), kAdoptRef);
  VArrayString list;
  list.AppendString(VString("stale"));
  EXPECT_TRUE(file->GetStringList(128, list));
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"hello", "", "bye"}));
  EXPECT_TRUE(file->GetStringList(7, list));
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_TRUE(file->GetStringList(VString("Greetings"), list));
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_FALSE(file->GetStringList(VString("Absent"), list));
  VResourceFile::DeInit();
}

TEST(VResourceFile, LastReleaseClosesAnOpenFile) {
  bool closed = false;
  (new FakeResourceFile(&closed))->Release();
  EXPECT_TRUE(closed);
  closed = false;
  auto* file = new FakeResourceFile(&closed);
  file->fOpen = false;
  file->Release();
  EXPECT_FALSE(closed);
}

}  // namespace
}  // namespace zeft
