#include "xml/VUTITypeDatabase.h"

#include "core/IRefCountable.h"
#include "core/VString.h"
#include "xml/VUTI.h"
#include "xml/VUTIManager.h"

namespace zeft {

namespace {

VString FromUTF8(const std::string& text) {
  return VString(text.data(), text.size(), kCharSetUTF8);
}

}  // namespace

VUTITypeDatabase VUTITypeDatabase::sDatabase;

bool VUTITypeDatabase::CopyDeclaration(const std::string& identifier,
                                       platform::TypeDeclaration& declaration) const {
  VRefPtr<VUTI> uti(VUTIManager::GetUTIManager()->RetainUTI(FromUTF8(identifier)), kAdoptRef);
  if (!uti) return false;
  declaration.fDescription = to_string(uti->GetDescription());
  declaration.fExtensions.clear();
  for (const VString& extension : uti->GetExtensionsVector()) {
    declaration.fExtensions.push_back(to_string(extension));
  }
  declaration.fParents.clear();
  for (const auto& [parent, record] : uti->GetParentUTIsMap()) {
    declaration.fParents.push_back(to_string(parent));
  }
  return true;
}

std::string VUTITypeDatabase::PreferredIdentifierForTag(const std::string& tagClass,
                                                        const std::string& tag) const {
  VRefPtr<VUTI> uti(VUTIManager::GetUTIManager()->UTTypeCreatePreferredIdentifierForTag(
                        FromUTF8(tagClass), FromUTF8(tag), VString()),
                    kAdoptRef);
  return uti ? to_string(uti->GetIdentifier()) : std::string();
}

bool VUTITypeDatabase::ConformsTo(const std::string& identifier, const std::string& other) const {
  const VString first = FromUTF8(identifier);
  const VString second = FromUTF8(other);
  if (VUTIManager::UTTypeEqual(first, second)) return true;
  VRefPtr<VUTI> uti(VUTIManager::GetUTIManager()->RetainUTI(first), kAdoptRef);
  return uti && uti->ConformsToIdentifier(second);
}

}  // namespace zeft
