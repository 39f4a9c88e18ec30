#include "files/IFileSystemObject.h"

#include <cerrno>
#include <string>

#include "core/VFromUnicodeConverter.h"
#include "core/VTextConverters.h"
#include "files/mac/XMacFile.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "runtime/StErrorContextInstaller.h"
#include "runtime/VErrorThrow.h"

namespace zeft {

namespace {

bool IsReservedFileCharacter(UniChar c) {
  switch (c) {
    case '"':
    case '%':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
      return true;
    default:
      return c < 0x20;
  }
}

}  // namespace

void IFileSystemObject::GetName(VString& name) const { GetPath().GetName(name); }

void IFileSystemObject::GetExtension(VString& extension) const {
  GetPath().GetExtension(extension);
}

bool IFileSystemObject::MatchExtension(const VString& extension) const {
  return GetPath().MatchExtension(extension, false);
}

void IFile::GetNameWithoutExtension(VString& name) const { GetPath().GetFileName(name, false); }

void IFolder::GetNameWithoutExtension(VString& name) const { GetPath().GetFolderName(name, false); }

bool IFolder::IsSameFolder(const IFolder* other) const {
  return other != nullptr && GetPath().GetPath().EqualToStringRaw(other->GetPath().GetPath());
}

VError IFile::GetContentAsString(VString& text, CharSet charSet,
                                 ECarriageReturnMode lineEnds) const {
  StErrorContextInstaller errors(true, false);
  VMemoryBuffer<> content;
  if (GetContent(content) != VE_OK) {
    text.Clear();
  } else {
    text.FromBlockWithOptionalBOM(content.GetDataPtr(), content.GetDataSize(), charSet);
    text.ConvertCarriageReturns(lineEnds);
  }
  return errors.GetLastError();
}

VError IFile::SetContentAsString(const VString& text, CharSet charSet, ECarriageReturnMode lineEnds,
                                 bool withBOM) const {
  StErrorContextInstaller errors(true, false);
  VString converted(text);
  converted.ConvertCarriageReturns(lineEnds);
  VFromUnicodeConverter* converter = VTextConverters::Get()->RetainFromUnicodeConverter(charSet);
  if (converter == nullptr || !converter->IsValid()) {
    _ThrowError(ToolboxError(toolbox_error::kStreamNoTextConverter));
  } else {
    VMemoryBuffer<> bytes;
    size_t bomSize = 0;
    const uint8* bom = VTextConverters::GetBOMForCharSet(charSet, &bomSize);
    const bool withMark = withBOM && bomSize > 0 && !converted.IsEmpty();
    if (withMark) bytes.SetData(bom, bomSize);
    // A failed conversion (it raises its own error) writes nothing.
    if (converter->ConvertToBuffer(converted.GetCPointer(), converted.GetLength(), bytes, 0)) {
      SetContent(bytes.GetDataPtr(), bytes.GetDataSize());
    }
  }
  if (converter != nullptr) converter->Release();
  return errors.GetLastError();
}

VError IFile::ReplaceContentAsString(const VString& text, CharSet charSet,
                                     ECarriageReturnMode lineEnds, bool withBOM) const {
  VString path;
  GetPlatformPath(path, kFilePathStylePosix);
  const std::string target = to_string(path);
  if (target.empty() || !XMacFile::IsReplaceable(target.c_str()) || !IsWritable())
    return SetContentAsString(text, charSet, lineEnds, withBOM);
  VRefPtr<IFolder> folder(RetainParentFolder(false), kAdoptRef);
  std::string replacement;
  if (folder.Get() == nullptr || !XMacFile::CreateReplacement(target.c_str(), replacement))
    return SetContentAsString(text, charSet, lineEnds, withBOM);
  const size_t leaf = replacement.rfind('/') + 1;
  const VString name(replacement.data() + leaf, replacement.size() - leaf, kCharSetUTF8);
  VRefPtr<IFile> file(folder->_RetainRelativeIFile(name, kFilePathStylePosix), kAdoptRef);
  VError error = file.Get() != nullptr ? file->SetContentAsString(text, charSet, lineEnds, withBOM)
                                       : ThrowPosixError(ENOENT, &path);
  if (error != VE_OK) {
    XMacFile::DiscardReplacement(replacement);
  } else if (const int number = XMacFile::CommitReplacement(replacement, target.c_str());
             number != 0) {
    error = ThrowPosixError(number, &path);
  }
  return error;
}

VError IFile::GetContentAsJSON(VJSONValue& value, CharSet charSet) const {
  VString text;
  const VError error = GetContentAsString(text, charSet, kCRModeNone);
  if (error != VE_OK) return error;
  VJSONImporter importer(text, VJSONImporter::kNonAmbiguousDates);
  return importer.Parse(value);
}

VError IFile::SetContentAsJSON(const VJSONValue& value, CharSet charSet,
                               ECarriageReturnMode lineEnds, bool withBOM) const {
  VString text;
  const VError error = value.Stringify(text, 1);
  if (error != VE_OK) return error;
  return SetContentAsString(text, charSet, lineEnds, withBOM);
}

VString EncodeReservedFileCharacters(const VString& text) {
  const UniChar* units = text.GetCPointer();
  const int32 length = text.GetLength();
  int32 reserved = 0;
  for (int32 i = 0; i < length; ++i) reserved += IsReservedFileCharacter(units[i]) ? 1 : 0;
  if (reserved == 0) return text;
  static constexpr char kHex[] = "0123456789ABCDEF";
  VString encoded;
  encoded.EnsureSize(length + 2 * reserved);
  for (int32 i = 0; i < length; ++i) {
    const UniChar c = units[i];
    if (IsReservedFileCharacter(c)) {
      encoded.AppendUniChar('%');
      encoded.AppendUniChar(UniChar(kHex[c >> 4]));
      encoded.AppendUniChar(UniChar(kHex[c & 0xF]));
    } else {
      encoded.AppendUniChar(c);
    }
  }
  return encoded;
}

VString DecodeReservedFileCharacters(const VString& text) {
  if (text.FindUniChar('%') == 0) return text;
  const UniChar* units = text.GetCPointer();
  const int32 length = text.GetLength();
  VString decoded;
  decoded.EnsureSize(length);
  for (int32 i = 0; i < length; ++i) {
    if (units[i] == '%' && i + 2 < length) {
      VString digits;
      digits.FromUniString(units + i + 1, 2);
      decoded.AppendUniChar(UniChar(digits.GetHexLong() & 0xFFFF));
      i += 2;
    } else {
      decoded.AppendUniChar(units[i]);
    }
  }
  return decoded;
}

}  // namespace zeft
