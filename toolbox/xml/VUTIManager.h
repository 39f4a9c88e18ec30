// VUTIManager is the process's registry of uniform type identifiers. It
// knows the types that its callers declare to it and those read from
// type-declaration property lists; there is no system type database
// behind it. After a list is read, each record is linked to the records it
// conforms to. It answers which types a tag (extension, OS type, MIME
// type) belongs to and whether a type conforms to another.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "runtime/VCriticalSection.h"
#include "xml/VUTI.h"

namespace zeft {

class ILocalizer;
class VFile;
class VUTIManagerXMLHandler;
class VXMLParser;

// Tag classes.
inline constexpr char kUTTagClassFilenameExtension[] = "public.filename-extension";
inline constexpr char kUTTagClassMIMEType[] = "public.mime-type";
// This platform's class of four-character file types.
inline constexpr char kUTTagClassOSType[] = "public.ostype";

class VUTIManager : public VObject, public IRefCountable {
 public:
  using UTIList = std::vector<VRefPtr<VUTI>>;

  // The process's manager, made on the first call (safely from any task)
  // and again after DeInit.
  static VUTIManager* GetUTIManager();
  // Installs the process's manager as the platform's type database, which
  // the file kinds ask.
  static bool Init();
  // Removes the type database and releases the process's manager; call at
  // shut-down, when no other task uses it.
  static bool DeInit();
  static void Delete();

  VUTIManager();
  ~VUTIManager() override;
  VUTIManager(const VUTIManager&) = delete;
  VUTIManager& operator=(const VUTIManager&) = delete;

  // Reads the type declarations of a property list held in memory (never
  // validated), then links the records. Parse errors stay on the task's
  // error stack; the declarations read before them are kept.
  bool LoadXMLBuffer(const void* data, size_t size);
  // The same over a property-list file; false when it is null or missing.
  bool LoadXMLFile(const VFile* file);
  // Parses the file with the declaration reader without linking the
  // records; always false.
  bool AnalyzeXMLFile(const VFile* file);
  // Links every placeholder parent to the record of its identifier, then,
  // when the process has a file-kind manager, registers every record as a
  // private file kind, its description translated by the localizer's
  // ".strings" keys.
  void ProcessExtractedUTIs();

  static bool UTTypeEqual(const VString& a, const VString& b);
  // Keeps (retains) the record unless its identifier is empty or known.
  bool AddNewUTI(VUTI* uti);
  // The record of the identifier (a placeholder excluded), retained; null
  // when none.
  VUTI* RetainUTI(const VString& identifier) const;
  int32 GetUTIsCount() const;
  // The localizer that translates type descriptions; not retained.
  void SetLocalizationManager(ILocalizer* localizer);
  ILocalizer* GetLocalizationManager() const { return fLocalizer; }

  // Every record conforming to the tag, in identifier order; null when the
  // tag class or the tag is empty, an empty list for an unknown class.
  std::unique_ptr<UTIList> UTTypeCreateAllIdentifiersForTag(const VString& tagClass,
                                                            const VString& tag,
                                                            const VString& conformingTo);
  // The record owning the tag (a public one before the others), retained
  // for the caller; null when none.
  VUTI* UTTypeCreatePreferredIdentifierForTag(const VString& tagClass, const VString& tag,
                                              const VString& conformingTo);
  // Whether the file's type conforms to `identifier`: the type preferred
  // for its extension or for its four-character type (the more specific
  // when both are known and related).
  bool UTTypeConformsTo(const VFile* file, const VString& identifier);

 private:
  // The tag owner of `uti` for the class; null for an unknown class.
  static VUTI* _TagOwner(VUTI* uti, const VString& tagClass, const VString& tag);

  VUTI::UTIMap fUTIs;
  std::unique_ptr<VXMLParser> fParser;
  VUTIManagerXMLHandler* fRootHandler;
  ILocalizer* fLocalizer = nullptr;
  // Re-entrant: the handlers add records while a list is being read.
  mutable VCriticalSection fLock;

  static VUTIManager* fSingleton;
  static std::optional<std::once_flag> sCreateOnce;
};

}  // namespace zeft
