#include "platform/PropertyList.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/Clock.h"
#include "platform/FileDescriptor.h"

namespace zeft::platform {

namespace {

constexpr std::string_view kBinaryMagic = "bplist";
constexpr std::string_view kBinaryMagicVersion = "bplist00";
// Seconds from 1970-01-01 to 2001-01-01, the epoch of property-list dates.
constexpr std::int64_t kPropertyListEpochOffset = 978307200;

std::string TooDeepError() {
  return "the property list nests arrays and dictionaries deeper than " +
         std::to_string(kPropertyListMaxDepth) + " levels";
}

std::string TooManyValuesError() {
  return "the property list holds more than " + std::to_string(kPropertyListMaxValues) + " values";
}

std::string TooManyBytesError() {
  return "the property list expands to more than " + std::to_string(kPropertyListMaxExpandedBytes) +
         " bytes of strings and data";
}

const char kDateRangeError[] = "the property list holds a date out of the readable range";

// Dates reach us as whole seconds from 2001 in 32 bits: a date outside
// that range (or no number at all) is refused rather than read wrong.
bool IsReadableDate(double secondsFrom2001) {
  return secondsFrom2001 >= double(INT32_MIN) && secondsFrom2001 < double(INT32_MAX) + 1.0;
}

// Whether the text of an XML <date> element, "yyyy-mm-ddThh:mm:ssZ" with
// optional white space around it, names a date within the readable range.
bool IsReadableXMLDate(std::string_view text) {
  while (!text.empty() && std::strchr(" \t\r\n", text.front()) != nullptr) text.remove_prefix(1);
  while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr) text.remove_suffix(1);
  if (text.size() != 20) return false;
  std::int64_t fields[6] = {};
  const size_t starts[6] = {0, 5, 8, 11, 14, 17};
  const size_t widths[6] = {4, 2, 2, 2, 2, 2};
  for (int k = 0; k < 6; ++k) {
    for (size_t i = starts[k]; i < starts[k] + widths[k]; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      fields[k] = fields[k] * 10 + (text[i] - '0');
    }
  }
  if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':' ||
      text[19] != 'Z' || fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31 ||
      fields[3] > 23 || fields[4] > 59 || fields[5] > 59) {
    return false;
  }
  const std::int64_t seconds = DaysSinceEpoch(fields[0], fields[1], fields[2]) * 86400 +
                               fields[3] * 3600 + fields[4] * 60 + fields[5];
  return IsReadableDate(double(seconds - kPropertyListEpochOffset));
}

std::string ErrnoText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof(buffer));  // GNU form: returns the text
}

// libplist's parsers and plist_free recurse once per nesting level, so
// input nested too deeply must be refused before it reaches them. This scan
// counts element nesting; it skips what cannot hold elements (comments,
// CDATA, processing instructions, declarations). It never under-counts, so
// the container depth checked later on the tree is the exact rule.
bool CheckXMLNesting(std::string_view text, std::string& error) {
  const std::string malformed = "malformed XML property list";
  // The plist element, the containers, then one leaf element.
  constexpr int kMaxElementDepth = kPropertyListMaxDepth + 2;
  int depth = 0;
  size_t i = 0;
  auto skipTo = [&](std::string_view terminator, size_t from) {
    size_t end = text.find(terminator, from);
    if (end == std::string_view::npos) return false;
    i = end + terminator.size();
    return true;
  };
  while ((i = text.find('<', i)) != std::string_view::npos) {
    std::string_view rest = text.substr(i);
    if (rest.starts_with("<!--")) {
      if (!skipTo("-->", i + 4)) break;
    } else if (rest.starts_with("<![CDATA[")) {
      if (!skipTo("]]>", i + 9)) break;
    } else if (rest.starts_with("<?")) {
      if (!skipTo("?>", i + 2)) break;
    } else if (rest.starts_with("<!")) {  // declaration, maybe with [internal subset]
      int brackets = 0;
      size_t j = i + 2;
      for (; j < text.size(); ++j) {
        if (text[j] == '[')
          ++brackets;
        else if (text[j] == ']')
          --brackets;
        else if (text[j] == '>' && brackets <= 0)
          break;
      }
      if (j >= text.size()) break;
      i = j + 1;
    } else {
      // A start, end or empty-element tag; '>' inside quoted attribute values
      // does not end it.
      char quote = 0;
      size_t j = i + 1;
      for (; j < text.size(); ++j) {
        char c = text[j];
        if (quote != 0) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          break;
        }
      }
      if (j >= text.size()) break;
      if (text[i + 1] == '/') {
        if (--depth < 0) {
          error = malformed;
          return false;
        }
      } else if (text[j - 1] != '/') {
        if (++depth > kMaxElementDepth) {
          error = TooDeepError();
          return false;
        }
        if (text.substr(i, j + 1 - i) == "<date>") {
          const size_t end = text.find("</date>", j + 1);
          if (end == std::string_view::npos ||
              !IsReadableXMLDate(text.substr(j + 1, end - (j + 1)))) {
            error = kDateRangeError;
            return false;
          }
        }
      }
      i = j + 1;
      continue;
    }
  }
  if (i != std::string_view::npos) {  // stopped inside an unterminated construct
    error = malformed;
    return false;
  }
  return true;
}

