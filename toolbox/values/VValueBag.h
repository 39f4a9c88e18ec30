// VValueBag is the attribute bag, value kind 200: the general carrier of
// structured data. Attributes map names to single values, elements map
// names to ordered lists (VBagArray) of sub-bags, and character data sits
// under the attribute "<>"; a bag is thus the in-memory form of one XML
// element. Bags are reference counted; copies and clones are deep.
#pragma once

#include <vector>

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "core/VValue.h"
#include "core/VValueInfo.h"
#include "values/StPackedDictionaryKey.h"
#include "values/VBagArray.h"
#include "values/VPackedDictionary.h"
#include "values/VPackedDictionary_with_backstore.h"

namespace zeft {

class IBaggable;
class VJSONObject;
class VJSONValue;
class VStream;
class VString;
class VValueSingle;

// The wanted order of the sub-elements of one element name: up to 10
// names, unused ones null. An array of these ends with a record whose
// element name is null.
struct StBagElementsOrdering {
  static constexpr int kMaxSubElements = 10;
  const StPackedDictionaryKey* fElementName;
  const StPackedDictionaryKey* fSubElements[kMaxSubElements];
};

class VValueBag : public VValue, public IRefCountable {
 public:
  using AttributeStore = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;
  using ElementStore = VPackedDictionary<VPackedValue_VBagArray>;
  using KeyPath = std::vector<StPackedDictionaryKey>;

  // Tag of the full stream form: "VBAG" read as a big-endian number.
  static constexpr uint32 kStreamTag = 0x56424147;
  static constexpr uint16 kStreamVersion = 1;

  static const VValueInfo_default<VValueBag, kValueKindBag> sInfo;

  // A new bag carries its creator's reference; dirty, not null.
  VValueBag();
  // A deep copy: takes the source's flags and is dirty; shares nothing.
  VValueBag(const VValueBag& other);
  VValueBag& operator=(const VValueBag&) = delete;
  ~VValueBag() override;

  // Empties attributes and elements.
  void Destroy();
  // No attribute and no element name.
  bool IsEmpty() const;

  // VValue.
  const VValueInfo* GetValueInfo() const override;
  VValueBag* Clone() const override;
  // Full stream form: the tag, the version, a reserved word, then the
  // minimal form. Reading empties the bag first; a refused stream leaves
  // it empty.
  VError ReadFromStream(VStream* stream, int32 param = 0) override;
  VError WriteToStream(VStream* stream, int32 param = 0) const override;
  // Keeps VObject's DebugDump(VString&) visible beside the override.
  using VObject::DebugDump;
  // One line "name = value" per attribute, then per element name a
  // "=======" header with the bag count and name and each bag's dump
  // after "--"; at most length / 2 units in UTF-16. Answers UTF-16.
  CharSet DebugDump(char* buffer, int& length) const override;

  // Minimal stream form (no header): content flags, attribute block,
  // element block. Sub-bags and bag arrays use it.
  VError WriteToStreamMinimal(VStream* stream, bool withIndex) const;
  VError ReadFromStreamMinimal(VStream* stream);
  // Reader of the earlier stream layout: the attribute names as a
  // VArrayString, a 32-bit count and per attribute its 32-bit kind and
  // stream form; then the element names, a 32-bit count and per name a
  // bag array in minimal form. Empties the bag first and leaves it empty
  // when the stream is refused (toolbox error 209 for counts that do not
  // match the names, a null or invalid name, or a kind that is not a
  // registered single value, since its form could not be skipped).
  VError _ReadFromStream_v1(VStream* stream);

  // --- Attributes -------------------------------------------------------
  // Replaces the value of the name, or adds it. False when the key is
  // invalid or memory runs out.
  bool SetAttribute(const StPackedDictionaryKey& key, const VValueSingle& value);
  // The value converted to out's kind (null when it is null); false when
  // absent.
  bool GetAttribute(const StPackedDictionaryKey& key, VValueSingle& out) const;
  // The value object itself (loaded and cached); null when absent or not
  // loadable.
  const VValueSingle* GetAttributeValue(const StPackedDictionaryKey& key) const;
  bool AttributeExists(const StPackedDictionaryKey& key) const;
  // 1-based position of the attribute, 0 when absent.
  int32 FindAttribute(const StPackedDictionaryKey& key) const;
  void RemoveAttribute(const StPackedDictionaryKey& key);
  int32 GetAttributesCount() const;
  // For 1 <= n <= count: outName (when given) gets the n-th name and the
  // n-th value object is returned (null when its kind is not registered).
  // Out of range: outName cleared, null.
  const VValueSingle* GetNthAttribute(int32 n, VString* outName) const;

