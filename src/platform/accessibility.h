#pragma once
// The accessibility interface: elements of other applications, their
// attributes and actions, observers, and the trust (permission) check.
//
// Failure convention: every call returns an Error; success is 0. A read that
// fails leaves the out value untouched.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "platform/geometry.h"

namespace platform::ax {

enum class Error : int {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidElement = -25202,
    cannotComplete = -25204,  // also: the messaging timeout ran out
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notImplemented = -25208,
    apiDisabled = -25211,
    noValue = -25212,
};

// Value handle of one accessibility element. Copies and fresh handles for
// the same element compare equal and hash alike.
class Element {
public:
    Element() = default;
    Element(std::uint64_t identity, std::int32_t pid) : id_(identity), pid_(pid) {}
    bool isValid() const { return id_ != 0; }
    std::uint64_t identity() const { return id_; }
    std::int32_t processID() const { return pid_; }
    std::size_t hash() const { return std::hash<std::uint64_t>{}(id_); }
    friend bool operator==(const Element& a, const Element& b) { return a.id_ == b.id_; }

private:
    std::uint64_t id_ = 0;
    std::int32_t pid_ = 0;
};

struct Url {
    QString path;  // file-system path of a file URL; empty for other URLs
    QString string;
    friend bool operator==(const Url&, const Url&) = default;
};

using ElementList = std::vector<Element>;
using Value = std::variant<std::monostate, bool, std::int64_t, double, QString, Point, Size, Rect, Element,
                           ElementList, Url>;

// Attribute, action and notification names used by the system.
namespace names {
inline const QString windows = QStringLiteral("AXWindows");
inline const QString focusedWindow = QStringLiteral("AXFocusedWindow");
inline const QString mainWindow = QStringLiteral("AXMainWindow");
inline const QString position = QStringLiteral("AXPosition");
inline const QString size = QStringLiteral("AXSize");
inline const QString minimized = QStringLiteral("AXMinimized");
inline const QString fullScreen = QStringLiteral("AXFullScreen");
// Maximised by the window manager itself (its own restore and title bar then
// agree); unsupported where the system has no such state.
inline const QString maximized = QStringLiteral("AXMaximized");
inline const QString title = QStringLiteral("AXTitle");
inline const QString subrole = QStringLiteral("AXSubrole");
inline const QString role = QStringLiteral("AXRole");
inline const QString closeButton = QStringLiteral("AXCloseButton");
inline const QString children = QStringLiteral("AXChildren");
inline const QString statusLabel = QStringLiteral("AXStatusLabel");
inline const QString url = QStringLiteral("AXURL");
inline const QString press = QStringLiteral("AXPress");
inline const QString raise = QStringLiteral("AXRaise");
inline const QString standardWindow = QStringLiteral("AXStandardWindow");
// A window that asks for the user's attention (on X11 its urgency hint or the
// manager's attention state); unsupported where windows cannot ask.
inline const QString demandsAttention = QStringLiteral("AXDemandsAttention");
// Notifications
inline const QString windowCreated = QStringLiteral("AXWindowCreated");
inline const QString uiElementDestroyed = QStringLiteral("AXUIElementDestroyed");
inline const QString windowMoved = QStringLiteral("AXWindowMoved");
inline const QString windowResized = QStringLiteral("AXWindowResized");
inline const QString windowMiniaturized = QStringLiteral("AXWindowMiniaturized");
inline const QString windowDeminiaturized = QStringLiteral("AXWindowDeminiaturized");
inline const QString focusedWindowChanged = QStringLiteral("AXFocusedWindowChanged");
inline const QString mainWindowChanged = QStringLiteral("AXMainWindowChanged");
inline const QString titleChanged = QStringLiteral("AXTitleChanged");
inline const QString applicationActivated = QStringLiteral("AXApplicationActivated");
inline const QString applicationDeactivated = QStringLiteral("AXApplicationDeactivated");
inline const QString applicationHidden = QStringLiteral("AXApplicationHidden");
inline const QString applicationShown = QStringLiteral("AXApplicationShown");
}  // namespace names

// Callback of an observer: the element the notification is about and its name.
// Always delivered on the main thread.
using ObserverCallback = std::function<void(const Element& element, const QString& notification)>;

class Observer {
public:
    virtual ~Observer() = default;
    virtual std::int32_t processID() const = 0;
    virtual Error addNotification(const Element& element, const QString& notification) = 0;
    virtual Error removeNotification(const Element& element, const QString& notification) = 0;
    // Stops delivery; afterwards the callback is never called again.
    virtual void invalidate() = 0;
};

class Accessibility {
public:
    virtual ~Accessibility() = default;
    virtual bool isProcessTrusted(bool prompt) = 0;
    virtual Element applicationElement(std::int32_t pid) = 0;
    virtual Error copyAttribute(const Element& element, const QString& attribute, Value& out) = 0;
    virtual Error setAttribute(const Element& element, const QString& attribute, const Value& value) = 0;
    virtual Error performAction(const Element& element, const QString& action) = 0;
    virtual Error setMessagingTimeout(const Element& element, double seconds) = 0;
    virtual Error pid(const Element& element, std::int32_t& out) = 0;
    virtual std::shared_ptr<Observer> createObserver(std::int32_t pid, ObserverCallback callback) = 0;
    // A number that moves whenever anything a read could return may have
    // changed (elements, attributes, focus). While it stays the same, a poll
    // can take its last answer again. Absent when the backend cannot tell.
    virtual std::optional<std::uint64_t> changeCount() { return std::nullopt; }
};

// Convenience accessors on the installed accessibility backend.
Accessibility& api();

// Typed views of a value; absent when the value holds another type.
template <typename T>
std::optional<T> as(const Value& v) {
    if (auto p = std::get_if<T>(&v)) return *p;
    return std::nullopt;
}

}  // namespace platform::ax

template <>
struct std::hash<platform::ax::Element> {
    std::size_t operator()(const platform::ax::Element& e) const noexcept { return e.hash(); }
};