// Reads the big-endian unsigned number of `width` (1..8) bytes at `offset`.
bool ReadBigEndian(std::string_view bytes, std::uint64_t offset, unsigned width,
                   std::uint64_t& out) {
  if (width == 0 || width > 8 || offset > bytes.size() || bytes.size() - offset < width)
    return false;
  out = 0;
  for (unsigned k = 0; k < width; ++k) out = (out << 8) | std::uint8_t(bytes[size_t(offset) + k]);
  return true;
}

// The binary parser follows object references recursively and copies
// objects that are referenced more than once. Before it runs, walk the
// object graph without recursion: every offset and reference in range, no
// cycle, nesting within the cap, and the expanded value count within the
// cap (shared references can expand a small file enormously).
class BinaryShapeCheck {
 public:
  explicit BinaryShapeCheck(std::string_view bytes) : fBytes(bytes) {}

  bool Run(std::string& error) {
    const std::string malformed = "malformed binary property list";
    constexpr size_t kTrailerSize = 32;
    if (fBytes.size() < kBinaryMagicVersion.size() + kTrailerSize + 2) {
      error = malformed;
      return false;
    }
    size_t trailer = fBytes.size() - kTrailerSize;
    fOffsetSize = std::uint8_t(fBytes[trailer + 6]);
    fRefSize = std::uint8_t(fBytes[trailer + 7]);
    std::uint64_t top = 0;
    if (fOffsetSize < 1 || fOffsetSize > 8 || fRefSize < 1 || fRefSize > 8 ||
        !ReadBigEndian(fBytes, trailer + 8, 8, fObjectCount) ||
        !ReadBigEndian(fBytes, trailer + 16, 8, top) ||
        !ReadBigEndian(fBytes, trailer + 24, 8, fTableOffset)) {
      error = malformed;
      return false;
    }
    if (fObjectCount > kPropertyListMaxValues) {
      error = TooManyValuesError();
      return false;
    }
    if (fObjectCount == 0 || top >= fObjectCount || fTableOffset < kBinaryMagicVersion.size() ||
        fTableOffset > trailer || (trailer - fTableOffset) / fOffsetSize < fObjectCount) {
      error = malformed;
      return false;
    }
    return Walk(top, error);
  }

 private:
  struct Container {
    std::uint64_t fObject = 0;
    std::uint64_t fRefs = 0;      // position of the first reference
    std::uint64_t fRefCount = 0;  // references to follow
    std::uint64_t fKeyCount = 0;  // the first references are keys (dictionaries)
    std::uint64_t fNext = 0;
    std::uint8_t fChildDepth = 0;
    std::uint32_t fValues = 1;  // itself and its expanded children so far
    std::uint64_t fBytes = 0;   // string and data bytes of its expanded children
  };

  // Where the object starts; false when its offset is out of range.
  bool ObjectOffset(std::uint64_t object, std::uint64_t& offset) const {
    return ReadBigEndian(fBytes, fTableOffset + object * fOffsetSize, fOffsetSize, offset) &&
           offset >= kBinaryMagicVersion.size() && offset < fTableOffset;
  }

  // The element count of the object whose marker is at `offset` (the low
  // nibble, or the integer object after it), and where its content starts.
  bool ReadCount(std::uint64_t offset, std::uint64_t& count, std::uint64_t& position) const {
    count = std::uint8_t(fBytes[size_t(offset)]) & 0x0F;
    position = offset + 1;
    if (count != 0x0F) return true;
    if (position >= fBytes.size()) return false;
    std::uint8_t intMarker = std::uint8_t(fBytes[size_t(position)]);
    if ((intMarker >> 4) != 0x1 || (intMarker & 0x0F) > 3) return false;
    unsigned width = 1u << (intMarker & 0x0F);
    if (!ReadBigEndian(fBytes, position + 1, width, count)) return false;
    position += 1 + width;
    return true;
  }

