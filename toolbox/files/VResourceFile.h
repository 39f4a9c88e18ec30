// VResourceFile is the abstract interface to a file of typed, numbered
// resources. No resource file format is implemented here; the class gives
// the start-up and shut-down hooks of the application frame and builds
// string lists over the reading operations an implementation provides.
#pragma once

#include "core/IRefCountable.h"
#include "core/VErrorCodes.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VArrayString;

class VResourceFile : public VObject, public IRefCountable {
 public:
  // The type of string-list resources.
  static constexpr uint32 kStringListType = FourCC("STR#");

  // Start-up and shut-down hooks: nothing to set up.
  static bool Init() { return true; }
  static void DeInit() {}

  // The id of the resource of `type` named `name`.
  virtual VError GetResourceID(uint32 type, const VString& name, int32* id) const = 0;
  // String `index` (1-based) of the string-list resource `id`; false when
  // there is none.
  virtual bool GetIndString(VString& text, int32 id, int32 index) const = 0;
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;

  // Empties `list`, then appends the strings 1, 2, ... of the string-list
  // resource `id` while they exist. Always true.
  virtual bool GetStringList(int32 id, VArrayString& list);
  // The same for the string-list resource named `name`; false when there
  // is none.
  virtual bool GetStringList(const VString& name, VArrayString& list);
  virtual void Flush() {}
  void MakeString(VString&, unsigned char*) {}

 protected:
  // An open file is closed before it goes.
  void DoOnRefCountZero() override;
};

}  // namespace zeft
