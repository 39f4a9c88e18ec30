// VJSONImporter turns JSON text held in a VString into a VJSONValue with its
// objects and arrays, or straight into a VValueBag. A hand-written tokenizer
// over the UTF-16 units in place feeds a recursive-descent parser; failures
// push toolbox errors 550 to 554 with the line and position of the token.
// UTF-8 bytes (ParseUTF8, files) are read in place when they are plain
// JSON, and through their decoded text otherwise.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONPropertyMap.h"
#include "json/VJSONValue.h"

namespace zeft {

class IFile;
class VJSONObject;
class VStorageLocker;
class VValueBag;

class VJSONImporter : public VObject {
 public:
  enum JsonToken : int32 {
    jsonNone = 0,
    jsonBeginObject = 1,
    jsonEndObject = 2,
    jsonBeginArray = 3,
    jsonEndArray = 4,
    jsonSeparator = 5,
    jsonAssigne = 6,
    jsonString = 7,
    jsonBang = 8
  };

  // Option bits.
  static constexpr uint32 kUndefinedOnFailure = 0x1;
  static constexpr uint32 kStrict = 0x2;
  static constexpr uint32 kSilentInvalidToken = 0x4;
  static constexpr uint32 kRecordPaths = 0x8;
  static constexpr uint32 kMarkedDates = 0x40;
  static constexpr uint32 kISODates = 0x80;
  static constexpr uint32 kShared = 0x100;
  static constexpr uint32 kNonAmbiguousDates = 0x200;

  VJSONImporter(const VString& text, uint32 options = 0);
  ~VJSONImporter() override;
  VJSONImporter(const VJSONImporter&) = delete;
  VJSONImporter& operator=(const VJSONImporter&) = delete;

  VError Parse(VJSONValue& value);
  static VError ParseString(const VString& text, VJSONValue& value, uint32 options = 0);
  // Parses a file's UTF-8 text (a byte-order mark allowed), its POSIX path
  // naming the source in parse errors. A null file gives undefined and 0; a
  // read error is returned as it is, the value unchanged.
  static VError ParseFile(const IFile* file, VJSONValue& value, uint32 options = 0);
  // Parses UTF-8 bytes as ParseString parses the same bytes decoded into a
  // VString (kCharSetUTF8), with the same result and errors, but reads the
  // bytes in place: only texts and names are converted to UTF-16.
  static VError ParseUTF8(const void* bytes, size_t length, VJSONValue& value, uint32 options = 0);
  // Reads the text, which must be an object, into the bag.
  VError JSONObjectToBag(VValueBag& bag);
  // Lent; null without kRecordPaths.
  VJSONObject* GetPathsLines() const { return fPaths; }

  JsonToken GetNextJSONToken(VString& word, bool* quoted, VError* error);
  JsonToken GetNextJSONToken(VError* error);
  // One unit with line counting; 0 with `end` set at the end of the text.
  UniChar _GetNextChar(bool& end);
  // Checks a zero-terminated text against the JSON number grammar.
  static bool _ParseNumber(const UniChar* text);

  static const VString sNameOfThePropertyWithPathsAndLines;
  // The one property of an object carrying a value in the binary form
  // (Base64 text).
  static const VString sBinaryObjectPropertyName;

 private:
  VError _ParseValue(VJSONValue& value);
  VError _ParseValueFromToken(JsonToken token, VJSONValue& value, const char* expected);
  VError _ParseObject(VJSONValue& value);
  VError _ParseArray(VJSONValue& value);
  // Replaces a binary-form carrier by the value it carries.
  VError _DecodeBinaryObject(VJSONValue& value);
  // The value of the last word (see _NextToken).
  VError _StringToValue(bool quoted, VJSONValue& value, const char* expected);
  bool _StringToDate(VJSONValue& value) const;
  VString _Word() const;
  // A text of the word cache, with its VString hash once a name asked.
  struct SharedWord {
    SharedWord() = default;
    SharedWord(const SharedWord&) = delete;
    SharedWord& operator=(const SharedWord&) = delete;
    ~SharedWord() { ReleaseSpareCounts(); }

