#pragma once
// A workspace that hands every call to another, for tests that count or
// change a few of the calls. Neither the change count nor the icon image
// files are passed on: a desktop seen through it is read afresh at every
// poll, and its icons are drawn on the GUI thread.
#include <memory>

#include "platform/workspace.h"

class ForwardingWorkspace : public platform::Workspace {
public:
    explicit ForwardingWorkspace(std::shared_ptr<platform::Workspace> inner) : inner_(std::move(inner)) {}

    std::vector<platform::RunningApplication> runningApplications() override { return inner_->runningApplications(); }
    std::optional<platform::RunningApplication> application(std::int32_t pid) override { return inner_->application(pid); }
    std::optional<platform::RunningApplication> frontmostApplication() override { return inner_->frontmostApplication(); }
    std::int32_t ownProcessID() override { return inner_->ownProcessID(); }
    bool isProcessAlive(std::int32_t pid) override { return inner_->isProcessAlive(pid); }
    bool activate(std::int32_t pid, bool all) override { return inner_->activate(pid, all); }
    bool hide(std::int32_t pid) override { return inner_->hide(pid); }
    bool unhide(std::int32_t pid) override { return inner_->unhide(pid); }
    bool terminate(std::int32_t pid) override { return inner_->terminate(pid); }
    bool forceTerminate(std::int32_t pid) override { return inner_->forceTerminate(pid); }
    void openApplication(const QString& path, std::function<void(platform::OpenResult)> done) override {
        inner_->openApplication(path, std::move(done));
    }
    bool openURL(const QString& url) override { return inner_->openURL(url); }
    bool revealInFileViewer(const QString& path) override { return inner_->revealInFileViewer(path); }
    std::optional<QString> urlForApplication(const QString& id) override { return inner_->urlForApplication(id); }
    std::optional<QImage> iconForApplication(std::int32_t pid) override { return inner_->iconForApplication(pid); }
    QImage iconForFile(const QString& path) override { return inner_->iconForFile(path); }
    QString displayName(const QString& path) override { return inner_->displayName(path); }
    int addObserver(Callback callback) override { return inner_->addObserver(std::move(callback)); }
    void removeObserver(int token) override { inner_->removeObserver(token); }

protected:
    std::shared_ptr<platform::Workspace> inner_;
};