  // Typed shortcuts over SetAttribute / GetAttribute.
  bool SetString(const StPackedDictionaryKey& key, const VString& value);
  bool GetString(const StPackedDictionaryKey& key, VString& out) const;
  bool SetLong(const StPackedDictionaryKey& key, int32 value);
  bool GetLong(const StPackedDictionaryKey& key, int32& out) const;
  bool SetLong8(const StPackedDictionaryKey& key, int64 value);
  bool GetLong8(const StPackedDictionaryKey& key, int64& out) const;
  bool SetReal(const StPackedDictionaryKey& key, double value);
  bool GetReal(const StPackedDictionaryKey& key, double& out) const;
  bool SetBool(const StPackedDictionaryKey& key, bool value);
  bool GetBool(const StPackedDictionaryKey& key, bool& out) const;

  // Character data: the string attribute "<>".
  static const StPackedDictionaryKey& CDataAttributeName();
  void SetCData(const VString& text);
  bool GetCData(VString& out) const;
  // Appends to the character data (a value that is not a string becomes
  // one first); sets it when there is none.
  void AppendToCData(const VString& text);

  // Direct access for the forms that walk the stores.
  const AttributeStore& GetAttributeStore() const { return fAttributes; }
  const ElementStore* GetElementStore() const { return fElements; }

  // --- Elements ---------------------------------------------------------
  // The list of the name, not retained; null when absent.
  VBagArray* GetElements(const StPackedDictionaryKey& key) const;
  // Stores the list (retained) in place of the name's list (released).
  void SetElements(const StPackedDictionaryKey& key, VBagArray* array);
  // Appends the bag (retained) to the name's list, making the list when
  // needed; null does nothing.
  void AddElement(const StPackedDictionaryKey& key, VValueBag* bag);
  // Saves the object into a new bag and adds it under the kind name the
  // object gives; the object's error when saving fails.
  VError AddElement(const IBaggable* object);
  // Makes the bag the only one of the name's list; false when it already
  // was. With null, removes the list and answers false.
  bool ReplaceElement(const StPackedDictionaryKey& key, VValueBag* bag);
  void RemoveElements(const StPackedDictionaryKey& key);
  int32 GetElementNamesCount() const;
  // For 1 <= n <= count: outName (when given) gets the n-th element name
  // and its list is returned (not retained); otherwise null, outName
  // cleared.
  VBagArray* GetNthElementName(int32 n, VString* outName) const;
  // The one bag of the one element name (not retained); null otherwise.
  VValueBag* GetUniqueElementAnyKind(VString& outName) const;
  // The first bag of the name's list (not retained), or null.
  VValueBag* GetUniqueElement(const StPackedDictionaryKey& key) const;
  // The single bag of the name's list whose attribute equals `value`,
  // retained; null when none or several match.
  VValueBag* RetainUniqueElementWithAttribute(const StPackedDictionaryKey& key,
                                              const StPackedDictionaryKey& attributeKey,
                                              const VValueSingle& value) const;

  // --- Paths ------------------------------------------------------------
  // Splits at "/" into owned keys (a trailing empty piece is dropped).
  // False, with `keys` as it was, when a piece cannot be a key (not UTF-8
  // convertible or over 255 bytes): such a path names nothing.
  static bool GetKeysFromPath(const VString& path, KeyPath& keys);
  // The same over a 0-terminated UTF-8 text; the keys borrow it.
  static bool GetKeysFromUTF8PathNoCopy(const char* path, KeyPath& keys);
  // Walks the first bag of each name's list; this bag for an empty path;
  // null when a step finds nothing. Not retained.
  VValueBag* GetUniqueElementByPath(const KeyPath& path) const;
  VValueBag* GetUniqueElementByPath(const VString& path) const;
  // The same, making (with ReplaceElement) every missing step; null when a
  // list starts with a null entry.
  VValueBag* GetElementByPathAndCreateIfDontExists(const KeyPath& path);
  // Replaces (or, with null, removes) the list named by the path's last
  // name in the bag the rest of the path leads to.
  bool ReplaceElementByPath(const KeyPath& path, VValueBag* bag);

  // --- Merging ----------------------------------------------------------
  // Sets every attribute of `other` here and appends clones of its
  // sub-bags; false when a clone cannot be made.
  bool UnionClone(const VValueBag* other);
  // As UnionClone, except that a name holding exactly one bag on both
  // sides merges the two bags recursively.
  bool Override(const VValueBag* other);

  // --- Sorting ----------------------------------------------------------
  // Orders the element names of this bag (and, recursively, of its
  // sub-bags) by the record of `key` in `orderings`.
  void SortElements(const StPackedDictionaryKey& key, const StBagElementsOrdering* orderings);

