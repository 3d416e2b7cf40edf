#pragma once
// Child processes on the live desktop. A Linux desktop has no Dock process:
// its preferences are an ordinary file that nothing reloads, so the command
// that would restart the Dock ("killall Dock") is never run here. Run as
// root it would signal any process that happens to be called Dock.
#include <memory>

#include "platform/process.h"

namespace platform::x11 {

class DesktopProcesses : public Processes {
public:
    explicit DesktopProcesses(std::shared_ptr<Processes> inner);
    // "/usr/bin/killall Dock" is answered as done, with one log line saying
    // that the preferences were written and no Dock exists to reload them;
    // everything else runs as usual.
    ProcessResult run(const QString& executable, const QStringList& arguments) override;
    ProcessResult launch(const QString& executable, const QStringList& arguments, ProcessExited exited) override;
    std::function<int()> loadFunction(const QString& libraryPath, const QString& symbol) override;
    void exitImmediately(int status) override;

    static bool isDockRestart(const QString& executable, const QStringList& arguments);

private:
    std::shared_ptr<Processes> inner_;
};

}  // namespace platform::x11
