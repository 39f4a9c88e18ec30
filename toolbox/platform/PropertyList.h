// Property lists (Info.plist and other .plist files, XML or binary) read
// into owned, typed values. Input is untrusted: size, nesting and value
// count are capped, and anything malformed gives an error text, never a
// crash. Nothing here allocates through the toolbox memory manager, so it
// can serve while that manager is being created.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace zeft::platform {

// Limits applied to every property list read.
inline constexpr size_t kPropertyListMaxFileSize = 16 * 1024 * 1024;
inline constexpr int kPropertyListMaxDepth = 64;  // nested arrays and dictionaries
inline constexpr size_t kPropertyListMaxValues = size_t(1) << 20;
// Bytes of strings and data once shared references are expanded.
inline constexpr size_t kPropertyListMaxExpandedBytes = size_t(64) << 20;

class PropertyListValue {
 public:
  enum class Type { kString, kInteger, kReal, kBoolean, kDate, kData, kArray, kDictionary };

  // A point in time, UTC, counted from 1970-01-01T00:00:00Z.
  struct Date {
    std::int64_t fSeconds = 0;
    std::int32_t fMicroseconds = 0;
    bool operator==(const Date&) const = default;
  };
  using Data = std::vector<std::uint8_t>;
  using Array = std::vector<PropertyListValue>;
  // Entries in file order; keys are unique (a repeated key keeps the place
  // of its first entry and the value of its last).
  using Dictionary = std::vector<std::pair<std::string, PropertyListValue>>;

  // An empty dictionary.
  PropertyListValue() : fStorage(Dictionary{}) {}

  static PropertyListValue FromString(std::string value) {
    return PropertyListValue(std::in_place, std::move(value));
  }
  // Integers are signed 64-bit; larger unsigned ones keep their bits.
  static PropertyListValue FromInteger(std::int64_t value) {
    return PropertyListValue(std::in_place, value);
  }
  static PropertyListValue FromReal(double value) {
    return PropertyListValue(std::in_place, value);
  }
  static PropertyListValue FromBoolean(bool value) {
    return PropertyListValue(std::in_place, value);
  }
  static PropertyListValue FromDate(Date value) { return PropertyListValue(std::in_place, value); }
  static PropertyListValue FromData(Data value) {
    return PropertyListValue(std::in_place, std::move(value));
  }
  static PropertyListValue FromArray(Array value) {
    return PropertyListValue(std::in_place, std::move(value));
  }
  static PropertyListValue FromDictionary(Dictionary value) {
    return PropertyListValue(std::in_place, std::move(value));
  }

  Type GetType() const noexcept { return Type(fStorage.index()); }

  // Each returns null when the value is of another type.
  const std::string* GetString() const noexcept { return std::get_if<std::string>(&fStorage); }
  const std::int64_t* GetInteger() const noexcept { return std::get_if<std::int64_t>(&fStorage); }
  const double* GetReal() const noexcept { return std::get_if<double>(&fStorage); }
  const bool* GetBoolean() const noexcept { return std::get_if<bool>(&fStorage); }
  const Date* GetDate() const noexcept { return std::get_if<Date>(&fStorage); }
  const Data* GetData() const noexcept { return std::get_if<Data>(&fStorage); }
  const Array* GetArray() const noexcept { return std::get_if<Array>(&fStorage); }
  const Dictionary* GetDictionary() const noexcept { return std::get_if<Dictionary>(&fStorage); }

  // The dictionary entry for `key`; null when absent or not a dictionary.
  const PropertyListValue* Find(std::string_view key) const noexcept;

  bool operator==(const PropertyListValue&) const = default;

 private:
  using Storage =
      std::variant<std::string, std::int64_t, double, bool, Date, Data, Array, Dictionary>;

  template <class T>
  PropertyListValue(std::in_place_t, T&& value)
      : fStorage(std::in_place_type<std::decay_t<T>>, std::forward<T>(value)) {}

  Storage fStorage;
};

// Parses a property list in XML or binary form. On failure returns nothing
// and sets `error` to a sentence saying why.
std::optional<PropertyListValue> ParsePropertyList(std::string_view bytes, std::string& error);

// Reads and parses the file at `path` (missing, unreadable, too large,
// empty and malformed files fail with their reason in `error`).
std::optional<PropertyListValue> LoadPropertyList(const std::string& path, std::string& error);

// LoadPropertyList that also requires a dictionary at the root, as an
// Info.plist has.
std::optional<PropertyListValue> LoadInfoPlist(const std::string& path, std::string& error);

}  // namespace zeft::platform