  // Finds the object's references, or a leaf's bytes of string or data.
  // False when the object is malformed.
  bool Inspect(std::uint64_t object, bool& isContainer, Container& container,
               std::uint64_t& leafBytes, std::string& error) {
    std::uint64_t offset = 0;
    if (!ObjectOffset(object, offset)) return false;
    std::uint8_t type = std::uint8_t(fBytes[size_t(offset)]) >> 4;
    isContainer = type == 0xA || type == 0xC || type == 0xD;
    leafBytes = 0;
    if (type == 0x3) {  // a date: a big-endian double of seconds from 2001
      std::uint64_t bits = 0;
      double seconds = 0;
      if (std::uint8_t(fBytes[size_t(offset)]) != 0x33 ||
          !ReadBigEndian(fBytes, offset + 1, 8, bits))
        return false;
      std::memcpy(&seconds, &bits, sizeof(seconds));
      if (!IsReadableDate(seconds)) {
        error = kDateRangeError;
        return false;
      }
    }
    if (type == 0x4 || type == 0x5 || type == 0x6) {  // data, ASCII and UTF-16 strings
      std::uint64_t count = 0;
      std::uint64_t position = 0;
      if (!ReadCount(offset, count, position) || count > fBytes.size()) return false;
      leafBytes = count * (type == 0x6 ? 2 : 1);
    }
    if (!isContainer) return true;
    std::uint64_t count = 0;
    std::uint64_t position = 0;
    if (!ReadCount(offset, count, position)) return false;
    std::uint64_t perEntry = type == 0xD ? 2 : 1;  // dictionaries list keys, then values
    if (count > fBytes.size() || position > fTableOffset ||
        count * perEntry * fRefSize > fTableOffset - position)
      return false;
    container.fObject = object;
    container.fRefs = position;
    container.fRefCount = count * perEntry;
    container.fKeyCount = type == 0xD ? count : 0;
    return true;
  }

  // Dictionary keys must be strings (ASCII or UTF-16) without a NUL: the
  // parser aborts the process on a UTF-16 key holding one, and cuts an
  // ASCII one short (two keys could then become the same).
  bool IsValidKey(std::uint64_t object) const {
    std::uint64_t offset = 0;
    std::uint64_t count = 0;
    std::uint64_t position = 0;
    if (!ObjectOffset(object, offset) || !ReadCount(offset, count, position)) return false;
    std::uint8_t type = std::uint8_t(fBytes[size_t(offset)]) >> 4;
    if (type != 0x5 && type != 0x6) return false;
    std::uint64_t unit = type == 0x5 ? 1 : 2;
    if (position > fTableOffset || count > (fTableOffset - position) / unit) return false;
    for (std::uint64_t k = 0; k < count; ++k) {
      size_t at = size_t(position + k * unit);
      if (fBytes[at] == 0 && (unit == 1 || fBytes[at + 1] == 0)) return false;
    }
    return true;
  }

  bool Walk(std::uint64_t top, std::string& error) {
    const std::string malformed = "malformed binary property list";
    enum : std::uint8_t { kUnseen, kOpen, kDone };
    std::vector<std::uint8_t> state(fObjectCount, kUnseen);
    std::vector<std::uint8_t> depth(fObjectCount, 0);
    std::vector<std::uint32_t> values(fObjectCount, 0);
    std::vector<std::uint64_t> bytes(fObjectCount, 0);
    std::vector<Container> stack;
    stack.reserve(kPropertyListMaxDepth);
    constexpr std::uint32_t kTooMany = std::uint32_t(kPropertyListMaxValues) + 1;
    constexpr std::uint64_t kTooManyBytes = std::uint64_t(kPropertyListMaxExpandedBytes) + 1;

    // Visits `object`; when it is finished already (a leaf or a walked
    // container) its figures are added to the parent on the stack.
    auto visit = [&](std::uint64_t object) -> bool {
      if (state[object] == kOpen) {
        error = "the binary property list refers to itself";
        return false;
      }
      if (state[object] == kUnseen) {
        bool isContainer = false;
        Container container;
        std::uint64_t leafBytes = 0;
        if (!Inspect(object, isContainer, container, leafBytes, error)) {
          if (error.empty()) error = malformed;
          return false;
        }
        if (isContainer) {
          if (stack.size() >= size_t(kPropertyListMaxDepth)) {
            error = TooDeepError();
            return false;
          }
          state[object] = kOpen;
          stack.push_back(container);
          return true;
        }
        state[object] = kDone;
        values[object] = 1;
        bytes[object] = leafBytes;
      }
      if (!stack.empty()) {
        Container& parent = stack.back();
        parent.fChildDepth = std::max(parent.fChildDepth, depth[object]);
        parent.fValues =
            std::min<std::uint64_t>(std::uint64_t(parent.fValues) + values[object], kTooMany);
        parent.fBytes = std::min<std::uint64_t>(parent.fBytes + bytes[object], kTooManyBytes);
      }
      return true;
    };

    if (!visit(top)) return false;
    while (!stack.empty()) {
      Container& current = stack.back();
      if (current.fNext < current.fRefCount) {
        std::uint64_t child = 0;
        ReadBigEndian(fBytes, current.fRefs + current.fNext * fRefSize, fRefSize,
                      child);  // in range: checked
        bool isKey = current.fNext < current.fKeyCount;
        ++current.fNext;
        if (child >= fObjectCount || (isKey && !IsValidKey(child))) {
          error = malformed;
          return false;
        }
        if (!visit(child)) return false;
        continue;
      }
      std::uint64_t object = current.fObject;
      depth[object] = std::uint8_t(current.fChildDepth + 1);
      values[object] = current.fValues;
      bytes[object] = current.fBytes;
      state[object] = kDone;
      stack.pop_back();
      if (!visit(object)) return false;
    }
    if (values[top] >= kTooMany) {
      error = TooManyValuesError();
      return false;
    }
    if (bytes[top] >= kTooManyBytes) {
      error = TooManyBytesError();
      return false;
    }
    return true;
  }

