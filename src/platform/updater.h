#pragma once
// The update framework: an updater that checks a feed and installs updates.
#include <QString>
#include <functional>
#include <memory>

namespace platform {

// The updater's calls back into the program, on the main thread.
struct UpdaterDelegate {
    std::function<void()> willInstallUpdate;
    std::function<void()> didAbort;            // an update cycle was aborted with an error
    std::function<void()> didFinishUpdateCycle;  // a cycle ended (installed or not)
};

class Updater {
public:
    virtual ~Updater() = default;
    // Starts the updater; false when it cannot run (no framework, bad feed).
    virtual bool start(UpdaterDelegate delegate) = 0;
    // May change from any thread; the observer may be called on any thread.
    virtual bool canCheckForUpdates() = 0;
    virtual void setCanCheckObserver(std::function<void(bool)> observer) = 0;
    virtual void checkForUpdates() = 0;
};

// Absent when the program has no update framework.
std::shared_ptr<Updater> updater();

}  // namespace platform
