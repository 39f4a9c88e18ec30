// VJSONFileCache keeps the parsed values of JSON files by their POSIX path,
// so that resolvers sharing it parse each referred document once.
#pragma once

#include <map>

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

namespace zeft {

class VJSONFileCache : public VObject, public IRefCountable {
 public:
  // Undefined when the path has no value.
  VJSONValue GetValue(const VString& path) const;
  // An undefined value removes the entry.
  void SetValue(const VString& path, const VJSONValue& value);

 private:
  struct RawLess {
    bool operator()(const VString& a, const VString& b) const {
      return a.CompareToStringRaw(b) < 0;
    }
  };
  std::map<VString, VJSONValue, RawLess> fValues;
};

}  // namespace zeft
