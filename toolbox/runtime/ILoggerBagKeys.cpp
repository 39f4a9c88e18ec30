#include "runtime/ILoggerBagKeys.h"

#include "core/VString.h"

namespace zeft {

template <>
void bag_key::FromStored<std::string>(const VValueSingle& from, std::string& to) {
  VString text;
  from.GetString(text);
  to = to_string(text);
}

namespace ILoggerBagKeys {

// Built at compile time, so they are ready before any task runs.
constinit const StBagKeyNoDefault<VString, VString> message("message");
constinit const StBagKeyWithDefault<EMessageLevel, VLong> level("level", kDefaultMessageLevel);
constinit const StBagKeyNoDefault<VString, VString> source("source");
constinit const StBagKeyNoDefault<VString, VString> task_name("task_name");
constinit const StBagKeyNoDefault<VString, VString> file_name("file_name");
constinit const StBagKeyNoDefault<VString, VString> stack_crawl("stack_crawl");
constinit const StBagKeyNoDefault<int32, VLong> line_number("line_number");
constinit const StBagKeyNoDefault<uint32, VLong> component_signature("component_signature");
constinit const StBagKeyNoDefault<int32, VLong> elapsed_milliseconds("elapsed_milliseconds");
constinit const StBagKeyNoDefault<int32, VLong> count_bytes_sent("count_bytes_sent");
constinit const StBagKeyNoDefault<int32, VLong> count_bytes_received("count_bytes_received");
constinit const StBagKeyNoDefault<VUUID, VUUID> base_context_uuid("base_context_uuid");
constinit const StBagKeyNoDefault<uint64, VLong8> error_code("error_code");
constinit const StBagKeyNoDefault<int32, VLong> count_bytes_asked("count_bytes_asked");
constinit const StBagKeyNoDefault<int64, VLong8> socket("socket");
constinit const StBagKeyNoDefault<bool, VBoolean> is_blocking("is_blocking");
constinit const StBagKeyNoDefault<bool, VBoolean> is_ssl("is_ssl");
constinit const StBagKeyNoDefault<bool, VBoolean> is_select_io("is_select_io");
constinit const StBagKeyNoDefault<std::string, VString> payload("payload");
constinit const StBagKeyNoDefault<int32, VLong> ms_timeout("ms_timeout");
constinit const StBagKeyNoDefault<int32, VLong> ms_spent("ms_spent");
constinit const StBagKeyNoDefault<int32, VLong> dump_offset("dump_offset");
constinit const StBagKeyNoDefault<VString, VString> dump_buffer("dump_buffer");
constinit const StBagKeyNoDefault<VString, VString> local_addr("local_addr");
constinit const StBagKeyNoDefault<VString, VString> peer_addr("peer_addr");
constinit const StBagKeyNoDefault<int32, VLong> local_port("local_port");
constinit const StBagKeyNoDefault<int32, VLong> peer_port("peer_port");
constinit const StBagKeyNoDefault<int32, VLong> task_id("task_id");
constinit const StBagKeyNoDefault<bool, VBoolean> exchange_id("exchange_id");
constinit const StBagKeyNoDefault<int64, VLong8> debug_context("debug_context");
constinit const StBagKeyNoDefault<VString, VString> jobId("jobId");
constinit const StBagKeyNoDefault<int32, VLong> jobState("jobState");
constinit const StBagKeyNoDefault<VString, VString> pipe("pipe");
constinit const StBagKeyNoDefault<VString, VString> user_id("user_id");

}  // namespace ILoggerBagKeys
}  // namespace zeft
