// Creation and lifetime of VIntlMgr, and the process's default settings.
#include "core/VIntlMgr.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/VCollator.h"
#include "runtime/VErrorThrow.h"
#include "runtime/VTask.h"

namespace zeft {

namespace {

std::atomic<VIntlMgr*> sProcessDefault{nullptr};

// A dialect with a row: the code itself, else its language, else 1033.
DialectCode SupportedDialect(DialectCode dialect) {
  DialectCode code = VIntlMgr::ResolveDialectCode(dialect);
  if (VIntlMgr::IsDialectCode(code)) return code;
  code = DialectPrimary(code);
  return VIntlMgr::IsDialectCode(code) ? code : kDialectEnglishUS;
}

}  // namespace

VIntlMgr::VIntlMgr(DialectCode dialect, uint32 keywordBits)
    : fImpl(dialect), fKeywordBits(keywordBits), fDialect(dialect) {}

VIntlMgr* VIntlMgr::Create(DialectCode dialect, DialectCode collatorDialect, uint8 options) {
  DialectCode d = SupportedDialect(dialect);
  DialectCode c = SupportedDialect(collatorDialect);
  // No collation rules of their own here: Hungarian and Thai sort as 1033.
  if (c == 1038 || c == 1054) c = kDialectEnglishUS;

  VIntlMgr* current = VTask::GetCurrentIntlManager();
  if (current != nullptr && current->fDialect == d && current->fCollator != nullptr &&
      current->fCollator->GetDialectCode() == c && current->fCollatorOptions == options) {
    VIntlMgr* copy = current->Clone();
    if (copy != nullptr && copy->fCollator != nullptr) {
      copy->Reset();
      return copy;
    }
    if (copy != nullptr) copy->Release();
  }

  VIntlMgr* manager = new VIntlMgr(d, kKeywordAlphaNumeric);
  if (!manager->_InitCollator(c, options)) {
    manager->Release();
    _ThrowError(ToolboxError(toolbox_error::kCannotCreateIntlSettings));
    return nullptr;
  }
  manager->_InitLocaleVariables();
  return manager;
}

VIntlMgr* VIntlMgr::Clone() const { return new VIntlMgr(*this); }

bool VIntlMgr::Init() { return true; }

void VIntlMgr::ICU_Cleanup() {}

void VIntlMgr::SetProcessDefault(VIntlMgr* intl) {
  if (intl != nullptr) intl->Retain();
  VIntlMgr* old = sProcessDefault.exchange(intl);
  if (old != nullptr) old->Release();
}

VIntlMgr* VIntlMgr::GetProcessDefault() { return sProcessDefault.load(); }

const VString& VIntlMgr::GetDatePattern(int32 style) const {
  return (style >= 0 && style < 4) ? fDatePatterns[style] : VString::sEmpty;
}

const VString& VIntlMgr::GetTimePattern(int32 style) const {
  return (style >= 0 && style < 4) ? fTimePatterns[style] : VString::sEmpty;
}

bool VIntlMgr::DebugConvertString(void* source, int32 sourceBytes, CharSet sourceSet, void* target,
                                  int32& targetBytes, CharSet targetSet) {
  if (sourceSet != targetSet) return false;
  int32 count = std::max<int32>(0, std::min(targetBytes, sourceBytes));
  if (count > 0) std::memmove(target, source, size_t(count));
  targetBytes = count;
  return true;
}

CharSet VIntlMgr::DebugDump(char* buffer, int& size) const {
  VString tag;
  GetBCP47LanguageCode(fDialect, tag);
  int written = std::snprintf(buffer, size_t(size > 0 ? size : 0), "VIntlMgr %u (%s)",
                              unsigned(fDialect), to_string(tag).c_str());
  size = written < 0 ? 0 : std::min(written, size > 0 ? size - 1 : 0);
  return kCharSetUTF8;
}

}  // namespace zeft
