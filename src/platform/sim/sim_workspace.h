#pragma once
// The workspace of the simulated desktop: running applications in launch
// order, activation and hiding, termination, launching with scripted
// results, generated icons, and notifications on the main queue.
#include <memory>

#include "platform/sim/sim_core.h"
#include "platform/workspace.h"

namespace platform::sim {

class SimWorkspace : public Workspace {
public:
    explicit SimWorkspace(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> application(std::int32_t pid) override;
    std::optional<RunningApplication> frontmostApplication() override;
    std::int32_t ownProcessID() override;
    bool isProcessAlive(std::int32_t pid) override;
    bool activate(std::int32_t pid, bool allWindows) override;
    bool hide(std::int32_t pid) override;
    bool unhide(std::int32_t pid) override;
    bool terminate(std::int32_t pid) override;
    bool forceTerminate(std::int32_t pid) override;
    void openApplication(const QString& path, std::function<void(OpenResult)> completion) override;
    bool openURL(const QString& url) override;
    bool revealInFileViewer(const QString& path) override;
    std::optional<QString> urlForApplication(const QString& bundleID) override;
    std::optional<QImage> iconForApplication(std::int32_t pid) override;
    QImage iconForFile(const QString& path) override;
    QString displayName(const QString& path) override;
    int addObserver(Callback callback) override;
    void removeObserver(int token) override;
    std::optional<std::uint64_t> changeCount() override { return core_->changes.load(std::memory_order_acquire); }

private:
    std::shared_ptr<Core> core_;
};

}  // namespace platform::sim
