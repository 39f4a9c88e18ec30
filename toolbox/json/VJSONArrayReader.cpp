#include "json/VJSONArrayReader.h"

#include "json/VJSONImporter.h"
#include "runtime/StErrorContextInstaller.h"

namespace zeft {

VJSONArrayReader::VJSONArrayReader(const VString& text) { _Parse(text); }

void VJSONArrayReader::FromJSONString(const VString& text) {
  fError = VE_OK;
  fValues.clear();
  fCount = 0;
  _Parse(text);
}

void VJSONArrayReader::_Parse(const VString& text) {
  const VError malformed = ToolboxError(json_error::kMalformed);
  // The error is kept here, never raised.
  StErrorContextInstaller silent(false, true);
  fError = VE_OK;
  if (text.IsNull() || text.IsEmpty()) {
    fError = malformed;
  } else {
    VJSONImporter importer(text, VJSONImporter::kSilentInvalidToken);
    VString word;
    bool quoted = false;
    VError error = VE_OK;
    VJSONImporter::JsonToken token;
    do {
      token = importer.GetNextJSONToken(word, &quoted, &error);
    } while (error == VE_OK && token != VJSONImporter::jsonNone &&
             token != VJSONImporter::jsonBeginArray);
    fError = token == VJSONImporter::jsonBeginArray ? VE_OK : malformed;
    while (fError == VE_OK) {
      token = importer.GetNextJSONToken(word, &quoted, &error);
      if (error != VE_OK || token == VJSONImporter::jsonNone) {
        fError = malformed;
      } else if (token == VJSONImporter::jsonEndArray) {
        break;
      } else if (token == VJSONImporter::jsonString) {
        fValues.push_back(word);
      } else if (token == VJSONImporter::jsonBeginArray) {
        for (int32 depth = 1; depth > 0 && fError == VE_OK;) {
          token = importer.GetNextJSONToken(&error);
          if (error != VE_OK || token == VJSONImporter::jsonNone) fError = malformed;
          if (token == VJSONImporter::jsonBeginArray) ++depth;
          if (token == VJSONImporter::jsonEndArray) --depth;
        }
      }
    }
  }
  if (fError != VE_OK) fValues.clear();
  fCount = int32(fValues.size());
}

int32 VJSONArrayReader::GetCountOfElements(VError* error) const {
  if (error != nullptr) *error = fError;
  return fCount;
}

template <class T, class Convert>
VError VJSONArrayReader::_ToArray(T* out, Convert convert) const {
  if (out == nullptr || fError != VE_OK) return fError;
  for (int32 i = 0; i < fCount; ++i) out[i] = convert(fValues[size_t(i)]);
  return fError;
}

VError VJSONArrayReader::ToArrayShort(int16* out) const {
  return _ToArray(out, [](const VString& text) { return text.GetWord(); });
}

VError VJSONArrayReader::ToArrayLong(int32* out) const {
  return _ToArray(out, [](const VString& text) { return text.GetLong(); });
}

VError VJSONArrayReader::ToArrayReal(double* out) const {
  return _ToArray(out, [](const VString& text) { return text.GetReal(); });
}

VError VJSONArrayReader::ToArrayBool(char* out) const {
  static const VString kTrue("true");
  return _ToArray(out, [](const VString& text) { return char(text.EqualToString(kTrue) ? 1 : 0); });
}

VError VJSONArrayReader::ToArrayString(std::vector<VString>& out, bool append) const {
  if (!append) {
    if (&out == &fValues) return fError;
    out.clear();
  }
  if (fError == VE_OK && &out != &fValues) out.insert(out.end(), fValues.begin(), fValues.end());
  return fError;
}

}  // namespace zeft
