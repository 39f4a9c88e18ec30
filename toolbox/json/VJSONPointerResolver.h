// VJSONPointerResolver replaces "$ref" reference objects in a JSON value by
// the values they designate: a JSON Pointer into the same document or into
// a JSON file found beside the referring document or through named file
// systems. Files are parsed once
// per cache. A reference that cannot be resolved becomes undefined and
// leaves an error object in the resolver's error list; the walk goes on.
#pragma once

#include <unordered_map>
#include <utility>
#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONArray.h"
#include "json/VJSONFileCache.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"

namespace zeft {

class IFile;
class IFolder;
class VFileSystemNamespace;
class VJSONObject;

class VJSONPointerResolver : public VObject, public IRefCountable {
 public:
  // One resolution run.
  struct Context {
    // Out of line: the file handles are complete only there.
    explicit Context(bool patchMode);
    ~Context();
    // Reference-holding objects and arrays already handled (kept alive).
    std::unordered_map<const void*, VJSONValue> visited;
    std::vector<const VJSONObject*> inProgress;
    std::vector<std::pair<VRefPtr<VJSONPointerResolver>, VJSONValue>> pending;
    std::unordered_map<VString, VRefPtr<IFile>, VJSONPropertyHash, VJSONPropertyEqual> files;
    bool patch;
    bool resolveNested = true;
    VString currentURI;
  };

  static const VString sRefPropertyName;

  // Any of the last three may be null. Document names are found through
  // `fileSystems` when given ("/NAME/rest" in the file system NAME, other
  // names below `baseFolder`), else as POSIX paths relative to
  // `baseFolder`. Without a cache a private one is made.
  VJSONPointerResolver(const VJSONValue& root, IFolder* baseFolder,
                       VFileSystemNamespace* fileSystems, VJSONFileCache* fileCache);
  ~VJSONPointerResolver() override;

  // Resolves every reference reachable from `value`, in place; `outFiles`
  // receives the files read.
  void ResolveRecursively(VJSONValue& value, bool patch,
                          std::vector<VRefPtr<IFile>>* outFiles = nullptr);
  // One reference object into `outValue` (undefined on failure), patch off.
  void ResolveOnePointer(VJSONObject* referenceObject, bool resolveNested, VJSONValue& outValue);

  // The steps, for the walk.
  bool Resolve(Context& context, VJSONValue& value, VRefPtr<VJSONPointerResolver>& outSubResolver,
               bool& outInProgress, bool& outDescend);
  bool ResolvePointerURI(Context& context, const VString& uri, VJSONValue& outDocument,
                         VRefPtr<IFolder>& outFolder, VJSONValue& outValue);
  bool LoadDocument(Context& context, const VString& uri, const VString& document,
                    VJSONValue& outDocument, VRefPtr<IFolder>& outFolder);
  bool ResolvePointerString(Context& context, const VJSONValue& document, const VString& pointer,
                            VJSONValue& outValue);
  bool ResolveOnePart(Context& context, VJSONValue& current, VString token);
  VJSONValue PatchPointerValue(Context& context, const VJSONValue& referenceValue,
                               const VJSONValue& designated);

  // The error objects recorded so far (lent), or null when there is none.
  VJSONArray* GetErrors() const { return fErrors; }

 private:
  bool _Walk(Context& context, VJSONValue& value);
  static bool _IsReference(const VJSONValue& value);
  void _RecordError(int32 number, const VString* pointerURI, const VString* referredPath,
                    VError code = VE_OK);

  VJSONValue fRoot;
  IFolder* fBaseFolder;
  VFileSystemNamespace* fFileSystems;
  VJSONFileCache* fFileCache;
  VJSONArray* fErrors = nullptr;
};

// Turns a JSON Pointer reference token back into the name it stands for:
// "~1" is "/", then "~0" is "~". No percent-decoding.
void UnescapeJSONPointerToken(VString& token);

}  // namespace zeft
