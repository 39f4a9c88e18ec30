// The system's database of uniform type identifiers, as the file layer asks
// it: the declaration of an identifier, the preferred identifier of a tag
// (a file name extension or a four-character OS type) and conformance.
// Linux has no such database: the type identifier manager installs itself
// as one, and until it does nothing is known. Texts are UTF-8.
#pragma once

#include <string>
#include <vector>

namespace zeft::platform {

struct TypeDeclaration {
  std::string fDescription;
  std::vector<std::string> fExtensions;
  std::vector<std::string> fParents;
};

class TypeDatabase {
 public:
  virtual ~TypeDatabase() = default;
  // False when the identifier is not declared.
  virtual bool CopyDeclaration(const std::string& identifier,
                               TypeDeclaration& declaration) const = 0;
  // Empty when no declared type owns the tag.
  virtual std::string PreferredIdentifierForTag(const std::string& tagClass,
                                                const std::string& tag) const = 0;
  // The identifier is the other one or declares it among its ancestors.
  virtual bool ConformsTo(const std::string& identifier, const std::string& other) const = 0;
};

inline constexpr char kTagClassFilenameExtension[] = "public.filename-extension";
inline constexpr char kTagClassOSType[] = "public.ostype";

// The installed database (lent, may be null). The installer keeps it alive
// until it installs another or null.
void InstallTypeDatabase(const TypeDatabase* database);
const TypeDatabase* InstalledTypeDatabase();

}  // namespace zeft::platform
