#include "files/VResourceFile.h"

#include "values/VArrayString.h"

namespace zeft {

bool VResourceFile::GetStringList(int32 id, VArrayString& list) {
  list.SetCount(0);
  VString text;
  for (int32 index = 1; GetIndString(text, id, index); ++index) list.AppendString(text);
  return true;
}

bool VResourceFile::GetStringList(const VString& name, VArrayString& list) {
  int32 id = 0;
  if (GetResourceID(kStringListType, name, &id) != VE_OK) return false;
  return GetStringList(id, list);
}

void VResourceFile::DoOnRefCountZero() {
  if (IsOpen()) Close();
  IRefCountable::DoOnRefCountZero();
}

}  // namespace zeft
