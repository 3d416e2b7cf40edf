#pragma once
// The parts of the platform that are real on this machine.
#include "platform/platform.h"

namespace platform::linux_backend {

// Fills the dispatcher (threads and Qt's event loop), the preferences
// (property-list files in `preferencesDirectory`, or the default folder when
// empty), child processes, the system log (standard error), the bundles and
// the installed applications (the XDG desktop entries).
// Other members are left as they are.
void fillHostServices(Services& services, const QString& preferencesDirectory = {});

}  // namespace platform::linux_backend
