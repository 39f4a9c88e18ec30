#include "xml/VUTI.h"

namespace zeft {

VUTI::~VUTI() { _Detach(); }

bool VUTI::_HasTag(const std::vector<VString>& tags, const VString& tag) {
  for (const VString& t : tags) {
    if (t.EqualToString(tag, false)) return true;
  }
  return false;
}

void VUTI::_AddTag(std::vector<VString>& tags, const VString& tag) {
  if (!_HasTag(tags, tag)) tags.push_back(tag);
}

void VUTI::AddExtension(const VString& tag) { _AddTag(fExtensions, tag); }

void VUTI::AddOSType(const VString& tag) { _AddTag(fOSTypes, tag); }

void VUTI::AddMIMEType(const VString& tag) { _AddTag(fMIMETypes, tag); }

void VUTI::GetAllExtensionsVector(std::vector<VString>& extensions) const {
  Visited visited;
  _GetAllExtensions(extensions, visited);
}

void VUTI::_GetAllExtensions(std::vector<VString>& extensions, Visited& visited) const {
  if (!visited.insert(this).second) return;
  for (const VString& extension : fExtensions) _AddTag(extensions, extension);
  for (const auto& [id, parent] : fParents) {
    if (!parent->IsTemporary()) parent->_GetAllExtensions(extensions, visited);
  }
}

VUTI* VUTI::_FindTagOwner(const std::vector<VString> VUTI::*list, const VString& tag,
                          Visited& visited) {
  if (!visited.insert(this).second) return nullptr;
  if (_HasTag(this->*list, tag)) {
    Retain();
    return this;
  }
  for (const auto& [id, parent] : fParents) {
    if (parent->IsTemporary()) continue;
    if (VUTI* owner = parent->_FindTagOwner(list, tag, visited)) return owner;
  }
  return nullptr;
}

VUTI* VUTI::GetHighestParentThatConformsToExtension(const VString& tag) {
  Visited visited;
  return _FindTagOwner(&VUTI::fExtensions, tag, visited);
}

VUTI* VUTI::GetHighestParentThatConformsToOSType(const VString& tag) {
  Visited visited;
  return _FindTagOwner(&VUTI::fOSTypes, tag, visited);
}

VUTI* VUTI::GetHighestParentThatConformsToMIMEType(const VString& tag) {
  Visited visited;
  return _FindTagOwner(&VUTI::fMIMETypes, tag, visited);
}

namespace {

bool Found(VUTI* owner) {
  if (owner == nullptr) return false;
  owner->Release();
  return true;
}

}  // namespace

bool VUTI::ConformsToExtension(const VString& tag) {
  return Found(GetHighestParentThatConformsToExtension(tag));
}

bool VUTI::ConformsToOSType(const VString& tag) {
  return Found(GetHighestParentThatConformsToOSType(tag));
}

bool VUTI::ConformsToMIMEType(const VString& tag) {
  return Found(GetHighestParentThatConformsToMIMEType(tag));
}

bool VUTI::ConformsToIdentifier(const VString& identifier) const {
  if (identifier.IsEmpty()) return false;
  Visited visited;
  return _ConformsTo(identifier, visited);
}

bool VUTI::_ConformsTo(const VString& identifier, Visited& visited) const {
  if (!visited.insert(this).second) return false;
  if (fIdentifier.EqualToString(identifier, false)) return true;
  for (const auto& [id, parent] : fParents) {
    if (!parent->IsTemporary() && parent->_ConformsTo(identifier, visited)) return true;
  }
  return false;
}

void VUTI::_Insert(UTIMap& map, VUTI* uti) {
  if (uti == nullptr || uti->GetIdentifier().IsEmpty()) return;
  if (map.emplace(uti->GetIdentifier(), uti).second) uti->Retain();
}

void VUTI::_Replace(UTIMap& map, const UTIMap& entries) {
  UTIMap old;
  old.swap(map);
  for (const auto& [id, uti] : entries) {
    if (uti != nullptr && map.emplace(id, uti).second) uti->Retain();
  }
  for (const auto& [id, uti] : old) uti->Release();
}

void VUTI::SetParentUTIsMap(const UTIMap& parents) { _Replace(fParents, parents); }

void VUTI::SetChildrenUTIsMap(const UTIMap& children) { _Replace(fChildren, children); }

void VUTI::AddParentUTI(VUTI* uti) { _Insert(fParents, uti); }

void VUTI::AddChildUTI(VUTI* uti) { _Insert(fChildren, uti); }

bool VUTI::_IsAncestor(const VUTI* uti, bool temporaryFirstLevel, Visited& visited) const {
  if (!visited.insert(this).second) return false;
  for (const auto& [id, parent] : fParents) {
    if (parent->IsTemporary() && !temporaryFirstLevel) continue;
    if (parent->GetIdentifier().EqualToString(uti->GetIdentifier(), false)) return true;
    if (parent->_IsAncestor(uti, false, visited)) return true;
  }
  return false;
}

bool VUTI::_IsDescendant(const VUTI* uti, bool temporaryFirstLevel, Visited& visited) const {
  if (!visited.insert(this).second) return false;
  for (const auto& [id, child] : fChildren) {
    if (child->IsTemporary() && !temporaryFirstLevel) continue;
    if (child->GetIdentifier().EqualToString(uti->GetIdentifier(), false)) return true;
    if (child->_IsDescendant(uti, false, visited)) return true;
  }
  return false;
}

bool VUTI::IsParent(const VUTI* uti) const {
  Visited visited;
  return uti != nullptr && _IsAncestor(uti, false, visited);
}

bool VUTI::CouldBeAParent(const VUTI* uti) const {
  Visited visited;
  return uti != nullptr && _IsAncestor(uti, true, visited);
}

bool VUTI::IsChild(const VUTI* uti) const {
  Visited visited;
  return uti != nullptr && _IsDescendant(uti, false, visited);
}

bool VUTI::CouldBeAChild(const VUTI* uti) const {
  Visited visited;
  return uti != nullptr && _IsDescendant(uti, true, visited);
}

bool VUTI::IsChildOrChildOfAParent(const VUTI* uti) const {
  Visited visited;
  return uti != nullptr && _IsChildOrChildOfAParent(uti, visited);
}

bool VUTI::_IsChildOrChildOfAParent(const VUTI* uti, Visited& visited) const {
  if (!visited.insert(this).second) return false;
  if (IsChild(uti)) return true;
  for (const auto& [id, parent] : fParents) {
    if (!parent->IsTemporary() && parent->_IsChildOrChildOfAParent(uti, visited)) return true;
  }
  return false;
}

void VUTI::RemoveTemporaryUTI(const VString& identifier) {
  for (UTIMap* map : {&fParents, &fChildren}) {
    auto found = map->find(identifier);
    if (found != map->end() && found->second->IsTemporary()) {
      VUTI* uti = found->second;
      map->erase(found);
      uti->Release();
    }
  }
}

bool VUTI::IsPublic() const { return fIdentifier.BeginsWith(VString("public"), false); }

void VUTI::_Detach() {
  UTIMap parents;
  UTIMap children;
  parents.swap(fParents);
  children.swap(fChildren);
  for (const auto& [id, uti] : parents) uti->Release();
  for (const auto& [id, uti] : children) uti->Release();
}

}  // namespace zeft
