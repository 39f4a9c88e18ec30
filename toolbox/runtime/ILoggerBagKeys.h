// ILoggerBagKeys names the attributes of a log record: every record is a
// VValueBag read and written through these typed static keys. A record's
// level is its "level" attribute, 4 ("INFO") when it has none; producers
// leave it out at that level.
#pragma once

#include <string>

#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VString.h"
#include "runtime/EMessageLevel.h"
#include "values/StBagKeyNoDefault.h"
#include "values/StBagKeyWithDefault.h"
#include "values/VUUID.h"

namespace zeft {

// A level is stored as its 32-bit number.
template <>
inline void bag_key::ToStored<EMessageLevel>(const EMessageLevel& from, VValueSingle& to) {
  to.FromLong(int32(from));
}
template <>
inline void bag_key::FromStored<EMessageLevel>(const VValueSingle& from, EMessageLevel& to) {
  to = EMessageLevel(from.GetLong());
}

// UTF-8 text (a payload as it went over the wire) is stored as a string.
template <>
inline void bag_key::ToStored<std::string>(const std::string& from, VValueSingle& to) {
  VString text;
  text.FromBlock(from.data(), from.size(), kCharSetUTF8);
  to.FromString(text);
}
template <>
void bag_key::FromStored<std::string>(const VValueSingle& from, std::string& to);

namespace ILoggerBagKeys {

extern const StBagKeyNoDefault<VString, VString> message;
extern const StBagKeyWithDefault<EMessageLevel, VLong> level;
extern const StBagKeyNoDefault<VString, VString> source;
extern const StBagKeyNoDefault<VString, VString> task_name;
extern const StBagKeyNoDefault<VString, VString> file_name;
extern const StBagKeyNoDefault<VString, VString> stack_crawl;
extern const StBagKeyNoDefault<int32, VLong> line_number;
// A four-character code; 0 stands for none.
extern const StBagKeyNoDefault<uint32, VLong> component_signature;
extern const StBagKeyNoDefault<int32, VLong> elapsed_milliseconds;
extern const StBagKeyNoDefault<int32, VLong> count_bytes_sent;
extern const StBagKeyNoDefault<int32, VLong> count_bytes_received;
extern const StBagKeyNoDefault<VUUID, VUUID> base_context_uuid;
extern const StBagKeyNoDefault<uint64, VLong8> error_code;
extern const StBagKeyNoDefault<int32, VLong> count_bytes_asked;
extern const StBagKeyNoDefault<int64, VLong8> socket;
extern const StBagKeyNoDefault<bool, VBoolean> is_blocking;
extern const StBagKeyNoDefault<bool, VBoolean> is_ssl;
extern const StBagKeyNoDefault<bool, VBoolean> is_select_io;
extern const StBagKeyNoDefault<std::string, VString> payload;
extern const StBagKeyNoDefault<int32, VLong> ms_timeout;
extern const StBagKeyNoDefault<int32, VLong> ms_spent;
extern const StBagKeyNoDefault<int32, VLong> dump_offset;
extern const StBagKeyNoDefault<VString, VString> dump_buffer;
extern const StBagKeyNoDefault<VString, VString> local_addr;
extern const StBagKeyNoDefault<VString, VString> peer_addr;
extern const StBagKeyNoDefault<int32, VLong> local_port;
extern const StBagKeyNoDefault<int32, VLong> peer_port;
extern const StBagKeyNoDefault<int32, VLong> task_id;
extern const StBagKeyNoDefault<bool, VBoolean> exchange_id;
extern const StBagKeyNoDefault<int64, VLong8> debug_context;
extern const StBagKeyNoDefault<VString, VString> jobId;
extern const StBagKeyNoDefault<int32, VLong> jobState;
extern const StBagKeyNoDefault<VString, VString> pipe;
extern const StBagKeyNoDefault<VString, VString> user_id;

}  // namespace ILoggerBagKeys
}  // namespace zeft
