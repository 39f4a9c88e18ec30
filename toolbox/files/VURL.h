// VURL is the toolbox's URL value: a URL text with the positions of its six
// parts (scheme://network-location/path;parameters?query#fragment), the
// percent-encoded and plain forms, and "file" URLs of paths. It also
// carries the conversions between the three path styles the toolbox meets:
// POSIX ('/'), the native ':' form of VFilePath, and Windows ('\').
#pragma once

#include "core/VObject.h"
#include "core/VString.h"

namespace zeft {

class VFilePath;
class VFolder;

// The path styles of the conversions.
enum EURLPathStyle : int32 {
  kURLPathStylePosix = 0,
  kURLPathStyleHFS = 1,  // the native ':' form
  kURLPathStyleWindows = 2,
};

enum EURLParts : int32 {
  kURLPartScheme = 0,
  kURLPartNetworkLocation = 1,
  kURLPartPath = 2,
  kURLPartParameters = 3,
  kURLPartQuery = 4,
  kURLPartFragment = 5,
};

// A part of the URL text: its 1-based start and its length (0: absent).
struct URLPart {
  int32 fStart = 0;
  int32 fLength = 0;
};

class VURL : public VObject {
 public:
  VURL() = default;
  VURL(const VURL& other) = default;
  VURL& operator=(const VURL& other) = default;
  VURL(const VString& url, bool encoded);
  VURL(const VString& path, EURLPathStyle style, const VString& base);
  explicit VURL(const VFilePath& path);
  // A relative path in `style` below the folder.
  VURL(const VFolder& folder, const VString& relativePath, EURLPathStyle style);

  // Setting. Each returns the conform flag: a scheme, "://", a network
  // location and a '/' before the path were found (or the text is empty).
  void FromURL(const VURL& other);
  // An encoded text has its parts decoded; it is kept as given when it
  // holds only safe characters.
  bool FromString(const VString& url, bool encoded);
  // A text without "://" is put after the base and a '/'.
  bool FromString(const VString& url, const VString& base, bool encoded);
  // A "file" URL of the path's POSIX text, not encoded.
  bool FromFilePath(const VFilePath& path);
  // The path text, turned into POSIX, after the base.
  bool FromFilePath(const VString& path, EURLPathStyle style, const VString& base);
  // The file URL of the relative path in `style` below the folder.
  bool FromRelativePath(const VFolder& folder, const VString& relativePath, EURLPathStyle style);
  void Clear();
  bool _Parse(bool pathOnly);
  bool IsConform() const { return fConform; }

  // Reading. A true `encoded` percent-encodes the result (with the path
  // set unless said otherwise).
  void GetAbsoluteURL(VString& url, bool encoded) const;
  void _GetAbsoluteURL(VString& url) const { url = fURL; }
  void GetRelativeURL(VString& url, bool encoded) const;
  void GetScheme(VString& scheme) const;
  bool IsScheme(const VString& scheme) const;
  // Encoded with the network-location set.
  void GetNetworkLocation(VString& location, bool encoded) const;
  void GetHostName(VString& host, bool encoded) const;
  void GetPortNumber(VString& port, bool encoded) const;
  void GetUserName(VString& user, bool encoded) const;
  void GetPassword(VString& password, bool encoded) const;
  // The port, 0 when absent, -1 when above 65535 or holding a space.
  int32 GetPortNumber() const;
  // The path part (without its leading '/'), in the style asked for.
  void GetPath(VString& path, EURLPathStyle style, bool encoded) const;
  void GetRelativePath(VString& path, EURLPathStyle style, bool encoded) const;
  void _GetRelativePath(VString& path) const;
  void GetParameters(VString& parameters, bool encoded) const;
  void GetQuery(VString& query, bool encoded) const;
  void GetFragment(VString& fragment, bool encoded) const;
  // Everything after the path, delimiters included.
  void GetResourceSpecifier(VString& specifier, bool encoded) const;
  // The last component of the encoded path, without a final '/'.
  void GetLastPathComponent(VString& component, bool encoded) const;
  // The path of a "file" URL (or of one without scheme); false otherwise.
  bool GetFilePath(VFilePath& path) const;
  void _GetPart(VString& text, EURLParts part) const;
  // The path holds no '/' but maybe a final one.
  bool IsRoot() const;

  // Changing a part (decoded first when `encoded`); nothing changes on a
  // URL that is not conform.
  void SetScheme(const VString& scheme);
  void SetNetWorkLocation(const VString& location, bool encoded);
  void SetRelativePath(const VString& path, EURLPathStyle style, bool encoded);
  void SetParameters(const VString& parameters, bool encoded);
  void SetQuery(const VString& query, bool encoded);
  void SetFragment(const VString& fragment, bool encoded);
  bool ToParent();
  // A new URL of the parent (the caller releases it with delete), or null.
  VURL* RetainParent() const;
  bool ToSubFolder(const VString& name);
  void _RemoveLastPathComponent();

  // Percent-encoding of the UTF-8 bytes in the unsafe set chosen (the path
  // set, else the network-location set without '[' and ']'). With
  // `decompose` the text is first put in the decomposed form of the
  // current task's settings (VString::Decompose).
  static void Encode(VString& text, bool keepColon, bool decompose, bool pathSet,
                     bool keepBackslashU);
  // '%' and two hexadecimal digits give a byte; a run of bytes reads as
  // UTF-8, a byte that is no part of a UTF-8 character as ISO-8859-1; a '%'
  // without two hexadecimal digits stays as it is. The result, or a text
  // without '%', is put in the composed form of the current task's
  // settings (VString::Compose). Those settings keep both forms as they
  // are, so file names, which the file system compares exactly, come back
  // with the bytes they were given.
  static void Decode(VString& text);
  static void ParseNetLocation(const VString& location, VString* user, VString* password,
                               VString* host, VString* port);
  static bool _ContainsOnlySafeCharacters(const VString& text);

  // Path-style conversions, in place. POSIX to ':' of a text beginning with
  // '/' is a full conversion through the mounted volumes, falling back to
  // the relative one; ':' to POSIX is full unless `relative`. Pairs other
  // than POSIX <-> ':' and POSIX <-> Windows leave the text unchanged.
  static void Convert(VString& path, EURLPathStyle from, EURLPathStyle to, bool relative);
  static void HFS_to_POSIX(VString& path, bool relative);
  static void POSIX_to_HFS(VString& path);
  static void WIN_to_POSIX(VString& path);
  static void POSIX_to_WIN(VString& path);

 private:
  static bool _BuildURLArray(const VString& url, bool pathOnly, URLPart* parts);
  // The URL rebuilt from `parts` of the current text: `replaced` (when not
  // null) stands for part `which`; each part encoded when asked.
  void _Rebuild(const URLPart* parts, const VString* replaced, EURLParts which, bool encoded,
                VString& url) const;
  void _SetPart(const VString& text, EURLParts part);
  void _PartText(const URLPart* parts, EURLParts part, VString& text) const;
  void _DecodeParts();
  void _GetNetLocationPiece(VString& piece, int32 which, bool encoded) const;

  URLPart fParts[6];
  VString fURL;
  VString fEncoded;
  bool fConform = false;
};

}  // namespace zeft
