// ENotificationResponse is the button a user pressed in an alert of
// VSystem::DisplayNotification.
#pragma once

#include "core/VTypes.h"

namespace zeft {

enum ENotificationResponse : int32 {
  ERN_None = 0,  // the answer could not be read
  ERN_OK = 1,
  ERN_Cancel = 2,
  ERN_Yes = 3,
  ERN_No = 4,
  ERN_Abort = 5,
  ERN_Retry = 6,
  ERN_Ignore = 7,
  ERN_Dismissed = 8,  // the alert ended without any button being pressed
};

// Flags of DisplayNotification: the button set in bits 0-3, the default
// button of sets 1, 2 and 4 in bits 4-5, the caution level in bit 9.
enum : uint32 {
  EDN_OK = 0,
  EDN_OK_Cancel = 1,
  EDN_Yes_No = 2,
  EDN_Yes_No_Cancel = 4,
  EDN_Abort_Retry_Ignore = 5,
  EDN_ButtonSetMask = 0xF,
  EDN_Default1 = 0x10,
  EDN_Default2 = 0x20,
  EDN_StyleCaution = 0x200,
};

}  // namespace zeft
