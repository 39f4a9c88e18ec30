#include "json/VJSONPointerResolver.h"

#include <unordered_set>

#include "files/IFileSystemObject.h"
#include "files/VFileSystemNamespace.h"
#include "files/VURL.h"
#include "json/JSONStackCheck.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorBase.h"
#include "values/VValueBag.h"

namespace zeft {

const VString VJSONPointerResolver::sRefPropertyName("$ref");

namespace {

const VString kPointerURI("pointerURI");
const VString kReferredPath("referredPath");

bool BeginsWithScheme(const VString& text, const char* scheme) {
  const VString prefix(scheme);
  if (text.GetLength() < prefix.GetLength()) return false;
  VString head;
  text.GetSubString(1, prefix.GetLength(), head);
  return head.CompareToStringRawCase(prefix) == 0;
}

VString PosixPathOf(const IFile* file) {
  VString path;
  file->GetPath().GetPosixPath(path);
  return path;
}

}  // namespace

VJSONPointerResolver::Context::Context(bool patchMode) : patch(patchMode) {}

VJSONPointerResolver::Context::~Context() = default;

VJSONPointerResolver::VJSONPointerResolver(const VJSONValue& root, IFolder* baseFolder,
                                           VFileSystemNamespace* fileSystems,
                                           VJSONFileCache* fileCache)
    : fRoot(root), fBaseFolder(baseFolder), fFileSystems(fileSystems), fFileCache(fileCache) {
  if (fBaseFolder != nullptr) fBaseFolder->Retain();
  if (fFileSystems != nullptr) fFileSystems->Retain();
  if (fFileCache != nullptr) {
    fFileCache->Retain();
  } else {
    fFileCache = new VJSONFileCache();
  }
}

VJSONPointerResolver::~VJSONPointerResolver() {
  if (fBaseFolder != nullptr) fBaseFolder->Release();
  if (fFileSystems != nullptr) fFileSystems->Release();
  fFileCache->Release();
  if (fErrors != nullptr) fErrors->Release();
}

// ---------------------------------------------------------------------------
// Runs

void VJSONPointerResolver::ResolveRecursively(VJSONValue& value, bool patch,
                                              std::vector<VRefPtr<IFile>>* outFiles) {
  StErrorContextInstaller silent(false, true);
  Context context(patch);
  _Walk(context, value);
  while (!context.pending.empty()) {
    auto pending = std::move(context.pending);
    context.pending.clear();
    for (auto& [resolver, pendingValue] : pending) resolver->_Walk(context, pendingValue);
  }
  if (outFiles != nullptr) {
    for (auto& [path, file] : context.files) outFiles->push_back(file);
  }
  if (fErrors == nullptr && silent.GetLastError() != VE_OK) {
    _RecordError(0, nullptr, nullptr, silent.GetLastError());
  }
}

void VJSONPointerResolver::ResolveOnePointer(VJSONObject* referenceObject, bool resolveNested,
                                             VJSONValue& outValue) {
  StErrorContextInstaller silent(false, true);
  Context context(false);
  context.resolveNested = resolveNested;
  VJSONValue value(referenceObject);
  VRefPtr<VJSONPointerResolver> subResolver;
  bool inProgress = false;
  bool descend = false;
  Resolve(context, value, subResolver, inProgress, descend);
  outValue = value;
}

bool VJSONPointerResolver::_Walk(Context& context, VJSONValue& value) {
  if (!JSONHasStackRoomSilently()) return false;
  if (VJSONObject* object = value.GetObject()) {
    VRefPtr<VJSONPointerResolver> subResolver;
    bool inProgress = false;
    bool descend = false;
    if (Resolve(context, value, subResolver, inProgress, descend)) {
      // A reference designating another reference is followed at once,
      // each reference object of the chain once.
      std::unordered_set<const VJSONObject*> chain{object};
      while (subResolver && _IsReference(value)) {
        if (!chain.insert(value.GetObject()).second) {
          _RecordError(json_error::kPointerCycle, &context.currentURI, nullptr);
          value.SetUndefined();
          return true;
        }
        VRefPtr<VJSONPointerResolver> next;
        subResolver->Resolve(context, value, next, inProgress, descend);
        subResolver = std::move(next);
      }
      if (subResolver) context.pending.emplace_back(std::move(subResolver), value);
      return true;
    }
    // Each object is descended into once per run, so cycles end.
    if (!descend) return false;
    std::vector<std::pair<VString, VJSONValue>> properties;
    for (VJSONPropertyConstOrderedIterator it(
             object, VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly);
         it.IsValid(); ++it) {
      properties.emplace_back(it.GetName(), it.GetValue());
    }
    for (auto& [name, property] : properties) {
      if (_Walk(context, property)) object->SetProperty(name, property);
    }
  } else if (VJSONArray* array = value.GetArray()) {
    if (!context.visited.try_emplace(array, value).second) return false;
    std::vector<VJSONValue> elements;
    array->GetValues(elements);
    for (size_t i = 0; i < elements.size(); ++i) {
      if (_Walk(context, elements[i])) array->SetAt(i, elements[i]);
    }
  }
  return false;
}

bool VJSONPointerResolver::_IsReference(const VJSONValue& value) {
  const VJSONObject* object = value.GetObject();
  return object != nullptr && object->GetOwnProperty(sRefPropertyName).IsString();
}

// ---------------------------------------------------------------------------
// Steps

bool VJSONPointerResolver::Resolve(Context& context, VJSONValue& value,
                                   VRefPtr<VJSONPointerResolver>& outSubResolver,
                                   bool& outInProgress, bool& outDescend) {
  outInProgress = false;
  outDescend = false;
  VJSONObject* object = value.GetObject();
  if (object == nullptr) {
    outDescend = value.IsArray();
    return false;
  }
  for (const VJSONObject* busy : context.inProgress) {
    if (busy == object) {
      outInProgress = true;
      return false;
    }
  }
  if (!context.visited.try_emplace(object, value).second) return false;
  const VJSONValue reference = object->GetOwnProperty(sRefPropertyName);
  if (!reference.IsString()) {
    outDescend = true;
    return false;
  }
  const VJSONValue referenceValue = value;
  context.inProgress.push_back(object);
  VJSONValue document;
  VRefPtr<IFolder> folder;
  VJSONValue designated;
  const bool resolved = ResolvePointerURI(context, VString(reference.GetInlineString()), document,
                                          folder, designated);
  if (resolved) {
    value = context.patch ? PatchPointerValue(context, referenceValue, designated) : designated;
  } else {
    value.SetUndefined();
  }
  context.inProgress.pop_back();
  if (value.GetObject() != object) context.visited.erase(object);
  if (resolved) {
    outSubResolver.Adopt(
        new VJSONPointerResolver(document, folder.Get(), fFileSystems, fFileCache));
  }
  return true;
}

bool VJSONPointerResolver::ResolvePointerURI(Context& context, const VString& uri,
                                             VJSONValue& outDocument, VRefPtr<IFolder>& outFolder,
                                             VJSONValue& outValue) {
  VString document;
  VString pointer;
  const int32 hash = uri.FindUniChar(u'#');
  if (hash > 0) {
    uri.GetSubString(1, hash - 1, document);
    uri.GetSubString(hash + 1, uri.GetLength() - hash, pointer);
  } else {
    document = uri;
  }
  VURL::Decode(document);
  VURL::Decode(pointer);
  document.RemoveWhiteSpaces();
  if (BeginsWithScheme(document, "http:") || BeginsWithScheme(document, "https:") ||
      BeginsWithScheme(document, "file:")) {
    _RecordError(json_error::kPointerRefused, &uri, nullptr);
    return false;
  }
  if (!LoadDocument(context, uri, document, outDocument, outFolder)) return false;
  const VString savedURI = context.currentURI;
  context.currentURI = uri;
  const bool resolved = ResolvePointerString(context, outDocument, pointer, outValue);
  context.currentURI = savedURI;
  return resolved;
}

bool VJSONPointerResolver::LoadDocument(Context& context, const VString& uri,
                                        const VString& document, VJSONValue& outDocument,
                                        VRefPtr<IFolder>& outFolder) {
  if (document.IsEmpty()) {
    outDocument = fRoot;
    outFolder.Reset(fBaseFolder);
    return true;
  }
  VRefPtr<IFile> file;
  if (fFileSystems != nullptr) {
    file.Adopt(fFileSystems->RetainFile(
        document, fBaseFolder, kFileSystemLookupSkipHidden | kFileSystemLookupParents, false));
  } else if (fBaseFolder != nullptr && document.GetUniChar(1) != u'/') {
    file.Adopt(fBaseFolder->_RetainRelativeIFile(document, kFilePathStylePosix));
  }
  if (!file) {
    _RecordError(json_error::kReferredFileMissing, &uri, &document);
    return false;
  }
  const VString path = PosixPathOf(file.Get());
  context.files.try_emplace(path, file);
  VJSONValue cached = fFileCache->GetValue(path);
  if (!cached.IsUndefined()) {
    outDocument = cached;
    outFolder.Adopt(file->RetainParentFolder(false));
    return true;
  }
  if (!file->Exists()) {
    _RecordError(json_error::kReferredFileMissing, &uri, &path);
    return false;
  }
  VJSONValue parsed;
  {
    StErrorContextInstaller silent(false, true);
    VString text;
    if (file->GetContentAsString(text, kCharSetUTF8, kCRModeNone) != VE_OK ||
        VJSONImporter::ParseString(text, parsed, 0x83) != VE_OK) {
      parsed.SetUndefined();
    }
  }
  if (parsed.IsUndefined()) {
    _RecordError(json_error::kReferredFileInvalid, &uri, &path);
    return false;
  }
  fFileCache->SetValue(path, parsed);
  outDocument = parsed;
  outFolder.Adopt(file->RetainParentFolder(false));
  return true;
}

bool VJSONPointerResolver::ResolvePointerString(Context& context, const VJSONValue& document,
                                                const VString& pointer, VJSONValue& outValue) {
  outValue = document;
  if (pointer.IsEmpty()) return true;
  if (pointer.GetUniChar(1) != u'/') {
    _RecordError(json_error::kPointerMalformed, &context.currentURI, nullptr);
    return false;
  }
  std::vector<VString> tokens;
  pointer.GetSubStrings(u'/', tokens, true);
  for (size_t i = 1; i < tokens.size(); ++i) {
    if (!ResolveOnePart(context, outValue, tokens[i])) return false;
  }
  return true;
}

void UnescapeJSONPointerToken(VString& token) {
  if (token.FindUniChar(u'~') == 0) return;
  token.ExchangeRawString(VString("~1"), VString("/"));
  token.ExchangeRawString(VString("~0"), VString("~"));
}

bool VJSONPointerResolver::ResolveOnePart(Context& context, VJSONValue& current, VString token) {
  UnescapeJSONPointerToken(token);
  if (current.IsObject() && context.resolveNested) {
    VRefPtr<VJSONPointerResolver> subResolver;
    bool inProgress = false;
    bool descend = false;
    Resolve(context, current, subResolver, inProgress, descend);
    if (inProgress) {
      _RecordError(json_error::kPointerCycle, &context.currentURI, nullptr);
      return false;
    }
  }
  if (const VJSONObject* object = current.GetObject()) {
    current = object->GetProperty(token);
    if (current.IsUndefined()) {
      _RecordError(json_error::kPointerNoValue, &context.currentURI, nullptr);
      return false;
    }
    return true;
  }
  if (const VJSONArray* array = current.GetArray()) {
    const UniChar* units = token.GetCPointer();
    const int32 length = token.GetLength();
    if (length == 1 && units[0] == u'-') {
      _RecordError(json_error::kPointerRefused, &context.currentURI, nullptr);
      return false;
    }
    bool digits = length > 0 && !(length > 1 && units[0] == u'0');
    for (int32 i = 0; i < length && digits; ++i) digits = units[i] >= u'0' && units[i] <= u'9';
    if (!digits) {
      _RecordError(json_error::kPointerMalformed, &context.currentURI, nullptr);
      return false;
    }
    // An index too large for any array designates nothing.
    uint64 index = 0;
    bool overflow = false;
    for (int32 i = 0; i < length && !overflow; ++i) {
      overflow = index > (UINT64_MAX - 9) / 10;
      index = index * 10 + uint64(units[i] - u'0');
    }
    if (overflow || index >= array->GetCount() ||
        (current = array->GetAt(size_t(index))).IsUndefined()) {
      _RecordError(json_error::kPointerNoValue, &context.currentURI, nullptr);
      return false;
    }
    return true;
  }
  _RecordError(json_error::kPointerThroughScalar, &context.currentURI, nullptr);
  return false;
}

VJSONValue VJSONPointerResolver::PatchPointerValue(Context&, const VJSONValue& referenceValue,
                                                   const VJSONValue& designated) {
  const VJSONObject* target = designated.GetObject();
  const VJSONObject* reference = referenceValue.GetObject();
  if (target == nullptr || reference == nullptr) return designated;
  std::vector<std::pair<VString, VJSONValue>> overrides;
  for (VJSONPropertyConstOrderedIterator it(reference,
                                            VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly);
       it.IsValid(); ++it) {
    if (!it.GetName().EqualToStringRaw(sRefPropertyName)) {
      overrides.emplace_back(it.GetName(), it.GetValue());
    }
  }
  if (overrides.empty()) return designated;
  VJSONValue patched(JSON_object);
  VJSONObject* result = patched.GetObject();
  for (VJSONPropertyConstOrderedIterator it(target,
                                            VJSONPropertyConstOrderedIterator::kOwnPropertiesOnly);
       it.IsValid(); ++it) {
    result->SetProperty(it.GetName(), it.GetValue());
  }
  for (auto& [name, value] : overrides) result->SetProperty(name, value);
  return patched;
}

// ---------------------------------------------------------------------------
// Errors

void VJSONPointerResolver::_RecordError(int32 number, const VString* pointerURI,
                                        const VString* referredPath, VError code) {
  if (code == VE_OK) code = ToolboxError(number);
  VRefPtr<VErrorBase> record(new VErrorBase(code), kAdoptRef);
  if (pointerURI != nullptr && !pointerURI->IsEmpty()) {
    record->GetBag()->SetString(StPackedDictionaryKey("p1"), *pointerURI);
  }
  if (referredPath != nullptr && !referredPath->IsEmpty()) {
    record->GetBag()->SetString(StPackedDictionaryKey("p2"), *referredPath);
  }
  VString message;
  record->GetErrorDescription(message);
  VJSONValue error(JSON_object);
  VJSONObject* object = error.GetObject();
  object->SetProperty(VString("code"), VJSONValue(double(ErrorNumber(code))));
  VString component;
  component.FromOsType(ErrorComponent(code));
  object->SetProperty(VString("component"), VJSONValue(component));
  object->SetProperty(VString("message"), VJSONValue(message));
  if (pointerURI != nullptr) object->SetProperty(kPointerURI, VJSONValue(*pointerURI));
  if (referredPath != nullptr) object->SetProperty(kReferredPath, VJSONValue(*referredPath));
  if (fErrors == nullptr) fErrors = new VJSONArray();
  fErrors->Push(error);
}

}  // namespace zeft
