// Type identifiers and public file kinds of XMacFile, answered by the
// platform's type database.
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/IRefCountable.h"
#include "files/VFile.h"
#include "files/VFileKind.h"
#include "files/VFilePath.h"
#include "files/mac/XMacFile.h"
#include "platform/TypeDatabase.h"

namespace zeft {

namespace {

VString FromUTF8(const std::string& text) {
  return VString(text.data(), text.size(), kCharSetUTF8);
}

std::vector<VString> FromUTF8(const std::vector<std::string>& texts) {
  std::vector<VString> out;
  out.reserve(texts.size());
  for (const std::string& text : texts) out.push_back(FromUTF8(text));
  return out;
}

VFileKind* KindOfTag(const char* tagClass, const std::string& tag) {
  const platform::TypeDatabase* database = platform::InstalledTypeDatabase();
  if (database == nullptr || tag.empty()) return nullptr;
  const std::string identifier = database->PreferredIdentifierForTag(tagClass, tag);
  return identifier.empty() ? nullptr : XMacFile::CreatePublicFileKind(FromUTF8(identifier));
}

}  // namespace

VError XMacFile::GetUTIString(VString& identifier) const {
  identifier.Clear();
  struct stat info;
  if (fPosixPath == nullptr || ::stat(fPosixPath, &info) != 0) {
    return PosixError(fPosixPath == nullptr ? ENOENT : errno);
  }
  if (S_ISDIR(info.st_mode)) {
    identifier.FromCString("public.folder");
    return VE_OK;
  }
  VString extension;
  if (fOwner != nullptr) fOwner->GetPath().GetExtension(extension);
  const platform::TypeDatabase* database = platform::InstalledTypeDatabase();
  std::string found;
  if (database != nullptr && !extension.IsEmpty()) {
    found = database->PreferredIdentifierForTag(platform::kTagClassFilenameExtension,
                                                to_string(extension));
  }
  identifier = found.empty() ? VString("public.data") : FromUTF8(found);
  return VE_OK;
}

VFileKind* XMacFile::CreatePublicFileKind(const VString& identifier) {
  const platform::TypeDatabase* database = platform::InstalledTypeDatabase();
  platform::TypeDeclaration declaration;
  if (database == nullptr || identifier.IsEmpty() ||
      !database->CopyDeclaration(to_string(identifier), declaration)) {
    return nullptr;
  }
  return VFileKind::Create(identifier, {}, FromUTF8(declaration.fDescription),
                           FromUTF8(declaration.fExtensions), FromUTF8(declaration.fParents), true);
}

VFileKind* XMacFile::CreatePublicFileKindFromOsKind(const VString& osType) {
  return KindOfTag(platform::kTagClassOSType, to_string(osType).substr(0, 4));
}

VFileKind* XMacFile::CreatePublicFileKindFromExtension(const VString& extension) {
  return KindOfTag(platform::kTagClassFilenameExtension, to_string(extension));
}

VError XMacFile::ConformsTo(const VFileKind& kind, bool* conforms) const {
  *conforms = false;
  VString extension;
  if (fOwner != nullptr) fOwner->GetPath().GetExtension(extension);
  if (kind.IsPublic()) {
    VString identifier;
    const VError error = GetUTIString(identifier);
    if (error != VE_OK) return error;
    const platform::TypeDatabase* database = platform::InstalledTypeDatabase();
    *conforms = database != nullptr &&
                database->ConformsTo(to_string(identifier), to_string(kind.GetIdentifier()));
  }
  // An empty extension never matches.
  if (!*conforms) *conforms = !extension.IsEmpty() && kind.MatchExtension(extension);
  return VE_OK;
}

bool XMacFile::IsFileKindConformsTo(const VFileKind& kind, const VFileKind& other) {
  const platform::TypeDatabase* database = platform::InstalledTypeDatabase();
  if (kind.GetIdentifier().IsEmpty() || other.GetIdentifier().IsEmpty()) return false;
  if (kind.GetIdentifier().EqualToString(other.GetIdentifier(), false)) return true;
  return database != nullptr &&
         database->ConformsTo(to_string(kind.GetIdentifier()), to_string(other.GetIdentifier()));
}

}  // namespace zeft
