// VUTITypeDatabase answers the platform's type database questions from the
// process's type identifier manager: the types it was told of and those
// declared in the property lists it read.
#pragma once

#include <string>

#include "platform/TypeDatabase.h"

namespace zeft {

class VUTITypeDatabase : public platform::TypeDatabase {
 public:
  bool CopyDeclaration(const std::string& identifier,
                       platform::TypeDeclaration& declaration) const override;
  std::string PreferredIdentifierForTag(const std::string& tagClass,
                                        const std::string& tag) const override;
  bool ConformsTo(const std::string& identifier, const std::string& other) const override;

  // The one VUTIManager::Init installs.
  static VUTITypeDatabase sDatabase;
};

}  // namespace zeft
