#include "platform/x11/x11_processes.h"

#include <QFileInfo>

#include "platform/log.h"

namespace platform::x11 {

DesktopProcesses::DesktopProcesses(std::shared_ptr<Processes> inner) : inner_(std::move(inner)) {}

bool DesktopProcesses::isDockRestart(const QString& executable, const QStringList& arguments) {
    return platform::isDockRestart(executable, arguments);
}

ProcessResult DesktopProcesses::run(const QString& executable, const QStringList& arguments) {
    if (isDockRestart(executable, arguments)) {
        platform::log(QStringLiteral("[Quorvel] 此桌面没有 Dock 进程：Dock 偏好已写入文件，无需重启 Dock。"));
        ProcessResult done;
        done.launched = true;
        done.exitStatus = 0;
        return done;
    }
    return inner_->run(executable, arguments);
}

ProcessResult DesktopProcesses::launch(const QString& executable, const QStringList& arguments,
                                       ProcessExited exited) {
    return inner_->launch(executable, arguments, std::move(exited));
}

std::function<int()> DesktopProcesses::loadFunction(const QString& libraryPath, const QString& symbol) {
    return inner_->loadFunction(libraryPath, symbol);
}

void DesktopProcesses::exitImmediately(int status) { inner_->exitImmediately(status); }

}  // namespace platform::x11
