#include "platform/linux/host_backend.h"

#include "platform/linux/host_bundles.h"
#include "platform/linux/plist_backend.h"
#include "platform/linux/process.h"
#include "platform/linux/system_log.h"
#include "platform/linux/threaded_dispatcher.h"
#include "platform/linux/xdg_application_folders.h"

namespace platform::linux_backend {

void fillHostServices(Services& services, const QString& preferencesDirectory) {
    services.dispatcher = std::make_shared<ThreadedDispatcher>();
    services.preferences = std::make_shared<PlistFileBackend>(
        preferencesDirectory.isEmpty() ? PlistFileBackend::defaultDirectory() : preferencesDirectory);
    services.processes = std::make_shared<PosixProcesses>();
    services.log = std::make_shared<StderrLog>();
    services.bundles = std::make_shared<HostBundles>();
    services.applicationFolders = std::make_shared<XdgApplicationFolders>();
}

}  // namespace platform::linux_backend
