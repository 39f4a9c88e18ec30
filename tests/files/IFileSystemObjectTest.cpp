// What every file and folder implementation inherits: names, whole-content
// text, folder comparison, and the escaping of reserved file-name
// characters.
#include "files/IFileSystemObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/VTextConverters.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorThrow.h"
#include "support/ErrorTestSupport.h"
#include "support/StringTestSupport.h"

namespace zeft {
namespace {

using test::Str;
using test::Text;

// A file kept in memory; a failing read raises like a real file would.
class MemoryFile : public IFile {
 public:
  explicit MemoryFile(std::u16string_view path) : fPath(Str(path)) {}

  VFilePath GetPath() const override { return fPath; }
  VFileSystem* GetFileSystem() const override { return nullptr; }
  void GetPlatformPath(VString& path, FilePathStyle) const override { fPath.GetPath(path); }
  VString GetPathWithFileSystem() const override { return fPath.GetPath(); }
  IFolder* RetainParentFolder(bool) const override { return nullptr; }
  bool Exists() const override { return !fMissing; }
  VError GetTimeAttributes(VTime*, VTime*, VTime*) const override { return VE_OK; }
  VError GetContent(VMemoryBuffer<>& content) const override {
    if (fMissing) {
      _ThrowError(ToolboxError(toolbox_error::kFileNotFound));
      return ToolboxError(toolbox_error::kFileNotFound);
    }
    content.SetData(fBytes.data(), fBytes.size());
    return VE_OK;
  }
  VError GetData(void*, size_t, size_t*) const override { return VE_OK; }
  VError SetContent(const void* data, size_t size) const override {
    fBytes.assign(static_cast<const char*>(data), size);
    ++fWrites;
    return VE_OK;
  }
  VError AppendContent(const void* data, size_t size) const override {
    fBytes.append(static_cast<const char*>(data), size);
    return VE_OK;
  }
  VError Delete() const override { return VE_OK; }
  bool IsWritable() const override { return true; }
  VError GetSize(int64* size) const override {
    *size = int64(fBytes.size());
    return VE_OK;
  }

  VFilePath fPath;
  mutable std::string fBytes;
  mutable int fWrites = 0;
  bool fMissing = false;
};

class MemoryFolder : public IFolder {
 public:
  explicit MemoryFolder(std::u16string_view path) : fPath(Str(path)) {}

  VFilePath GetPath() const override { return fPath; }
  VFileSystem* GetFileSystem() const override { return nullptr; }
  void GetPlatformPath(VString& path, FilePathStyle) const override { fPath.GetPath(path); }
  VString GetPathWithFileSystem() const override { return fPath.GetPath(); }
  IFolder* RetainParentFolder(bool) const override { return nullptr; }
  bool Exists() const override { return true; }
  VError GetTimeAttributes(VTime*, VTime*, VTime*) const override { return VE_OK; }
  IFolder* RetainRelativeFolder(const VString&, FilePathStyle, VFileSystem*) const override {
    return nullptr;
  }
  void GetElements(std::vector<VRefPtr<IFile>>*, std::vector<VRefPtr<IFolder>>*) const override {}
  void Iterate(std::function<bool(IFileAttributeAccessor*)>&&, unsigned) const override {}
  IFile* _RetainRelativeIFile(const VString&, FilePathStyle) const override { return nullptr; }

