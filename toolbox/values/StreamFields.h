// One fixed-size number read from or written to a stream in the stream's
// byte order. The bag and dictionary stream forms are built from them.
#pragma once

#include "core/VErrorCodes.h"
#include "core/VTypes.h"
#include "files/VStream.h"

namespace zeft {

inline VError PutStreamUInt32(VStream* stream, uint32 value) {
  int32 field = int32(value);
  return stream->PutLongs(&field, 1);
}

inline VError PutStreamUInt16(VStream* stream, uint16 value) {
  int16 field = int16(value);
  return stream->PutWords(&field, 1);
}

// A short read gives the stream's error, or end of data when the stream
// reports none.
inline VError GetStreamUInt32(VStream* stream, uint32& value) {
  int32 field = 0;
  int32 count = 1;
  VError error = stream->GetLongs(&field, &count);
  if (error == VE_OK && count != 1) error = ToolboxError(toolbox_error::kStreamEndOfData);
  value = uint32(field);
  return error;
}

inline VError GetStreamUInt16(VStream* stream, uint16& value) {
  int16 field = 0;
  int32 count = 1;
  VError error = stream->GetWords(&field, &count);
  if (error == VE_OK && count != 1) error = ToolboxError(toolbox_error::kStreamEndOfData);
  value = uint16(field);
  return error;
}

inline VError GetStreamBytes(VStream* stream, void* buffer, size_t count) {
  size_t got = 0;
  VError error = stream->GetData(buffer, count, &got);
  if (error == VE_OK && got != count) error = ToolboxError(toolbox_error::kStreamEndOfData);
  return error;
}

}  // namespace zeft
