#include "core/VValueSingle.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/CharSet.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VValueInfo.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"

namespace zeft {

CharSet VValueSingle::DebugDump(char* buffer, int& size) const {
  VString text;
  GetString(text);
  const int32 maxUnits = size > 0 ? size / 2 : 0;
  if (text.GetLength() > maxUnits) text.Truncate(maxUnits);
  size = int(text.ToBlock(buffer, size_t(maxUnits) * sizeof(UniChar), kCharSetUTF16, false, false));
  return kCharSetUTF16;
}

uint8 VValueSingle::GetBoolean() const { return 0; }
int8 VValueSingle::GetByte() const { return 0; }
int16 VValueSingle::GetWord() const { return 0; }
int32 VValueSingle::GetLong() const { return 0; }
int64 VValueSingle::GetLong8() const { return 0; }
int64 VValueSingle::GetLong8OrMilliSeconds() const { return GetLong8(); }
double VValueSingle::GetReal() const { return 0.0; }
void VValueSingle::GetDuration(VDuration& target) const { target.Clear(); }
void VValueSingle::GetTime(VTime& target) const { target.Clear(); }
void VValueSingle::GetString(VString& target) const { target.Clear(); }
void VValueSingle::GetVUUID(VUUID& target) const { target.Clear(); }
void VValueSingle::GetValue(VValueSingle& target) const { target.Clear(); }

void VValueSingle::FromBoolean(uint8) {}
void VValueSingle::FromByte(int8) {}
void VValueSingle::FromWord(int16) {}
void VValueSingle::FromLong(int32) {}
void VValueSingle::FromLong8(int64) {}
void VValueSingle::FromReal(double) {}
void VValueSingle::FromDuration(const VDuration&) {}
void VValueSingle::FromTime(const VTime&) {}
void VValueSingle::FromString(const VString&) {}
void VValueSingle::FromVUUID(const VUUID&) {}
void VValueSingle::FromValue(const VValueSingle&) {}

void VValueSingle::GetXMLString(VString& text, uint32) const { GetString(text); }

VError VValueSingle::GetJSONString(VString& text, uint32 options) const {
  if (IsNull()) {
    text.FromCString("null");
    return VE_OK;
  }
  switch (GetValueInfo()->GetKind()) {
    case kValueKindBoolean:
      text.FromCString(GetBoolean() != 0 ? "true" : "false");
      return VE_OK;
    case kValueKindByte:
    case kValueKindWord:
    case kValueKindLong:
    case kValueKindLong8:
      text.FromLong8(GetLong8());
      return VE_OK;
    case kValueKindReal:
      VReal::RealToJSONString(GetReal(), text);
      return VE_OK;
    default: {
      VString form;
      GetString(form);
      return form.GetJSONString(text, options);
    }
  }
}

VError VValueSingle::FromJSONString(const VString& text, uint32) {
  FromString(text);
  return VE_OK;
}

bool VValueSingle::FromXMLString(const VString& text) {
  FromString(text);
  return true;
}

bool VValueSingle::EqualTo(const VValueSingle& other, bool diacritical) const {
  return CompareTo(other, diacritical) == kCompareEqual;
}

VValueSingle* VValueSingle::ConvertTo(uint16 kind) const {
  std::unique_ptr<VValue> value(NewValueFromValueKind(kind));
  if (value == nullptr) return nullptr;
  VValueSingle* single = value->IsVValueSingle();
  if (single == nullptr) return nullptr;
  GetValue(*single);
  single->SetNull(IsNull());
  value.release();
  return single;
}

}  // namespace zeft
