#pragma once
// Child processes started directly (posix_spawn, never a shell) and
// functions loaded from shared libraries (dlopen).
#include "platform/process.h"

namespace platform::linux_backend {

class PosixProcesses : public Processes {
public:
    // An executable without a slash is looked up in PATH.
    ProcessResult run(const QString& executable, const QStringList& arguments) override;
    // A thread per started child waits for its end, so the child is reaped
    // however long it runs.
    ProcessResult launch(const QString& executable, const QStringList& arguments, ProcessExited exited) override;
    std::function<int()> loadFunction(const QString& libraryPath, const QString& symbol) override;
};

}  // namespace platform::linux_backend