  std::string_view fBytes;
  unsigned fOffsetSize = 0;
  unsigned fRefSize = 0;
  std::uint64_t fObjectCount = 0;
  std::uint64_t fTableOffset = 0;
};

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistHolder = std::unique_ptr<void, PlistDeleter>;

class TreeConverter {
 public:
  explicit TreeConverter(std::string& error) : fError(error) {}

  // `depth` counts the containers enclosing `node`.
  bool Convert(plist_t node, int depth, PropertyListValue& out) {
    if (++fValues > kPropertyListMaxValues) {
      fError = TooManyValuesError();
      return false;
    }
    switch (plist_get_node_type(node)) {
      case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        out = PropertyListValue::FromBoolean(value != 0);
        return true;
      }
      case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        out = PropertyListValue::FromInteger(
            std::int64_t(value));  // negative numbers come as their bits
        return true;
      }
      case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        out = PropertyListValue::FromReal(value);
        return true;
      }
      case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        out = PropertyListValue::FromString(text != nullptr ? std::string(text, size_t(length))
                                                            : std::string());
        return true;
      }
      case PLIST_DATA: {
        uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        PropertyListValue::Data data;
        if (bytes != nullptr) data.assign(bytes, bytes + length);
        out = PropertyListValue::FromData(std::move(data));
        return true;
      }
      case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        // In range: checked before parsing. Microseconds count forwards.
        plist_get_date_val(node, &seconds, &microseconds);
        std::int64_t whole = std::int64_t(seconds) + kPropertyListEpochOffset;
        if (microseconds < 0) {
          whole -= 1;
          microseconds += 1000000;
        }
        out = PropertyListValue::FromDate({whole, microseconds});
        return true;
      }
      case PLIST_ARRAY:
        return ConvertArray(node, depth, out);
      case PLIST_DICT:
        return ConvertDictionary(node, depth, out);
      default:
        fError = "the property list holds a value of an unsupported type";
        return false;
    }
  }

 private:
  bool EnterContainer(int depth) {
    if (depth + 1 > kPropertyListMaxDepth) {
      fError = TooDeepError();
      return false;
    }
    return true;
  }

  bool ConvertArray(plist_t node, int depth, PropertyListValue& out) {
    if (!EnterContainer(depth)) return false;
    PropertyListValue::Array items;
    items.reserve(plist_array_get_size(node));
    // Walked in order: fetching item k by index walks k items first.
    plist_array_iter iter = nullptr;
    plist_array_new_iter(node, &iter);
    std::unique_ptr<void, decltype(&std::free)> iterHolder(iter, &std::free);
    for (;;) {
      plist_t item = nullptr;
      plist_array_next_item(node, iter, &item);
      if (item == nullptr) break;
      items.emplace_back();
      if (!Convert(item, depth + 1, items.back())) return false;
    }
    out = PropertyListValue::FromArray(std::move(items));
    return true;
  }

  bool ConvertDictionary(plist_t node, int depth, PropertyListValue& out) {
    if (!EnterContainer(depth)) return false;
    PropertyListValue::Dictionary entries;
    entries.reserve(plist_dict_get_size(node));
    std::unordered_map<std::string, size_t> places;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    std::unique_ptr<void, decltype(&std::free)> iterHolder(iter, &std::free);
    for (;;) {
      char* key = nullptr;
      plist_t item = nullptr;
      plist_dict_next_item(node, iter, &key, &item);
      if (item == nullptr) {
        std::free(key);
        break;
      }
      std::unique_ptr<char, decltype(&std::free)> keyHolder(key, &std::free);
      std::string name = key != nullptr ? std::string(key) : std::string();
      // A repeated key keeps one entry: the last value, at the first place.
      auto [at, added] = places.try_emplace(name, entries.size());
      if (added) entries.emplace_back(std::move(name), PropertyListValue());
      if (!Convert(item, depth + 1, entries[at->second].second)) return false;
    }
    out = PropertyListValue::FromDictionary(std::move(entries));
    return true;
  }

  std::string& fError;
  size_t fValues = 0;
};

}  // namespace

