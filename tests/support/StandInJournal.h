// What tests see of the driver stand-in: every call that reaches a device, in order, and
// failures injected into the system calls it provides.
#pragma once

#include "DriverStandIn.h"

#include <vector>

namespace zt40::driver {

// The journal of calls; off until enabled.
void setJournalEnabled(bool enabled);
std::vector<JournalEntry> journal();
void clearJournal();

// The next `count` calls of CreateEventA fail with ERROR_NOT_ENOUGH_MEMORY, as when the
// system runs out of resources.
void failEventCreation(int count);

} // namespace zt40::driver
