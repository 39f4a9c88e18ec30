// Feeds arbitrary bytes to the property-list reader (XML, or binary when
// they start with "bplist"). A list that reads reads again the same, keeps
// its nesting within the cap and one entry per dictionary key; one that
// does not read says why.
#include <cstring>
#include <set>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/PropertyList.h"

namespace {

using zeft::fuzz::Require;
using zeft::platform::PropertyListValue;

void Check(const PropertyListValue& value, int depth) {
  if (const auto* items = value.GetArray()) {
    Require(depth < zeft::platform::kPropertyListMaxDepth);
    for (const PropertyListValue& item : *items) Check(item, depth + 1);
  } else if (const auto* entries = value.GetDictionary()) {
    Require(depth < zeft::platform::kPropertyListMaxDepth);
    std::set<std::string> keys;
    for (const auto& [key, item] : *entries) {
      Require(keys.insert(key).second);
      Require(value.Find(key) == &item);
      Check(item, depth + 1);
    }
  } else if (const auto* date = value.GetDate()) {
    Require(date->fMicroseconds >= 0 && date->fMicroseconds < 1000000);
  }
}

// Two readings of the same bytes agree. Reals compare by their bits, so a
// NaN read twice counts as the same value.
bool Same(const PropertyListValue& a, const PropertyListValue& b) {
  if (const double* x = a.GetReal()) {
    const double* y = b.GetReal();
    return y != nullptr && std::memcmp(x, y, sizeof *x) == 0;
  }
  if (const auto* xs = a.GetArray()) {
    const auto* ys = b.GetArray();
    if (ys == nullptr || xs->size() != ys->size()) return false;
    for (size_t i = 0; i < xs->size(); ++i) {
      if (!Same((*xs)[i], (*ys)[i])) return false;
    }
    return true;
  }
  if (const auto* xs = a.GetDictionary()) {
    const auto* ys = b.GetDictionary();
    if (ys == nullptr || xs->size() != ys->size()) return false;
    for (size_t i = 0; i < xs->size(); ++i) {
      if ((*xs)[i].first != (*ys)[i].first || !Same((*xs)[i].second, (*ys)[i].second)) {
        return false;
      }
    }
    return true;
  }
  return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto value = zeft::platform::ParsePropertyList(bytes, error);
  if (!value) {
    Require(!error.empty());
    return 0;
  }
  Check(*value, 0);
  std::string again;
  const auto second = zeft::platform::ParsePropertyList(bytes, again);
  Require(second && Same(*second, *value));
  return 0;
}