    uint32 GetHash() {
      if (!fHashed) {
        fHash = fText.VString::GetHashValue();
        fHashed = true;
      }
      return fHash;
    }
    // One count of the word's block for a new holder (a private copy when
    // the block cannot be shared; null for the empty word). A word taken
    // again gets a batch of counts in one step, handed out one by one.
    UniChar* TakeCount(int32* outLength, int32* outCapacity);
    // Gives back the counts not handed out, before the word changes.
    void ReleaseSpareCounts();

    VString fText;
    uint32 fHash = 0;
    bool fHashed = false;
    int32 fTakes = 0;
    int32 fSpareCounts = 0;
  };
  // The word as a text shared with the same name or value read before it.
  SharedWord& _SharedWord();
  // The reading of UTF-8 bytes in place. It takes the common forms only
  // and answers false on anything else (a lenient form, an error, bytes it
  // would not decode as VString does), leaving that text to the UTF-16
  // reading, which then decides the result and reports the errors.
  // ParseUTF8 naming the source in parse errors.
  static VError _ParseUTF8(const void* bytes, size_t length, VJSONValue& value, uint32 options,
                           const VString& sourceName);
  bool _ReadUTF8Value(VJSONValue& value);
  bool _ReadUTF8Object(VJSONValue& value);
  bool _ReadUTF8Array(VJSONValue& value);
  // The quoted text from fBytes (past its quote) as the word, in fDecoded.
  bool _ReadUTF8Quoted();
  void _SkipUTF8Blanks();
  VError _ObjectToBag(VValueBag& bag);
  VError _BinaryObjectToBag(const VString& base64, VValueBag& bag);
  VError _ArrayToBag(VValueBag& bag, const VString& key);
  void _SetBagScalar(VValueBag& bag, const VString& key, const VString& word, bool quoted);
  // GetNextJSONToken without making a text of the word: the word's units
  // stay in the text (or in fDecoded when escapes were decoded) until the
  // next token.
  JsonToken _NextToken(bool* quoted, VError* error);
  void _SetWord(const UniChar* begin, const UniChar* end) {
    fWordUnits = begin;
    fWordLength = int32(end - begin);
  }
  bool _ReadQuoted(VError* error);
  static bool _IsNumber(const UniChar* text, const UniChar* end);
  void _SkipSeparators();
  void _CountLine(const UniChar* at);
  void _ShareIfAsked(VJSONValue& value);
  void _RecordPath(int32 column);
  int32 _ColumnOf(int32 offset) const;

  VError _InvalidToken(const VString& found, const char* expected);
  VError _Malformed(int32 detail, const char* key, const VString& value);
  VError _ThrowMalformed();

  VString fText;
  uint32 fOptions;
  int32 fLength;
  const UniChar* fCurrent;
  const UniChar* fStart;
  const UniChar* fTokenStart;
  VString fSourceName;
  uint32 fDepth = 0;
  VString fCurrentPath;
  VJSONObject* fPaths = nullptr;
  uint32 fLine = 1;
  const UniChar* fLineStart;
  VStorageLocker* fLocker = nullptr;
  bool fNonAmbiguousDates;
  const UniChar* fWordUnits = nullptr;
  int32 fWordLength = 0;
  // The last word is a number of the grammar, already read into
  // fWordNumber when fWordNumberExact.
  bool fWordIsNumber = false;
  bool fWordNumberExact = false;
  double fWordNumber = 0;
  std::u16string fDecoded;
  // The UTF-8 bytes still to read, and their end.
  const uint8* fBytes = nullptr;
  const uint8* fBytesEnd = nullptr;
  std::unique_ptr<SharedWord[]> fKeys;
  // Elements of the arrays being read, innermost last.
  std::vector<VJSONValue> fElements;
  // Likewise the members of the objects being read.
  std::vector<VJSONPropertyMap::NewEntry> fMembers;
};

}  // namespace zeft