  // --- XML form (values/VValueBagXML.cpp) -------------------------------
  // Appends the bag as the element `elementName` to `out` (nothing in out
  // is cleared), children indented with tabs when `indent` is set. Names
  // that are not XML names are never written: the element itself, an
  // attribute or an element list so named is left out and error
  // kBagXMLInvalidName is raised with the name. So is an attribute whose
  // value kind has no descriptor (without an error).
  void DumpXML(VString& out, const VString& elementName, bool indent) const;
  // The writer; a negative level means no indentation.
  void _DumpXML(VString& out, const VString& elementName, int level) const;
  // min(level, 100) tabs when level >= 1.
  static void DumpXMLIndentation(VString& out, int level);
  // The start tag; the attribute at cdataPosition (1-based, 0 for none) is
  // the character data and is not written here.
  void DumpXMLAttributes(VString& out, const VString& elementName, int cdataPosition) const;
  // The character data, in CDATA sections when it holds markup; true when
  // the closing tag is to go on a line of its own.
  bool DumpXMLCData(VString& out, int cdataPosition) const;
  // True when the text holds a character of [setBegin, setEnd), or else
  // holds a tab, line feed or carriage return beside a character that is
  // none of those nor a space; false for an empty text.
  static bool NeedsEscapeSequence(const VString& text, const UniChar* setBegin,
                                  const UniChar* setEnd);
  // True when the text is an XML 1.0 name.
  static bool IsXMLName(const VString& name);

  // --- JSON form (json/VValueBagJSON.cpp) ------------------------------
  // Attributes become properties (the character data "__CDATA"), element
  // lists arrays, or objects where the marks below ask for it.
  // Options of the writer: pretty (line feeds and tab indentation), and a
  // list of exactly one bag always written as an object. Reading passes
  // kJSONReadOption on to the importer as its own flag 0x200.
  static constexpr uint32 kJSONPretty = 0x8;
  static constexpr uint32 kJSONSingleBagAsObject = 0x20;
  static constexpr uint32 kJSONReadOption = 0x1000;
  // Attributes that steer the shape: "____objectunic" marks a sub-bag
  // read from an object (written back as an object when alone in its
  // list); a bag with "____FakeArrayElement" is written as that value
  // alone (a scalar array element). "____objectunic" and
  // "____property_name_in_jsarray" are never written.
  // Replaces `out` with the bag's JSON text; 0, or toolbox error 108 when a
  // bag is nested too deep for the stack (out then holds a partial text).
  VError GetJSONString(VString& out, uint32 options) const override;
  // Reads one JSON object into this bag (VJSONImporter::JSONObjectToBag).
  VError FromJSONString(const VString& json, uint32 options) override;
  // The bag as a JSON object value; undefined when the compact text does
  // not parse to an object (0) or the writer or parser failed (its error).
  VError GetJSONValue(VJSONValue& out, uint32 options) const override;
  // Reads the value's compact JSON text into this bag.
  VError FromJSONValue(const VJSONValue& json) override;
  VError FromBinaryJSONValue(const VJSONValue& json);
  // The bag's compact text parsed as a new JSON object (the caller
  // releases it); null otherwise, outError holding the failing step's
  // error or 0.
  VJSONObject* BuildJSONObject(VError& outError) const;
  // The writer of one bag at `level`.
  VError _GetJSONString(VString& out, int& level, bool pretty, uint32 options) const;

 protected:
  // Makes the bag as a new one (empty, dirty, not null) but keeps the
  // attribute buffers' room, for a bag that is filled again soon.
  void _EmptyKeepingRoom();

 private:
  ElementStore* _GetOrMakeElementStore();
  VError _ReadFromStreamMinimal(VStream* stream, int32 depth, StBagStreamBudget& budget);
  void _SortElements(const StBagElementsOrdering* record, const StBagElementsOrdering* orderings);
  static const StBagElementsOrdering* _FindOrdering(const StPackedDictionaryKey& name,
                                                    const StBagElementsOrdering* orderings);
  friend class VBagArray;

  AttributeStore fAttributes;
  // Owned; null until the first element list is stored.
  ElementStore* fElements = nullptr;
};

// --- XML form (values/VValueBagXML.cpp) ---------------------------------
// A new value (owned by the caller) typed from an XML attribute text: a
// boolean, a number (VLong, VLong8, VReal), a UUID, or else a string copy
// of the text.
VValueSingle* ParseXMLValue(const VString& text);

// --- JSON form (json/VValueBagJSON.cpp) --------------------------------
// The text pieces of the bag and bag-array writers. With `pretty` they add
// line feeds and one tab per level.
// A line feed.
void AppendJSONNewline(VString& out, bool pretty);
// `level` tabs (none below 1).
void AjustJSONTab(VString& out, int level, bool pretty);
// A new line at `level`, then "{" (or "["); one level deeper.
void AppendBeginJSONObject(VString& out, int& level, bool pretty);
void AppendBeginJSONArray(VString& out, int& level, bool pretty);
// A new line one level up, then "}" (or "]").
void AppendEndJSONObject(VString& out, int& level, bool pretty);
void AppendEndJSONArray(VString& out, int& level, bool pretty);
// A new line at `level`, the quoted name, then ":" (" : " when pretty).
void AppendJSONPropertyName(VString& out, int level, bool pretty, const VString& name);

}  // namespace zeft
