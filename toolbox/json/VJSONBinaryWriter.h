// VJSONBinaryWriter appends a JSON value in the toolbox's private binary
// form to a memory buffer: everything the text form cannot carry (classes,
// native payloads such as blobs, containers met more than once, cycles)
// travels with it. A container met again is written as a reference to
// the path pointer ("#/items/2") of the place where it was first written.
// Multi-byte fields are little-endian; texts are UTF-16 code units.
#pragma once

#include <deque>
#include <unordered_map>
#include <vector>

#include "core/VErrorCodes.h"
#include "core/VMemoryBuffer.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VJSONArray;
class VJSONObject;
class VJSONValue;

class VJSONBinaryWriter : public VObject {
 public:
  // Tags of the form (a value's JSONType, or a reference).
  static constexpr uint8 kReferenceTag = 0xFF;
  // Object end markers and block magic.
  static constexpr uint16 kPlainObjectEnd = 0xFFFF;
  static constexpr uint16 kBlockFollows = 0xFFFD;
  static constexpr uint16 kUndefinedMarker = 0xFFFE;
  static constexpr uint32 kClassBlockMagic = 0x2A2A2A2A;
  static constexpr uint16 kMaxNameLength = 0x7FFF;

  // No option changes the form; they are kept for the caller.
  explicit VJSONBinaryWriter(uint32 options = 0);

  VError StreamValue(const VJSONValue& value, VMemoryBuffer<>& buffer);
  // The container itself is not recorded as a reference target.
  VError StreamObject(const VJSONObject* object, VMemoryBuffer<>& buffer);
  VError StreamArray(const VJSONArray* array, VMemoryBuffer<>& buffer);

  // "#" then "/" and each step, names escaped (~ as ~0, / as ~1).
  static void BuildPathPointerString(const std::vector<VString>& path, VString& out);
  // Appends one escaped name step to a path pointer.
  static void AppendPathStep(VString& pointer, const VString& name);

  uint32 GetOptions() const { return fOptions; }

 private:
  // Where a value stands: under the container being written, at a name
  // (lent by the container, or kept in fOwnedNames) or an index.
  struct Position {
    const VString* fName = nullptr;
    uint64 fIndex = 0;
  };
  // A written container: its parent's record (-1 for the top) and position.
  struct Record {
    int64 fParent;
    Position fPosition;
  };

  void _Start(VMemoryBuffer<>& buffer);
  VError _WriteValue(const VJSONValue& value, const Position& position);
  VError _WriteObject(const VJSONObject* object, bool record, const Position& position);
  VError _WriteObjectBody(const VJSONObject* object);
  VError _WriteArray(const VJSONArray* array, bool record, const Position& position);
  // Records the container (its record's index in `outIndex`), or writes
  // the reference when it was written before (true).
  bool _EnterOrRefer(const void* container, bool record, const Position& position, int64& outIndex,
                     VError& error);
  void _BuildPointer(int64 record, VString& out) const;
  VError _Put(const void* data, size_t size);
  VError _PutByte(uint8 byte) { return _Put(&byte, 1); }
  VError _PutU16(uint16 value);
  VError _PutU32(uint32 value);
  VError _PutU64(uint64 value);
  VError _PutUnits(const UniChar* units, size_t count);

  uint32 fOptions;
  VMemoryBuffer<>* fBuffer = nullptr;
  std::vector<Record> fRecords;
  int64 fCurrent = -1;
  std::unordered_map<const void*, int64> fWritten;
  std::deque<VString> fOwnedNames;
};

}  // namespace zeft
