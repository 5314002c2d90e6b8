// What tests see of the driver stand-in: every call that reaches a device, in order (the call
// log), and failures injected into the system calls it provides.
#pragma once

#include "DriverStandIn.h"

#include <vector>

namespace zt40::test {

// The call log; off until enabled.
void setCallLogEnabled(bool enabled);
std::vector<driver::DeviceCall> callLog();
void clearCallLog();

// The next `count` calls of CreateEventA fail with ERROR_NOT_ENOUGH_MEMORY, as when the
// system runs out of resources.
void failEventCreation(int count);
// The next `count` calls of WaitForSingleObject fail with ERROR_INVALID_HANDLE before they
// look at the event.
void failWaits(int count);

} // namespace zt40::test
