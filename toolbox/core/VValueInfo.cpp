#include "core/VValueInfo.h"

#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VEmpty.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "values/VArrayBlob.h"
#include "values/VArrayBoolean.h"
#include "values/VArrayByte.h"
#include "values/VArrayDuration.h"
#include "values/VArrayImage.h"
#include "values/VArrayLong.h"
#include "values/VArrayLong8.h"
#include "values/VArrayReal.h"
#include "values/VArrayString.h"
#include "values/VArrayTime.h"
#include "values/VArrayWord.h"
#include "values/VBlobWithPtr.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"

namespace zeft {

VValueInfo::~VValueInfo() { VValue::UnregisterValueInfo(this); }

VValueInfo::Registry& VValueInfo::GetRegistry() {
  // Never freed: descriptors unregister themselves during exit, possibly
  // after other statics are gone.
  static Registry* const sRegistry = [] {
    Registry* registry = new Registry;
    RegisterBuiltinValueKinds(*registry);
    return registry;
  }();
  return *sRegistry;
}

void VValueInfo::RegisterBuiltinValueKinds(Registry& registry) {
  // Only addresses are taken and the kinds are spelt out, so this is safe
  // even when a descriptor's own static has not been reached yet. Each new
  // value kind adds one line here.
  auto add = [&registry](uint16 kind, const VValueInfo& info) { registry[kind] = &info; };
  add(kValueKindEmpty, VEmpty::sInfo);
  add(kValueKindBoolean, VBoolean::sInfo);
  add(kValueKindByte, VByte::sInfo);
  add(kValueKindWord, VWord::sInfo);
  add(kValueKindLong, VLong::sInfo);
  add(kValueKindLong8, VLong8::sInfo);
  add(kValueKindReal, VReal::sInfo);
  add(kValueKindString, VString::sInfo);
  add(kValueKindDuration, VDuration::sInfo);
  add(kValueKindTime, VTime::sInfo);
  add(kValueKindBlob, VBlob::sInfo);
  add(kValueKindUUID, VUUID::sInfo);
  add(kValueKindArrayBoolean, VArrayBoolean::sInfo);
  add(kValueKindArrayByte, VArrayByte::sInfo);
  add(kValueKindArrayWord, VArrayWord::sInfo);
  add(kValueKindArrayLong, VArrayLong::sInfo);
  add(kValueKindArrayLong8, VArrayLong8::sInfo);
  add(kValueKindArrayReal, VArrayReal::sInfo);
  add(kValueKindArrayTime, VArrayTime::sInfo);
  add(kValueKindArrayDuration, VArrayDuration::sInfo);
  add(kValueKindArrayString, VArrayString::sInfo);
  add(kValueKindArrayImage, VArrayImage::sInfo);
  add(kValueKindArrayBlob, VArrayBlob::sInfo);
  add(kValueKindBag, VValueBag::sInfo);
}

CompareResult VValueInfo::CompareTwoPtrToData(const void*, const void*, bool) const {
  return kCompareEqual;
}
CompareResult VValueInfo::CompareTwoPtrToDataBegining(const void*, const void*, bool) const {
  return kCompareEqual;
}
CompareResult VValueInfo::CompareTwoPtrToData_Like(const void* data1, const void* data2,
                                                   bool diacritical) const {
  return CompareTwoPtrToData(data1, data2, diacritical);
}
CompareResult VValueInfo::CompareTwoPtrToDataBegining_Like(const void* data1, const void* data2,
                                                           bool diacritical) const {
  return CompareTwoPtrToDataBegining(data1, data2, diacritical);
}
CompareResult VValueInfo::CompareTwoPtrToDataWithOptions(const void*, const void*,
                                                         const VCompareOptions&) const {
  return kCompareEqual;
}
size_t VValueInfo::GetSizeOfValueDataPtr(const void*) const { return 0; }
size_t VValueInfo::GetAvgSpace() const { return 0; }

}  // namespace zeft