  VFilePath fPath;
};

TEST(IFileSystemObject, NamesAndExtensions) {
  VRefPtr<MemoryFile> file(new MemoryFile(u"Root:a.b:notes.v1.txt"), kAdoptRef);
  VRefPtr<MemoryFolder> folder(new MemoryFolder(u"Root:a:Tool.app:"), kAdoptRef);
  VString text;
  file->GetName(text);
  EXPECT_EQ(Text(text), u"notes.v1.txt");
  file->GetNameWithoutExtension(text);
  EXPECT_EQ(Text(text), u"notes.v1");
  file->GetExtension(text);
  EXPECT_EQ(Text(text), u"txt");
  EXPECT_TRUE(file->MatchExtension(Str(u"txt")));
  EXPECT_FALSE(file->MatchExtension(Str(u"v1")));
  folder->GetName(text);
  EXPECT_EQ(Text(text), u"Tool.app");
  folder->GetNameWithoutExtension(text);
  EXPECT_EQ(Text(text), u"Tool");
  EXPECT_TRUE(folder->MatchExtension(Str(u"app")));
}

TEST(IFileSystemObject, SameFolderComparesPathsExactly) {
  VRefPtr<MemoryFolder> a(new MemoryFolder(u"Root:a:"), kAdoptRef);
  VRefPtr<MemoryFolder> same(new MemoryFolder(u"Root:a:"), kAdoptRef);
  VRefPtr<MemoryFolder> upper(new MemoryFolder(u"Root:A:"), kAdoptRef);
  EXPECT_TRUE(a->IsSameFolder(same.Get()));
  EXPECT_FALSE(a->IsSameFolder(upper.Get()));
  EXPECT_FALSE(a->IsSameFolder(nullptr));
}

TEST(IFileSystemObject, ContentAsString) {
  VRefPtr<MemoryFile> file(new MemoryFile(u"Root:f.txt"), kAdoptRef);
  // A byte-order mark overrides the character set asked for.
  file->fBytes =
      "\xEF\xBB\xBF"
      "caf\xC3\xA9\r\nend";
  VString text;
  EXPECT_EQ(file->GetContentAsString(text, kCharSetMacRoman, kCRModeLF), VE_OK);
  EXPECT_EQ(Text(text), u"café\nend");
  EXPECT_EQ(file->GetContentAsString(text, kCharSetMacRoman, kCRModeNone), VE_OK);
  EXPECT_EQ(Text(text), u"café\r\nend");

  EXPECT_EQ(file->SetContentAsString(Str(u"a\nb"), kCharSetUTF8, kCRModeCRLF, true), VE_OK);
  EXPECT_EQ(file->fBytes,
            "\xEF\xBB\xBF"
            "a\r\nb");
  EXPECT_EQ(file->SetContentAsString(Str(u"é"), kCharSetUTF16BigEndian, kCRModeNone, false), VE_OK);
  EXPECT_EQ(file->fBytes, std::string("\x00\xE9", 2));
  // An empty text empties the file, without a mark.
  EXPECT_EQ(file->SetContentAsString(VString(), kCharSetUTF8, kCRModeNone, true), VE_OK);
  EXPECT_EQ(file->fBytes, "");
  EXPECT_EQ(file->fWrites, 3);
}

TEST(IFileSystemObject, ContentAsStringFailures) {
  VRefPtr<MemoryFile> file(new MemoryFile(u"Root:f.txt"), kAdoptRef);
  file->fBytes = "kept";
  {
    test::ErrorCollector errors;
    EXPECT_EQ(file->SetContentAsString(Str(u"x"), CharSet(987654), kCRModeNone, false),
              ToolboxError(toolbox_error::kStreamNoTextConverter));
  }
  EXPECT_EQ(file->fBytes, "kept");
  EXPECT_EQ(file->fWrites, 0);
  {
    test::ErrorCollector errors;
    file->fMissing = true;
    VString text = Str(u"stale");
    EXPECT_EQ(file->GetContentAsString(text, kCharSetUTF8, kCRModeNone),
              ToolboxError(toolbox_error::kFileNotFound));
    EXPECT_TRUE(text.IsEmpty());
  }
}

TEST(IFileSystemObject, ContentAsJSON) {
  VRefPtr<MemoryFile> file(new MemoryFile(u"Root:f.json"), kAdoptRef);
  file->fBytes = "\xEF\xBB\xBF{\"name\": \"caf\xC3\xA9\",\r\n \"port\": 8080}";
  VJSONValue value;
  ASSERT_EQ(file->GetContentAsJSON(value, kCharSetMacRoman), VE_OK);
  ASSERT_TRUE(value.IsObject());
  VString text;
  EXPECT_EQ(value.GetProperty(Str(u"name")).GetString(text), VE_OK);
  EXPECT_EQ(Text(text), u"café");
  EXPECT_EQ(value.GetProperty(Str(u"port")).GetNumber(), 8080);

  EXPECT_EQ(file->SetContentAsJSON(VJSONValue(Str(u"é")), kCharSetUTF8, kCRModeNone, false), VE_OK);
  EXPECT_EQ(file->fBytes, "\"\xC3\xA9\"");
  {
    test::ErrorCollector errors;
    file->fBytes = "{\"open\": ";
    EXPECT_NE(file->GetContentAsJSON(value, kCharSetUTF8), VE_OK);
    file->fMissing = true;
    EXPECT_EQ(file->GetContentAsJSON(value, kCharSetUTF8),
              ToolboxError(toolbox_error::kFileNotFound));
  }
}

TEST(IFileSystemObject, ReservedFileCharacters) {
  const struct {
    std::u16string plain;
    std::u16string encoded;
  } cases[] = {
      {u"a/b:c", u"a%2Fb%3Ac"},
      {u"#&. é漢\u007F", u"#&. é漢\u007F"},
      {u"\"%*<>?\\|", u"%22%25%2A%3C%3E%3F%5C%7C"},
      {std::u16string(u"\u0000\u001F", 2), u"%00%1F"},
      {u"", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(EncodeReservedFileCharacters(Str(c.plain))), c.encoded);
    EXPECT_EQ(Text(DecodeReservedFileCharacters(Str(c.encoded))), c.plain);
  }
  EXPECT_EQ(Text(DecodeReservedFileCharacters(Str(u"end%"))), u"end%");
  EXPECT_EQ(Text(DecodeReservedFileCharacters(Str(u"end%4"))), u"end%4");
  EXPECT_EQ(Text(DecodeReservedFileCharacters(Str(u"%zz"))), std::u16string(1, u'\0'));
  EXPECT_EQ(Text(DecodeReservedFileCharacters(Str(u"%e9"))), u"é");
}

}  // namespace
}  // namespace zeft
