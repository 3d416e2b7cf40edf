#pragma once
// Whether a compositing manager blends the desktop's windows. Without one a
// translucent window's transparent pixels show whatever the X server leaves
// there (black, or the window's own colour darkened by its alpha), so our
// panels draw opaque while it is off.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

class Compositor {
public:
    virtual ~Compositor() = default;
    // True while a compositing manager runs for our screen.
    virtual bool isActive() = 0;
    // Called on the main thread after `isActive` changed.
    virtual int addObserver(std::function<void()> callback) = 0;
    virtual void removeObserver(int token) = 0;
};

// A compositor whose state is set by hand: the simulated desktop's, and a
// stand-in where the backend cannot tell (then it stays active).
class ManualCompositor : public Compositor {
public:
    explicit ManualCompositor(bool active = true) : active_(active) {}
    bool isActive() override { return active_; }
    // Main thread only; observers run when the state changes.
    void setActive(bool active);
    int addObserver(std::function<void()> callback) override;
    void removeObserver(int token) override;

private:
    bool active_;
    int nextToken_ = 1;
    std::vector<std::pair<int, std::function<void()>>> observers_;
};

// The installed backend's compositor state; true when no backend is
// installed or it has no compositor to ask (windows are then drawn as the
// designs intend).
bool compositingActive();
// The installed backend's compositor, or null. Observers hold it weakly and
// remove themselves from that same object.
std::shared_ptr<Compositor> installedCompositor();

// Runs a callback (main thread) each time the installed compositor starts or
// stops, for as long as it lives; a backend without a compositor never calls.
// The callback must not outlive what it captures: views hold one as a member.
class CompositorObservation {
public:
    explicit CompositorObservation(std::function<void()> callback);
    ~CompositorObservation();
    CompositorObservation(const CompositorObservation&) = delete;
    CompositorObservation& operator=(const CompositorObservation&) = delete;

private:
    std::weak_ptr<Compositor> compositor_;
    int token_ = 0;
};

}  // namespace platform
