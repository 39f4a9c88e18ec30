// CComponent is the interface of a component: an object identified by a
// four-character type, made in a four-character family by a creator
// function or a component library, and handed out by VComponentManager.
#pragma once

#include "core/VTypes.h"

namespace zeft {

class CComponent {
 public:
  using CType = uint32;

  virtual ~CComponent() = default;
  // Both return the new count; the manager passes a null tag.
  virtual int32 Retain(const char* tag = nullptr) = 0;
  virtual int32 Release(const char* tag = nullptr) = 0;
  // Not called by the manager.
  virtual void ReleaseDependencies() {}
  // A newly allocated requirements block (from VMemory::NewPtr, freed by
  // the caller with VMemory::DisposePtr), or null: 32-bit words, 0 the
  // format (at least 0x00010000), 1 the size in bytes (at least 52), 5 the
  // component's version, 10 the count N of required components, then N
  // pairs (type, minimum version; 0xFFFFFFFF for any).
  virtual uint32* GetRequirements() = 0;
  virtual CType GetComponentType() = 0;
  virtual CType GetComponentFamily() = 0;
};

// Makes a component of the type in the family with one reference for the
// caller, or null.
using VComponentCreator = CComponent* (*)(CComponent::CType type, CComponent::CType family);

}  // namespace zeft
