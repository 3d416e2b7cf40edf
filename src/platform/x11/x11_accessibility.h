#pragma once
// Accessibility elements of a live X11 desktop: an application element per
// process id, a window element per managed client window, and a close-button
// element per closable window. Reads come from the connection's cache of the
// window's properties and geometry. Frame and state writes are requests to
// the window manager that wait (bounded) for its answer, so a write followed
// by a read sees what the manager made of it; raising (activation) only sends
// its request, and the answer arrives as events.
#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/accessibility.h"
#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// Element identities: the kind in the top byte, the window or process id below.
namespace element_ids {
enum class Kind : std::uint64_t { none = 0, window = 1, application = 2, closeButton = 3 };
constexpr std::uint64_t make(Kind kind, std::uint32_t value) { return (std::uint64_t(kind) << 56) | value; }
constexpr Kind kindOf(std::uint64_t identity) { return Kind(identity >> 56); }
constexpr std::uint32_t valueOf(std::uint64_t identity) { return std::uint32_t(identity & 0xffffffffu); }
}  // namespace element_ids

class X11Observer;

class X11Accessibility : public ax::Accessibility, public EventListener {
public:
    explicit X11Accessibility(std::shared_ptr<Connection> connection);
    ~X11Accessibility() override;

    bool isProcessTrusted(bool prompt) override;
    ax::Element applicationElement(std::int32_t pid) override;
    ax::Error copyAttribute(const ax::Element& element, const QString& attribute, ax::Value& out) override;
    ax::Error setAttribute(const ax::Element& element, const QString& attribute, const ax::Value& value) override;
    ax::Error performAction(const ax::Element& element, const QString& action) override;
    ax::Error setMessagingTimeout(const ax::Element& element, double seconds) override;
    ax::Error pid(const ax::Element& element, std::int32_t& out) override;
    std::shared_ptr<ax::Observer> createObserver(std::int32_t pid, ax::ObserverCallback callback) override;
    std::optional<std::uint64_t> changeCount() override { return conn_->changeCount(); }

    ax::Element windowElement(xcb_window_t window, std::int32_t pid) const;
    // Application-level notifications that no window event carries (hide, unhide).
    void postApplicationNotification(std::int32_t pid, const QString& notification);

    // The client windows of a process on the current desktop, front to back.
    std::vector<WindowInfo> windowsOf(std::int32_t pid);

    // Event thread.
    void clientsChanged(const std::vector<xcb_window_t>& added, const std::vector<xcb_window_t>& removed) override;
    void xEvent(const xcb_generic_event_t* event) override;

    // How long a write waits for the window manager when no messaging
    // timeout was set on the element.
    static constexpr double defaultWriteWait = 0.5;
    // How long a restore asked by activation gets before the map request of
    // the fallback goes too.
    static constexpr double restoreByActivationSeconds = 0.25;

    // Restores a minimised window: by activation as a pager does, else with
    // a map request for a manager that ignores that. Blocks (bounded by
    // `wait`); true once the window is no longer hidden.
    bool restoreMinimized(xcb_window_t window, double wait);

private:
    struct Seen {
        std::int32_t pid = 0;
        Rect clientArea;
        bool hidden = false;
        bool fullScreen = false;
    };
    ax::Error readWindow(xcb_window_t window, WindowInfo& info);
    ax::Error moveResize(xcb_window_t window, std::optional<Point> position, std::optional<Size> size, double wait);
    void settle(xcb_window_t window, std::uint64_t before, std::optional<Point> position, std::optional<Size> size,
                double wait);
    ax::Error setMinimized(xcb_window_t window, bool minimized, double wait);
    ax::Error setFullScreen(xcb_window_t window, bool fullScreen, double wait);
    ax::Error setMaximized(xcb_window_t window, bool maximized, double wait);
    ax::Error raise(xcb_window_t window, double wait);
    double waitFor(std::uint64_t identity) const;
    bool isClosable(const WindowInfo& info) const;
    QString subroleOf(const WindowInfo& info) const;
    void remember(const WindowInfo& info);
    // What the events tell is measured against the windows as first read,
    // which waits for the first observer.
    void readExistingWindows();
    void deliver(std::int32_t pid, const ax::Element& element, const QString& notification);

    std::shared_ptr<Connection> conn_;
    FirstRead firstRead_;
    mutable std::mutex mutex_;
    std::map<std::uint64_t, double> timeouts_;
    std::map<xcb_window_t, Seen> seen_;
    xcb_window_t lastActive_ = XCB_WINDOW_NONE;
    std::vector<std::weak_ptr<X11Observer>> observers_;
};

}  // namespace platform::x11
