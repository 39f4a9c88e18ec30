#include "json/VJSONValue.h"

#include <cmath>

#include "core/VBoolean.h"
#include "core/VCompareOptions.h"
#include "core/VReal.h"
#include "core/VScalarValue.h"
#include "json/JSONStackCheck.h"
#include "json/JSONToolboxError.h"
#include "json/StGraphLocker.h"
#include "json/VJSONArray.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONComparedPairs.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONWriter.h"
#include "runtime/StErrorContextInstaller.h"
#include "values/VTime.h"

namespace zeft {

std::atomic<uint32> __VInlineString_tag{0};
std::atomic<uint32> VJSONValue::sStamp{0};

// The graph lock is built before the constants, which may already be used
// by other static objects.
VCriticalSection StGraphLocker::sMutex;

const VJSONValue VJSONValue::sUndefined(JSON_undefined);
const VJSONValue VJSONValue::sNull(JSON_null);
const VJSONValue VJSONValue::sTrue(JSON_true);
const VJSONValue VJSONValue::sFalse(JSON_false);
const VJSONValue VJSONValue::sLastType(JSON_LastType);
const VString VJSONValue::sUndefinedString("undefined");
const VString VJSONValue::sNullString("null");
const VString VJSONValue::sTrueString("true");
const VString VJSONValue::sFalseString("false");
const VString VJSONValue::sObjectString("[object Object]");

namespace {

// Bumped without a locked read-modify-write, as the stamps are.
uint32 NextTag() {
  const uint32 tag = __VInlineString_tag.load(std::memory_order_relaxed);
  __VInlineString_tag.store(tag + 1, std::memory_order_relaxed);
  return tag;
}

uint32 PackUTCDate(const VTime& time) {
  int16 year, month, day, hour, minute, second, millisecond;
  time.GetUTCTime(year, month, day, hour, minute, second, millisecond);
  return VJSONValue::PackDate(year, month, day);
}

void UnpackDate(uint32 date, int16& year, int16& month, int16& day) {
  year = int16(date >> 16);
  month = int16((date >> 8) & 0xFF);
  day = int16(date & 0xFF);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

VJSONValue::VJSONValue(JSONType type) : fType(type), fStamp(NextStamp()), fNumber(0) {
  switch (type) {
    case JSON_string:
      fString = {0, nullptr, 0, NextTag()};
      break;
    case JSON_object:
      fObject = new VJSONObject();
      break;
    case JSON_array:
      fArray = new VJSONArray();
      break;
    case JSON_date:
      fDate = 0;
      break;
    default:
      break;
  }
}

VJSONValue::VJSONValue(VJSONObject* object)
    : fType(object != nullptr ? JSON_object : JSON_null), fStamp(NextStamp()), fObject(object) {
  if (object != nullptr) object->Retain();
}

VJSONValue::VJSONValue(VJSONArray* array)
    : fType(array != nullptr ? JSON_array : JSON_null), fStamp(NextStamp()), fArray(array) {
  if (array != nullptr) array->Retain();
}

VJSONValue::VJSONValue(const VString& text) : fType(JSON_null), fStamp(NextStamp()), fNumber(0) {
  if (!text.IsNull()) _TakeString(text);
}

VJSONValue::VJSONValue(const VInlineString& text)
    : fType(JSON_string), fStamp(NextStamp()), fString(text) {
  if (fString.fString != nullptr) VString::RetainSharedBuffer(fString.fString, fString.fMaxLength);
  fString.fTag = NextTag();
}

VJSONValue::VJSONValue(double number) : fType(JSON_number), fStamp(NextStamp()), fNumber(number) {}

VJSONValue::VJSONValue(const VTime& time) : fType(JSON_null), fStamp(NextStamp()), fNumber(0) {
  if (!time.IsNull()) {
    fType = JSON_date;
    fDate = PackUTCDate(time);
  }
}

VJSONValue::VJSONValue(const VJSONValue& other)
    : VObject(), fType(JSON_null), fStamp(NextStamp()), fNumber(0) {
  _CopyPayload(other);
}

VJSONValue& VJSONValue::operator=(const VJSONValue& other) {
  if (this == &other) return *this;
  // Keep what the other value holds alive even when this value holds its
  // last reference (the other value may live inside our container).
  VJSONValue keep(std::move(*this));
  fType = JSON_null;
  _CopyPayload(other);
  fStamp = NextStamp();
  return *this;
}

VJSONValue& VJSONValue::operator=(VJSONValue&& other) noexcept {
  if (this == &other) return *this;
  VJSONValue keep(std::move(*this));
  fType = other.fType;
  fStamp = other.fStamp;
  _MovePayload(other);
  return *this;
}

void VJSONValue::_CopyPayload(const VJSONValue& other) {
  fType = other.fType;
  switch (other.fType) {
    case JSON_string:
      fString = other.fString;
      if (fString.fString != nullptr) {
        VString::RetainSharedBuffer(fString.fString, fString.fMaxLength);
      }
      fString.fTag = NextTag();
      break;
    case JSON_number:
      fNumber = other.fNumber;
      break;
    case JSON_object:
      fObject = other.fObject;
      if (fObject != nullptr) fObject->Retain();
      break;
    case JSON_array:
      fArray = other.fArray;
      if (fArray != nullptr) fArray->Retain();
      break;
    case JSON_date:
      fDate = other.fDate;
      break;
    default:
      break;
  }
}

void VJSONValue::_Dispose() {
  switch (fType) {
    case JSON_string:
      fString.Dispose();
      break;
    case JSON_object:
      if (VJSONObject* object = std::exchange(fObject, nullptr)) object->Release();
      break;
    case JSON_array:
      if (VJSONArray* array = std::exchange(fArray, nullptr)) array->Release();
      break;
    default:
      break;
  }
}

void VJSONValue::_TakeString(const VString& text) {
  fType = JSON_string;
  fString.fString = text.RetainBuffer(&fString.fLength, &fString.fMaxLength);
  fString.fTag = NextTag();
}

void VJSONValue::_AdoptString(UniChar* block, int32 length, int32 capacity) {
  _Dispose();
  fType = JSON_string;
  if (block == nullptr) length = capacity = 0;
  fString = {length, block, capacity, NextTag()};
}

void VJSONValue::_AdoptObject(VJSONObject* object) {
  _Dispose();
  fType = JSON_object;
  fObject = object;
}

void VJSONValue::_AdoptArray(VJSONArray* array) {
  _Dispose();
  fType = JSON_array;
  fArray = array;
}

void VJSONValue::TakeNewStamp() { fStamp = NextStamp(); }

VJSONObject* VJSONValue::RetainObject() const {
  VJSONObject* object = GetObject();
  if (object != nullptr) object->Retain();
  return object;
}

VJSONArray* VJSONValue::RetainArray() const {
  VJSONArray* array = GetArray();
  if (array != nullptr) array->Retain();
  return array;
}

// ---------------------------------------------------------------------------
// Setters

void VJSONValue::SetNull() {
  _Dispose();
  fType = JSON_null;
}

void VJSONValue::SetUndefined() {
  _Dispose();
  fType = JSON_undefined;
}

void VJSONValue::SetBool(bool value) {
  _Dispose();
  fType = value ? JSON_true : JSON_false;
}

void VJSONValue::SetNumber(double number) {
  _Dispose();
  fType = JSON_number;
  fNumber = number;
}

void VJSONValue::SetString(const VString& text) {
  if (text.IsNull()) {
    SetNull();
    return;
  }
  if (fType == JSON_string) {
    if (fString.fString != nullptr && fString.fString == text.GetCPointer()) return;
    const uint32 tag = fString.fTag;
    fString.Dispose();
    fString.fString = text.RetainBuffer(&fString.fLength, &fString.fMaxLength);
    fString.fTag = tag;
    return;
  }
  _Dispose();
  _TakeString(text);
}

void VJSONValue::SetString(const VInlineString& text) {
  if (fType == JSON_string) {
    if (text.fString == fString.fString) return;
    if (text.fString != nullptr) VString::RetainSharedBuffer(text.fString, text.fMaxLength);
    const uint32 tag = fString.fTag;
    fString.Dispose();
    fString = {text.fLength, text.fString, text.fMaxLength, tag};
    return;
  }
  if (text.fString != nullptr) VString::RetainSharedBuffer(text.fString, text.fMaxLength);
  _Dispose();
  fType = JSON_string;
  fString = {text.fLength, text.fString, text.fMaxLength, NextTag()};
}

void VJSONValue::SetObject(VJSONObject* object) {
  if (object == nullptr) {
    SetNull();
    return;
  }
  if (fType == JSON_object && fObject == object) return;
  object->Retain();
  _Dispose();
  fType = JSON_object;
  fObject = object;
}

void VJSONValue::SetArray(VJSONArray* array) {
  if (array == nullptr) {
    SetNull();
    return;
  }
  if (fType == JSON_array && fArray == array) return;
  array->Retain();
  _Dispose();
  fType = JSON_array;
  fArray = array;
}

void VJSONValue::SetTime(const VTime& time) {
  if (time.IsNull()) {
    SetNull();
    return;
  }
  const uint32 date = PackUTCDate(time);
  _Dispose();
  fType = JSON_date;
  fDate = date;
}

void VJSONValue::SetDate(int16 year, int16 month, int16 day) {
  _Dispose();
  fType = JSON_date;
  fDate = PackDate(year, month, day);
}

void VJSONValue::Clear() {
  switch (fType) {
    case JSON_true:
      fType = JSON_false;
      break;
    case JSON_string:
      fString.Dispose();
      fString.fTag = NextTag();
      break;
    case JSON_number:
      fNumber = 0;
      break;
    case JSON_date:
      fDate = 0;
      break;
    case JSON_object:
    case JSON_array:
      SetNull();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Conversions

double VJSONValue::GetNumber() const {
  switch (fType) {
    case JSON_true:
      return 1;
    case JSON_number:
      return fNumber;
    case JSON_string: {
      const VString text(fString, true);
      if (text.GetLength() >= 2 && text.GetUniChar(1) == u'0' &&
          (text.GetUniChar(2) == u'x' || text.GetUniChar(2) == u'X')) {
        return double(text.GetHexLong());
      }
      return text.GetReal();
    }
    default:
      return 0;
  }
}

bool VJSONValue::GetBool() const {
  switch (fType) {
    case JSON_true:
    case JSON_object:
    case JSON_array:
      return true;
    case JSON_number:
      return fNumber != 0;  // NaN is true
    case JSON_date:
      return fDate != 0;
    case JSON_string:
      return fString.fString != nullptr;
    default:
      return false;
  }
}

VError VJSONValue::GetString(VString& out, std::unordered_set<const VJSONArray*>* arrays) const {
  switch (fType) {
    case JSON_false:
      out.FromCString("false");
      return VE_OK;
    case JSON_true:
      out.FromCString("true");
      return VE_OK;
    case JSON_string:
      out.FromString(fString);
      return VE_OK;
    case JSON_number:
      VReal::RealToJSONString(fNumber, out);
      return VE_OK;
    case JSON_object:
      out.FromString(sObjectString);
      return VE_OK;
    case JSON_array:
      if (fArray == nullptr) {
        out.Clear();
        return VE_OK;
      }
      return fArray->GetString(out, arrays);
    case JSON_date: {
      VTime time;
      GetTime(time);
      return time.GetJSONString(out, VTime::kJSONDateOnlyAtMidnight);
    }
    default:
      out.Clear();
      return VE_OK;
  }
}

void VJSONValue::GetTime(VTime& out) const {
  if (fType == JSON_date) {
    int16 year, month, day;
    UnpackDate(fDate, year, month, day);
    out.FromUTCTime(year, month, day, 0, 0, 0, 0);
  } else if (fType == JSON_string) {
    out.FromString(VString(fString, true));
  } else {
    out.Clear();
    out.SetNull(true);
  }
}

bool VJSONValue::GetDate(int16* year, int16* month, int16* day) const {
  int16 y = 0, m = 0, d = 0;
  const bool isDate = fType == JSON_date;
  if (isDate) UnpackDate(fDate, y, m, d);
  if (year != nullptr) *year = y;
  if (month != nullptr) *month = m;
  if (day != nullptr) *day = d;
  return isDate;
}

VValueSingle* VJSONValue::CreateVValue(bool withContainerMarks) const {
  switch (fType) {
    case JSON_false:
      return new VBoolean(false);
    case JSON_true:
      return new VBoolean(true);
    case JSON_string:
      return new VString(fString);
    case JSON_number:
      return new VReal(fNumber);
    case JSON_date: {
      auto* time = new VTime();
      GetTime(*time);
      return time;
    }
    case JSON_object:
      if (fObject != nullptr && fObject->GetImplementation() != nullptr) {
        if (VValueSingle* value = fObject->GetImplementation()->IJSON_CreateVValue()) return value;
      }
      if (withContainerMarks) {
        static const UniChar kObjectMark[] = {1, 2, 3, 1};
        auto* text = new VString();
        text->FromUniString(kObjectMark, 4);
        return text;
      }
      return new VString(true);
    case JSON_array:
      if (withContainerMarks) {
        static const UniChar kArrayMark[] = {1, 2, 3, 2};
        auto* text = new VString();
        text->FromUniString(kArrayMark, 4);
        return text;
      }
      return new VString(true);
    default:
      return new VString(true);
  }
}

// ---------------------------------------------------------------------------
// Property access

VJSONValue VJSONValue::GetProperty(const VString& name) const {
  if (VJSONObject* object = GetObject()) return object->GetProperty(name, nullptr);
  return sUndefined;
}

void VJSONValue::SetProperty(const VString& name, const VJSONValue& value) {
  if (VJSONObject* object = GetObject()) object->SetProperty(name, value, nullptr);
}

bool VJSONValue::GetBoolByPath(const VJSONValue& value, const VString& path) {
  const VJSONObject* object = value.GetObject();
  return object != nullptr && object->GetPropertyWithPath(path).GetType() == JSON_true;
}

int32 VJSONValue::GetLongByPath(const VJSONValue& value, const VString& path) {
  const VJSONObject* object = value.GetObject();
  if (object == nullptr) return 0;
  const VJSONValue found = object->GetPropertyWithPath(path);
  // Out of range saturates and NaN gives 0.
  return found.IsNumber() ? SaturatingRealToLong(found.fNumber) : 0;
}

bool VJSONValue::GetStringByPath(const VJSONValue& value, const VString& path, VString& out) {
  const VJSONObject* object = value.GetObject();
  if (object == nullptr) return false;
  const VJSONValue found = object->GetPropertyWithPath(path);
  if (!found.IsString()) return false;
  out.FromString(found.fString);
  return true;
}

// ---------------------------------------------------------------------------
// Text and files

namespace {

// What the parser converts to dates when asked to: marked and ISO texts.
constexpr uint32 kDateOptions = VJSONImporter::kMarkedDates | VJSONImporter::kISODates;

}  // namespace

VError VJSONValue::ParseFromString(const VString& text, bool convertDates, bool nonAmbiguousDates) {
  uint32 options = 0;
  if (convertDates) {
    options = nonAmbiguousDates ? VJSONImporter::kMarkedDates | VJSONImporter::kNonAmbiguousDates
                                : kDateOptions;
  }
  return VJSONImporter::ParseString(text, *this, options);
}

VError VJSONValue::LoadFromFile(IFile* file, bool convertDates) {
  const VError error = VJSONImporter::ParseFile(file, *this, convertDates ? kDateOptions : 0);
  // A half-read file must not pass for a whole one.
  if (error != VE_OK) SetUndefined();
  return error;
}

VError VJSONValue::SaveToFile(IFile* file, uint32 options) const {
  return VJSONWriter::StringifyValueToFile(file, *this, options);
}

VError VJSONValue::Stringify(VString& out, uint32 options) const {
  if ((options & VJSONWriter::kBinaryFallback) == 0) {
    VJSONWriter writer(options);
    return writer.StringifyValue(*this, out);
  }
  // What the text cannot carry (cycles, natives with a binary form,
  // classes, objects met twice) goes as the binary form in Base64.
  StErrorContextInstaller errors(true, true);
  const uint32 textOptions = options | VJSONWriter::kRefuseBinaryForm |
                             VJSONWriter::kGenericObjectsOnly | VJSONWriter::kRefuseObjectsTwice;
  VJSONWriter writer(textOptions);
  VError error = writer.StringifyValue(*this, out);
  const int32 number = ErrorNumber(error);
  if (ErrorComponent(error) != kComponentToolbox ||
      (number != json_error::kCircular && number != json_error::kHasBinaryForm &&
       number != json_error::kNotGenericObject && number != json_error::kMetTwice)) {
    return error;
  }
  errors.Flush();
  VMemoryBuffer<> buffer;
  VJSONBinaryWriter binary(64);
  error = binary.StreamValue(*this, buffer);
  if (error != VE_OK) return error;
  VString base64;
  if (!base64.EncodeBase64(buffer.GetDataPtr(), buffer.GetDataSize(), false)) {
    return ThrowJSONToolboxError(toolbox_error::kMemoryFull);
  }
  VJSONValue wrapper(JSON_object);
  wrapper.GetObject()->SetProperty(VJSONImporter::sBinaryObjectPropertyName, VJSONValue(base64));
  VJSONWriter wrapperWriter(textOptions);
  return wrapperWriter.StringifyValue(wrapper, out);
}

// ---------------------------------------------------------------------------
// Comparison

int32 VJSONValue::CompareTo(const VJSONValue& other, const VCompareOptions& options) const {
  if (fType == other.fType) {
    switch (fType) {
      case JSON_string: {
        const VString mine(fString, true);
        const VString theirs(other.fString, true);
        return int32(mine.CompareToSameKindWithOptions(&theirs, options));
      }
      case JSON_number:
        return int32(
            VReal::sInfo.CompareTwoPtrToDataWithOptions(&fNumber, &other.fNumber, options));
      case JSON_object:
      case JSON_array: {
        const void* mine = fObject;
        const void* theirs = other.fObject;
        if (mine == theirs) return 0;
        return std::less<const void*>()(mine, theirs) ? -1 : 1;
      }
      case JSON_date:
        return int32(fDate) < int32(other.fDate) ? -1 : int32(fDate) > int32(other.fDate) ? 1 : 0;
      default:
        return 0;
    }
  }
  const bool mineEmpty = fType == JSON_null || fType == JSON_undefined;
  const bool theirsEmpty = other.fType == JSON_null || other.fType == JSON_undefined;
  if (mineEmpty && theirsEmpty) return 0;
  return fType < other.fType ? -1 : 1;
}

bool VJSONValue::DeepEqualTo(const VJSONValue& other, const VCompareOptions& options) const {
  if (fType != other.fType) return false;
  if (fType != JSON_array && fType != JSON_object) return CompareTo(other, options) == 0;
  VJSONComparedPairs pairs;
  return DeepEqualTo(other, options, pairs);
}

bool VJSONValue::DeepEqualTo(const VJSONValue& other, const VCompareOptions& options,
                             VJSONComparedPairs& pairs) const {
  if (fType != other.fType) return false;
  if (fType == JSON_array) {
    if (fArray == nullptr || other.fArray == nullptr) return fArray == other.fArray;
    return fArray->DeepEqualTo(other.fArray, options, pairs);
  }
  if (fType == JSON_object) {
    if (fObject == nullptr || other.fObject == nullptr) return fObject == other.fObject;
    return fObject->DeepEqualTo(other.fObject, options, pairs);
  }
  return CompareTo(other, options) == 0;
}

void VJSONValue::test() {
  VJSONValue first(JSON_object);
  VJSONValue second(JSON_object);
  first.SetProperty(VString("text"), VJSONValue(VString("a \" \\ / \n \r \t")));
  first.SetProperty(VString("number"), VJSONValue(42.5));
  first.SetProperty(VString("flag"), sTrue);
  first.SetProperty(VString("nothing"), sNull);
  first.SetProperty(VString("missing"), sUndefined);
  second.SetProperty(VString("text"), VJSONValue(VString("second")));
  VJSONValue children(JSON_array);
  children.GetArray()->Push(second);
  first.SetProperty(VString("children"), children);
  VString compact, indented, again, joined;
  first.Stringify(compact, 0x1);
  first.Stringify(indented, 0x9);
  VJSONValue parsed;
  parsed.ParseFromString(compact);
  parsed.Stringify(again, 0x1);
  VJSONValue list;
  list.ParseFromString(VString("[1,2,3,[4,5],6]"));
  list.GetString(joined);
}

}  // namespace zeft
