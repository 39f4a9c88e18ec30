// VJSONWriter writes a VJSONValue as JSON text: compact or indented with
// tabs, strings escaped, numbers in their shortest whole form where
// possible, dates as RFC 3339 texts. It detects cycles and repeated objects,
// can cut long output short for previews, and lets native implementations
// write their objects themselves.
#pragma once

#include <set>
#include <unordered_set>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class IFile;
class VDBLanguageContext;
class VJSONArray;
class VJSONObject;
class VJSONValue;

class VJSONWriter : public VObject {
 public:
  // Option bits (see also VString's and VTime's JSON options, which the
  // writer hands the whole word to).
  static constexpr uint32 kQuoted = 0x1;
  static constexpr uint32 kIndented = 0x8;
  static constexpr uint32 kLocalMidnight = 0x80;
  static constexpr uint32 kRefuseBinaryForm = 0x100;
  static constexpr uint32 kBinaryFallback = 0x800;
  static constexpr uint32 kCircularAsText = 0x2000;
  static constexpr uint32 kPreview = 0x4000;
  static constexpr uint32 kGenericObjectsOnly = 0x8000;
  static constexpr uint32 kRefuseObjectsTwice = 0x10000;

  VJSONWriter(VDBLanguageContext* context, uint32 options);
  explicit VJSONWriter(uint32 options);
  ~VJSONWriter() override;

  // Each replaces `out` with the text; on failure `out` is left as it was.
  VError StringifyValue(const VJSONValue& value, VString& out);
  VError StringifyObject(const VJSONObject* object, VString& out);
  VError StringifyArray(const VJSONArray* array, VString& out);

  // Writes the value's text in UTF-8 as the file's whole content. A value
  // that cannot be written leaves the file untouched, and so does a failed
  // write of an existing file: the text goes to a file beside it first,
  // which then replaces it. A null file writes nothing and answers 0.
  static VError StringifyValueToFile(IFile* file, const VJSONValue& value, uint32 options);

  // For native implementations that write their own text.
  void IncrementLevel();
  void DecrementLevel();
  void InsertIndentString(VString& text) const;
  void AppendIndentString(VString& text) const;
  uint32 GetOptions() const { return fOptions; }
  VDBLanguageContext* GetLanguageContext() const { return fContext; }

 private:
  VError _WriteValue(const VJSONValue& value);
  VError _WriteObject(const VJSONObject* object);
  VError _WriteArray(const VJSONArray* array);
  bool _IsInProgress(const void* container) const;
  void _Push(const VJSONObject* object);
  void _Push(const VJSONArray* array);
  void _Pop();
  // Holds every container being written before native code runs, which
  // may change or drop them; a tree that runs none is written unheld.
  void _HoldInProgress();
  void _AppendIndent();
  void _Append(const VString& text);
  // Room for `count` more units at the end of the text, or null once the
  // text cannot grow (the string has pushed 107; the write then fails).
  UniChar* _Room(int32 count) {
    if (count <= fBuffer.GetCapacity() - fBuffer.GetLength()) {
      if (UniChar* room = fBuffer.GetAppendRoom(count)) return room;
    }
    return _Grow(count);
  }
  // _Room's growth: the text's block at least doubles, so that a long
  // text is copied as few times as possible.
  UniChar* _Grow(int32 count);
  void _AppendUnit(UniChar unit) {
    if (UniChar* room = _Room(1)) {
      *room = unit;
      fBuffer.AddAppended(1);
    }
  }
  // ASCII text of `length` bytes, widened in place.
  void _AppendASCII(const char* text, size_t length) {
    if (UniChar* room = _Room(int32(length))) {
      for (size_t i = 0; i < length; ++i) room[i] = UniChar(uint8(text[i]));
      fBuffer.AddAppended(int32(length));
    }
  }
  template <size_t N>
  void _AppendASCII(const char (&text)[N]) {
    _AppendASCII(text, N - 1);
  }
  // A text as a JSON string, escaped and quoted as the options say.
  VError _AppendString(const UniChar* text, int32 count, int32 after);
  // A property name with its colon (and space, indented).
  VError _AppendName(const VString& name);
  VError _Finish(VError error, VString& out);
  void _AppendNumber(double number);
  // The opening of a container's text; the returned start is where the
  // text is cut back to when writing fails.
  template <class Container>
  int32 _BeginContainer(const Container* container, UniChar opening);
  // In a preview, counts the text written since `before`: true once the
  // preview has enough.
  bool _PreviewIsFull(int32 before);
  VError _EndContainer(VError error, int32 start, bool truncated, UniChar closing);

  VDBLanguageContext* fContext;
  uint32 fOptions;
  uint32 fLevel = 0;
  VString fIndentUnit;
  VString fIndentation;
  // The containers being written, outermost first; the first
  // fHeldInProgress of them are held (retained) until popped.
  struct InProgress {
    const VJSONObject* fObject;
    const VJSONArray* fArray;
  };
  std::vector<InProgress> fInProgress;
  size_t fHeldInProgress = 0;
  std::unordered_set<const void*> fDeepInProgress;
  std::set<const VJSONObject*> fWritten;
  uint32 fLengthWritten = 0;
  bool fEllipsisWritten = false;
  // The text being written, and scratch texts reused across members.
  VString fBuffer;
  VString fScratch;
  // Set when an append found no room: the text is short of units.
  bool fCannotGrow = false;
};

}  // namespace zeft