const PropertyListValue* PropertyListValue::Find(std::string_view key) const noexcept {
  const Dictionary* entries = GetDictionary();
  if (entries == nullptr) return nullptr;
  for (const auto& entry : *entries) {
    if (entry.first == key) return &entry.second;
  }
  return nullptr;
}

std::optional<PropertyListValue> ParsePropertyList(std::string_view bytes, std::string& error) {
  if (bytes.empty()) {
    error = "the property list is empty";
    return std::nullopt;
  }
  if (bytes.size() > kPropertyListMaxFileSize) {
    error =
        "the property list is larger than " + std::to_string(kPropertyListMaxFileSize) + " bytes";
    return std::nullopt;
  }
  plist_t root = nullptr;
  if (bytes.starts_with(kBinaryMagic)) {
    if (!bytes.starts_with(kBinaryMagicVersion)) {
      error = "unsupported binary property list version";
      return std::nullopt;
    }
    if (!BinaryShapeCheck(bytes).Run(error)) return std::nullopt;
    plist_from_bin(bytes.data(), uint32_t(bytes.size()), &root);
    if (root == nullptr) {
      error = "malformed binary property list";
      return std::nullopt;
    }
  } else {
    if (!CheckXMLNesting(bytes, error)) return std::nullopt;
    plist_from_xml(bytes.data(), uint32_t(bytes.size()), &root);
    if (root == nullptr) {
      error = "malformed XML property list";
      return std::nullopt;
    }
  }
  PlistHolder holder(root);
  PropertyListValue value;
  if (!TreeConverter(error).Convert(root, 0, value)) return std::nullopt;
  return value;
}

std::optional<PropertyListValue> LoadPropertyList(const std::string& path, std::string& error) {
  // Non-blocking, so that a pipe or device is refused below instead of
  // waiting for a writer; regular files read as usual.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot open \"" + path + "\": " + ErrnoText(errno);
    return std::nullopt;
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = "cannot read \"" + path + "\": " + ErrnoText(errno);
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "\"" + path + "\" is not a regular file";
    return std::nullopt;
  }
  if (std::uint64_t(info.st_size) > kPropertyListMaxFileSize) {
    error =
        "\"" + path + "\" is larger than " + std::to_string(kPropertyListMaxFileSize) + " bytes";
    return std::nullopt;
  }
  // Read up to one byte past the cap, in case the file grew since fstat.
  std::string bytes(size_t(info.st_size) + 1, '\0');
  size_t filled = 0;
  for (;;) {
    size_t got = 0;
    if (const int failed = ReadUpTo(fd, bytes.data() + filled, bytes.size() - filled, got);
        failed != 0) {
      error = "cannot read \"" + path + "\": " + ErrnoText(failed);
      return std::nullopt;
    }
    filled += got;
    // Short of the buffer's end, the file ended.
    if (filled < bytes.size() || bytes.size() > kPropertyListMaxFileSize) break;
    bytes.resize(std::min(bytes.size() * 2, kPropertyListMaxFileSize + 1));
  }
  bytes.resize(filled);
  if (bytes.size() > kPropertyListMaxFileSize) {
    error =
        "\"" + path + "\" is larger than " + std::to_string(kPropertyListMaxFileSize) + " bytes";
    return std::nullopt;
  }
  std::optional<PropertyListValue> value = ParsePropertyList(bytes, error);
  if (!value) error = "\"" + path + "\": " + error;
  return value;
}

std::optional<PropertyListValue> LoadInfoPlist(const std::string& path, std::string& error) {
  std::optional<PropertyListValue> value = LoadPropertyList(path, error);
  if (value && value->GetDictionary() == nullptr) {
    error = "\"" + path + "\": the root of the property list is not a dictionary";
    return std::nullopt;
  }
  return value;
}

}  // namespace zeft::platform
