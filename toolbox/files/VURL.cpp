#include "files/VURL.h"

#include <algorithm>
#include <string>

#include "core/StStringConverter.h"
#include "core/UTF16Surrogates.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"

namespace zeft {

namespace {

constexpr char kSafeCharacters[] =
    ":/?#[]@!$&'()*+,;=0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-._~%";

// The bytes the encoder escapes: controls, 0x7F and above, and the listed
// characters ('[' and ']' only in the path set).
constexpr bool IsUnsafeByte(uint8 byte, bool pathSet) {
  if (byte < 0x20 || byte >= 0x7F) return true;
  switch (byte) {
    case '<':
    case '>':
    case '"':
    case '#':
    case '%':
    case '{':
    case '}':
    case '|':
    case '\\':
    case '^':
    case '`':
    case ' ':
      return true;
    case '[':
    case ']':
      return pathSet;
    default:
      return false;
  }
}

int HexValue(UniChar c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Appends the bytes of one run of escapes: each well-formed UTF-8 character
// as itself, any other byte as the ISO-8859-1 character of its value.
void AppendEscapedBytes(const std::string& bytes, std::u16string& out) {
  size_t i = 0;
  while (i < bytes.size()) {
    const uint8 lead = uint8(bytes[i]);
    size_t count = 0;
    uint32 value = 0;
    uint32 minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      count = 1, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      count = 2, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      count = 3, value = lead & 0x07, minimum = 0x10000;
    }
    bool valid = count > 0 && bytes.size() - i > count;
    for (size_t k = 1; valid && k <= count; ++k) {
      const uint8 next = uint8(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      value = (value << 6) | (next & 0x3F);
    }
    valid = valid && value >= minimum && value <= 0x10FFFF && !IsSurrogate(value);
    if (!valid) {
      out.push_back(char16_t(lead));
      ++i;
    } else if (value >= 0x10000) {
      out.push_back(HighSurrogateOf(value));
      out.push_back(LowSurrogateOf(value));
      i += count + 1;
    } else {
      out.push_back(char16_t(value));
      i += count + 1;
    }
  }
}

}  // namespace

VURL::VURL(const VString& url, bool encoded) { FromString(url, encoded); }

VURL::VURL(const VString& path, EURLPathStyle style, const VString& base) {
  FromFilePath(path, style, base);
}

VURL::VURL(const VFilePath& path) { FromFilePath(path); }

VURL::VURL(const VFolder& folder, const VString& relativePath, EURLPathStyle style) {
  FromRelativePath(folder, relativePath, style);
}

void VURL::FromURL(const VURL& other) {
  if (this != &other) *this = other;
}

void VURL::Clear() {
  fURL.Clear();
  fEncoded.Clear();
  fConform = false;
  for (URLPart& part : fParts) part = URLPart();
}

bool VURL::_BuildURLArray(const VString& url, bool pathOnly, URLPart* parts) {
  for (int32 i = 0; i < 6; ++i) parts[i] = URLPart();
  const int32 length = url.GetLength();
  if (length == 0) return true;
  const UniChar* text = url.GetCPointer();
  bool conform = false;
  int32 pathStart = 1;
  const int32 delimiter = url.FindRawString(VString("://"));
  bool schemeFound = delimiter == 1;
  if (delimiter >= 2) {
    schemeFound = true;
    for (int32 i = 0; i < delimiter - 1 && schemeFound; ++i) {
      schemeFound = text[i] != '/' && text[i] != ':';
    }
    if (schemeFound) parts[kURLPartScheme] = {1, delimiter - 1};
  }
  if (schemeFound) {
    if (delimiter == 1) parts[kURLPartScheme] = {1, 0};
    const int32 location = delimiter + 3;
    const int32 slash = location <= length ? url.FindUniChar('/', location) : 0;
    if (slash > 0) {
      parts[kURLPartNetworkLocation] = {location, slash - location};
      pathStart = slash + 1;
      conform = true;
    } else {
      parts[kURLPartNetworkLocation] = {location, length + 1 - location};
      pathStart = length + 1;
    }
  }
  // The path, parameters and query end at the nearest delimiter after their
  // start; a delimiter ending the text stays in the part before it.
  int32 opened[3] = {0, 0, 0};  // parameters, query, fragment
  if (!pathOnly && pathStart <= length) {
    const UniChar delimiters[3] = {';', '?', '#'};
    for (int32 k = 0; k < 3; ++k) opened[k] = url.FindUniChar(delimiters[k], pathStart);
  }
  auto endOf = [&](int32 start) {
    int32 end = length + 1;
    for (int32 position : opened) {
      if (position > 0 && position < length && position >= start && position < end) {
        end = position;
      }
    }
    return end;
  };
  parts[kURLPartPath] = {pathStart, endOf(pathStart) - pathStart};
  const EURLParts openedParts[3] = {kURLPartParameters, kURLPartQuery, kURLPartFragment};
  for (int32 k = 0; k < 3; ++k) {
    if (opened[k] == 0) continue;
    const int32 start = opened[k] + 1;
    const int32 end = k == 2 ? length + 1 : endOf(start);
    parts[openedParts[k]] = {start, end > start ? end - start : 0};
  }
  return conform;
}

void VURL::_PartText(const URLPart* parts, EURLParts part, VString& text) const {
  const URLPart& p = parts[part];
  const int32 length = fURL.GetLength();
  if (p.fLength <= 0 || p.fStart < 1 || p.fStart > length) {
    text.Clear();
    return;
  }
  fURL.GetSubString(p.fStart, std::min(p.fLength, length - p.fStart + 1), text);
}

void VURL::_GetPart(VString& text, EURLParts part) const { _PartText(fParts, part, text); }

bool VURL::_Parse(bool pathOnly) {
  fConform = _BuildURLArray(fURL, pathOnly, fParts);
  return fConform;
}

bool VURL::FromString(const VString& url, bool encoded) {
  fConform = false;
  fURL = url;
  if (encoded && _ContainsOnlySafeCharacters(url)) {
    fEncoded = url;
  } else {
    fEncoded.Clear();
  }
  _Parse(false);
  if (encoded) _DecodeParts();
  return fConform;
}

bool VURL::FromString(const VString& url, const VString& base, bool encoded) {
  if (url.FindRawString(VString("://")) > 0 || base.IsEmpty()) return FromString(url, encoded);
  VString joined(base);
  if (url.IsEmpty() || url.GetUniChar(1) != '/') joined.AppendUniChar('/');
  joined.AppendString(url);
  return FromString(joined, encoded);
}

void VURL::_DecodeParts() {
  for (int32 part = kURLPartFragment; part >= kURLPartScheme; --part) {
    URLPart& p = fParts[part];
    if (p.fLength <= 0) continue;
    VString text;
    _PartText(fParts, EURLParts(part), text);
    const int32 oldLength = text.GetLength();
    Decode(text);
    const int32 delta = text.GetLength() - oldLength;
    fURL.Replace(text, p.fStart, oldLength);
    for (URLPart& other : fParts) {
      if (other.fStart > p.fStart) other.fStart += delta;
    }
    p.fLength = text.GetLength();
  }
}

bool VURL::FromFilePath(const VFilePath& path) {
  fEncoded.Clear();
  VString posix;
  path.GetPosixPath(posix);
  if (posix.IsEmpty()) {
    Clear();
    return false;
  }
  if (posix.BeginsWithRawString(VString("//"))) {
    fURL = VString("file:");
  } else {
    fURL = VString("file://");
    if (posix.GetUniChar(1) != '/') fURL.AppendUniChar('/');
  }
  fURL.AppendString(posix);
  return _Parse(true);
}

bool VURL::FromRelativePath(const VFolder& folder, const VString& relativePath,
                            EURLPathStyle style) {
  VString text(relativePath);
  if (style == kURLPathStyleWindows) WIN_to_POSIX(text);
  const FilePathStyle pathStyle =
      style == kURLPathStyleHFS ? kFilePathStyleNative : kFilePathStylePosix;
  return FromFilePath(VFilePath(folder.GetPath(), text, pathStyle, false));
}

bool VURL::FromFilePath(const VString& path, EURLPathStyle style, const VString& base) {
  VString text(path);
  if (style == kURLPathStyleWindows) {
    WIN_to_POSIX(text);
  } else if (style == kURLPathStyleHFS) {
    HFS_to_POSIX(text, true);
  }
  fURL = base;
  if (text.BeginsWithRawString(VString("//"))) {
    text.Remove(1, 2);
  } else if (!text.BeginsWithRawString(VString("/"))) {
    fURL.AppendUniChar('/');
  }
  fURL.AppendString(text);
  fEncoded.Clear();
  return _Parse(true);
}

void VURL::_Rebuild(const URLPart* parts, const VString* replaced, EURLParts which, bool encoded,
                    VString& url) const {
  VString texts[6];
  for (int32 part = 0; part < 6; ++part) {
    if (replaced != nullptr && part == which) {
      texts[part] = *replaced;
    } else {
      _PartText(parts, EURLParts(part), texts[part]);
    }
    if (encoded) Encode(texts[part], false, false, true, false);
  }
  // The choice between "://" and ":///" follows the location as it was.
  VString location;
  _PartText(parts, kURLPartNetworkLocation, location);
  url.Clear();
  if (!texts[kURLPartScheme].IsEmpty()) {
    url.AppendString(texts[kURLPartScheme]);
    url.AppendCString(location.IsEmpty() ? ":///" : "://");
  }
  if (!texts[kURLPartNetworkLocation].IsEmpty()) {
    url.AppendString(texts[kURLPartNetworkLocation]);
    url.AppendUniChar('/');
  }
  url.AppendString(texts[kURLPartPath]);
  const struct {
    EURLParts part;
    UniChar delimiter;
  } tail[3] = {{kURLPartParameters, ';'}, {kURLPartQuery, '?'}, {kURLPartFragment, '#'}};
  for (const auto& [part, delimiter] : tail) {
    if (texts[part].IsEmpty()) continue;
    url.AppendUniChar(delimiter);
    url.AppendString(texts[part]);
  }
}

void VURL::_SetPart(const VString& text, EURLParts part) {
  if (!_BuildURLArray(fURL, false, fParts)) return;
  VString url;
  _Rebuild(fParts, &text, part, false, url);
  fURL.Swap(url);
  // The caller's encoded text no longer spells this URL.
  fEncoded.Clear();
}

void VURL::GetAbsoluteURL(VString& url, bool encoded) const {
  if (!encoded || fURL.EqualToStringRaw(VString("about:blank"))) {
    url = fURL;
    return;
  }
  if (!fEncoded.IsEmpty()) {
    url = fEncoded;
    return;
  }
  VString text;
  GetScheme(url);
  url.AppendCString("://");
  GetNetworkLocation(text, true);
  url.AppendString(text);
  url.AppendUniChar('/');
  GetPath(text, kURLPathStylePosix, true);
  url.AppendString(text);
  const struct {
    EURLParts part;
    UniChar delimiter;
  } tail[3] = {{kURLPartQuery, '?'}, {kURLPartParameters, ';'}, {kURLPartFragment, '#'}};
  for (const auto& [part, delimiter] : tail) {
    _GetPart(text, part);
    if (text.IsEmpty()) continue;
    Encode(text, false, false, true, false);
    url.AppendUniChar(delimiter);
    url.AppendString(text);
  }
}

void VURL::GetRelativeURL(VString& url, bool encoded) const {
  if (!encoded) {
    url = fURL;
    return;
  }
  URLPart parts[6];
  _BuildURLArray(fURL, false, parts);
  _Rebuild(parts, nullptr, kURLPartScheme, true, url);
}

void VURL::GetScheme(VString& scheme) const { _GetPart(scheme, kURLPartScheme); }

bool VURL::IsScheme(const VString& scheme) const {
  VString own;
  GetScheme(own);
  return own.EqualToStringRaw(scheme);
}

void VURL::GetNetworkLocation(VString& location, bool encoded) const {
  _GetPart(location, kURLPartNetworkLocation);
  if (encoded) Encode(location, false, false, false, false);
}

void VURL::_GetNetLocationPiece(VString& piece, int32 which, bool encoded) const {
  VString location;
  _GetPart(location, kURLPartNetworkLocation);
  VString pieces[4];
  ParseNetLocation(location, &pieces[0], &pieces[1], &pieces[2], &pieces[3]);
  piece = pieces[which];
  if (encoded) Encode(piece, false, false, true, false);
}

void VURL::GetUserName(VString& user, bool encoded) const {
  _GetNetLocationPiece(user, 0, encoded);
}

void VURL::GetPassword(VString& password, bool encoded) const {
  _GetNetLocationPiece(password, 1, encoded);
}

void VURL::GetHostName(VString& host, bool encoded) const {
  _GetNetLocationPiece(host, 2, encoded);
}

void VURL::GetPortNumber(VString& port, bool encoded) const {
  _GetNetLocationPiece(port, 3, encoded);
}

int32 VURL::GetPortNumber() const {
  VString port;
  GetPortNumber(port, false);
  int32 value = 0;
  for (int32 i = 1; i <= port.GetLength(); ++i) {
    const UniChar c = port.GetUniChar(i);
    if (c == ' ') return -1;
    if (c < '0' || c > '9') continue;
    value = value * 10 + (c - '0');
    if (value > 65535) return -1;
  }
  return value;
}

void VURL::GetPath(VString& path, EURLPathStyle style, bool encoded) const {
  _GetPart(path, kURLPartPath);
  if (encoded) Encode(path, false, false, true, false);
  if (style == kURLPathStyleWindows) {
    POSIX_to_WIN(path);
  } else if (style == kURLPathStyleHFS) {
    POSIX_to_HFS(path);
  }
}

void VURL::GetRelativePath(VString& path, EURLPathStyle, bool encoded) const {
  _GetPart(path, kURLPartPath);
  if (encoded) Encode(path, false, false, true, false);
}

void VURL::_GetRelativePath(VString& path) const { _GetPart(path, kURLPartPath); }

void VURL::GetParameters(VString& parameters, bool encoded) const {
  _GetPart(parameters, kURLPartParameters);
  if (encoded) Encode(parameters, false, false, true, false);
}

void VURL::GetQuery(VString& query, bool encoded) const {
  _GetPart(query, kURLPartQuery);
  if (encoded) Encode(query, false, false, true, false);
}

void VURL::GetFragment(VString& fragment, bool encoded) const {
  _GetPart(fragment, kURLPartFragment);
  if (encoded) Encode(fragment, false, false, true, false);
}

void VURL::GetResourceSpecifier(VString& specifier, bool encoded) const {
  const URLPart& path = fParts[kURLPartPath];
  const int32 after = path.fStart + path.fLength;
  specifier.Clear();
  if (path.fStart < 1 || after > fURL.GetLength()) return;
  fURL.GetSubString(after, fURL.GetLength() - after + 1, specifier);
  if (encoded) Encode(specifier, false, false, true, false);
}

void VURL::GetLastPathComponent(VString& component, bool) const {
  // Taken from the encoded path, so the flag has nothing more to encode.
  GetPath(component, kURLPathStylePosix, true);
  if (!component.IsEmpty() && component.GetUniChar(component.GetLength()) == '/') {
    component.Truncate(component.GetLength() - 1);
  }
  const int32 slash = component.FindUniChar('/', component.GetLength(), true);
  if (slash > 0) component.Remove(1, slash);
}

bool VURL::GetFilePath(VFilePath& path) const {
  VString scheme;
  GetScheme(scheme);
  if (!scheme.IsEmpty() && !scheme.EqualToString(VString("file"), false)) {
    path.Clear();
    return false;
  }
  VString text;
  _GetPart(text, kURLPartPath);
  if (text.IsEmpty() || text.GetUniChar(1) != '/') text.Insert(UniChar('/'), 1);
  POSIX_to_HFS(text);
  return path.FromFullPath(text, kFilePathStyleNative);
}

bool VURL::IsRoot() const {
  VString path;
  GetPath(path, kURLPathStylePosix, true);
  const int32 slash = path.FindUniChar('/');
  return slash == 0 || slash == path.GetLength();
}

void VURL::SetScheme(const VString& scheme) {
  _SetPart(scheme, kURLPartScheme);
  _Parse(false);
}

namespace {
VString DecodedIf(const VString& text, bool encoded) {
  VString result(text);
  if (encoded) VURL::Decode(result);
  return result;
}
}  // namespace

void VURL::SetNetWorkLocation(const VString& location, bool encoded) {
  _SetPart(DecodedIf(location, encoded), kURLPartNetworkLocation);
  _Parse(false);
}

void VURL::SetParameters(const VString& parameters, bool encoded) {
  _SetPart(DecodedIf(parameters, encoded), kURLPartParameters);
  _Parse(false);
}

void VURL::SetQuery(const VString& query, bool encoded) {
  _SetPart(DecodedIf(query, encoded), kURLPartQuery);
  _Parse(false);
}

void VURL::SetFragment(const VString& fragment, bool encoded) {
  _SetPart(DecodedIf(fragment, encoded), kURLPartFragment);
  _Parse(false);
}

void VURL::SetRelativePath(const VString& path, EURLPathStyle style, bool encoded) {
  VString text = DecodedIf(path, encoded);
  if (style == kURLPathStyleWindows) {
    WIN_to_POSIX(text);
  } else if (style == kURLPathStyleHFS) {
    HFS_to_POSIX(text, true);
  }
  _SetPart(text, kURLPartPath);
  _Parse(false);
}

bool VURL::ToParent() {
  if (IsRoot()) return false;
  VString path;
  _GetRelativePath(path);
  if (!path.IsEmpty() && path.GetUniChar(path.GetLength()) == '/') {
    path.Truncate(path.GetLength() - 1);
  }
  const int32 slash = path.FindUniChar('/', path.GetLength(), true);
  if (slash == 0) return false;
  path.Truncate(slash);
  SetRelativePath(path, kURLPathStylePosix, false);
  return true;
}

VURL* VURL::RetainParent() const {
  auto* parent = new VURL(*this);
  if (parent->ToParent()) return parent;
  delete parent;
  return nullptr;
}

bool VURL::ToSubFolder(const VString& name) {
  VString path;
  _GetRelativePath(path);
  if (path.IsEmpty() || path.GetUniChar(path.GetLength()) != '/') return false;
  path.AppendString(name);
  SetRelativePath(path, kURLPathStylePosix, false);
  return true;
}

void VURL::_RemoveLastPathComponent() {
  VString path;
  _GetRelativePath(path);
  if (!path.IsEmpty() && path.GetUniChar(path.GetLength()) == '/') return;
  const int32 slash = path.FindUniChar('/', path.GetLength(), true);
  if (slash == 0) {
    path = VString("/");
  } else {
    path.Truncate(slash);
  }
  _SetPart(path, kURLPartPath);
}

void VURL::Encode(VString& text, bool keepColon, bool decompose, bool pathSet,
                  bool keepBackslashU) {
  if (decompose) text.Decompose();
  StStringConverter<char> utf8(text, kCharSetUTF8);
  const char* bytes = utf8.GetCPointer();
  const size_t size = utf8.GetSize();
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  out.reserve(size + size / 2);
  for (size_t i = 0; i < size; ++i) {
    const uint8 byte = uint8(bytes[i]);
    const bool keep = (keepColon && byte == ':') || !IsUnsafeByte(byte, pathSet) ||
                      (keepBackslashU && byte == '\\' && i + 1 < size && bytes[i + 1] == 'u');
    if (keep) {
      out.push_back(char16_t(byte));
    } else {
      out.push_back(u'%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
  if (out.empty()) {
    text.Clear();
  } else {
    text.FromUniString(out.data(), int32(out.size()));
  }
}

void VURL::Decode(VString& text) {
  if (text.FindUniChar('%') == 0) {
    text.Compose();
    return;
  }
  const UniChar* units = text.GetCPointer();
  const int32 length = text.GetLength();
  std::u16string result;
  result.reserve(size_t(length));
  std::string run;
  int32 i = 0;
  while (i < length) {
    const bool escape = units[i] == '%' && i + 2 < length && HexValue(units[i + 1]) >= 0 &&
                        HexValue(units[i + 2]) >= 0;
    if (escape) {
      run.push_back(char(HexValue(units[i + 1]) * 16 + HexValue(units[i + 2])));
      i += 3;
      continue;
    }
    if (!run.empty()) {
      AppendEscapedBytes(run, result);
      run.clear();
    }
    result.push_back(units[i]);
    ++i;
  }
  if (!run.empty()) AppendEscapedBytes(run, result);
  text.FromUniString(result.data(), int32(result.size()));
  text.Compose();
}

void VURL::ParseNetLocation(const VString& location, VString* user, VString* password,
                            VString* host, VString* port) {
  VString userInfo;
  VString hostPort(location);
  if (const int32 at = location.FindUniChar('@'); at > 0) {
    location.GetSubString(1, at - 1, userInfo);
    location.GetSubString(at + 1, location.GetLength() - at, hostPort);
  }
  VString userText(userInfo);
  VString passwordText;
  if (const int32 colon = userInfo.FindUniChar(':'); colon > 0) {
    userInfo.GetSubString(1, colon - 1, userText);
    userInfo.GetSubString(colon + 1, userInfo.GetLength() - colon, passwordText);
  }
  VString hostText;
  VString portText;
  if (hostPort.IsEmpty() || hostPort.GetUniChar(1) != '[') {
    const int32 colon = hostPort.FindUniChar(':', hostPort.GetLength(), true);
    if (colon > 0) {
      hostPort.GetSubString(1, colon - 1, hostText);
      hostPort.GetSubString(colon + 1, hostPort.GetLength() - colon, portText);
    } else {
      hostText = hostPort;
    }
  } else if (const int32 close = hostPort.FindUniChar(']'); close > 0) {
    hostPort.GetSubString(2, close - 2, hostText);
    if (const int32 colon = hostPort.FindUniChar(':', close); colon > 0) {
      hostPort.GetSubString(colon + 1, hostPort.GetLength() - colon, portText);
    }
  }
  if (user != nullptr) *user = userText;
  if (password != nullptr) *password = passwordText;
  if (host != nullptr) *host = hostText;
  if (port != nullptr) *port = portText;
}

bool VURL::_ContainsOnlySafeCharacters(const VString& text) {
  const UniChar* units = text.GetCPointer();
  for (int32 i = 0; i < text.GetLength(); ++i) {
    const UniChar c = units[i];
    bool safe = false;
    for (const char* s = kSafeCharacters; *s != 0 && !safe; ++s) safe = c == UniChar(*s);
    if (!safe) return false;
  }
  return true;
}

}  // namespace zeft
