#include "windows/ax_element.h"

#include <cmath>

namespace AXElement {

namespace ax = platform::ax;
namespace names = platform::ax::names;

namespace {

std::optional<ax::Value> read(const Element& element, const QString& name) {
    ax::Value value;
    if (ax::api().copyAttribute(element, name, value) != ax::Error::success) return std::nullopt;
    return value;
}

bool finiteInRange(double v) { return std::isfinite(v) && std::fabs(v) <= maxCoordinate; }

bool writable(const ax::Value& v) {
    if (auto p = std::get_if<platform::Point>(&v)) return finiteInRange(p->x) && finiteInRange(p->y);
    if (auto s = std::get_if<platform::Size>(&v)) return finiteInRange(s->width) && finiteInRange(s->height);
    return true;
}

// A value that cannot be represented counts as a failed write.
bool write(const Element& element, const QString& name, const ax::Value& value) {
    if (!writable(value)) return false;
    return ax::api().setAttribute(element, name, value) == ax::Error::success;
}

}  // namespace

Element application(std::int32_t pid) {
    Element app = ax::api().applicationElement(pid);
    ax::api().setMessagingTimeout(app, messagingTimeout);
    return app;
}

std::vector<Element> windows(const Element& app) {
    auto value = read(app, names::windows);
    if (!value) return {};
    auto list = ax::as<ax::ElementList>(*value);
    if (!list) return {};
    for (const auto& w : *list) ax::api().setMessagingTimeout(w, messagingTimeout);
    return *list;
}

std::optional<Element> focusedWindow(const Element& app) {
    auto value = read(app, names::focusedWindow);
    if (!value) return std::nullopt;
    auto element = ax::as<Element>(*value);
    if (!element) return std::nullopt;
    ax::api().setMessagingTimeout(*element, messagingTimeout);
    return element;
}

std::optional<platform::Rect> frame(const Element& window) {
    auto pos = read(window, names::position);
    if (!pos) return std::nullopt;
    auto size = read(window, names::size);
    if (!size) return std::nullopt;
    auto p = ax::as<platform::Point>(*pos);
    auto s = ax::as<platform::Size>(*size);
    if (!p || !s) return std::nullopt;
    if (!finiteInRange(p->x) || !finiteInRange(p->y) || !finiteInRange(s->width) || !finiteInRange(s->height))
        return std::nullopt;
    return platform::Rect(*p, *s);
}

static bool boolAttribute(const Element& element, const QString& name) {
    auto value = read(element, name);
    if (!value) return false;
    return ax::as<bool>(*value).value_or(false);
}

bool isMinimized(const Element& window) { return boolAttribute(window, names::minimized); }
bool isFullScreen(const Element& window) { return boolAttribute(window, names::fullScreen); }
bool demandsAttention(const Element& window) { return boolAttribute(window, names::demandsAttention); }

std::optional<QString> stringAttribute(const Element& element, const QString& name) {
    auto value = read(element, name);
    if (!value) return std::nullopt;
    auto text = ax::as<QString>(*value);
    if (!text) return std::nullopt;
    return text->normalized(QString::NormalizationForm_C);
}

std::optional<QString> title(const Element& window) { return stringAttribute(window, names::title); }
std::optional<QString> subrole(const Element& window) { return stringAttribute(window, names::subrole); }

static std::optional<Element> closeButton(const Element& window) {
    auto value = read(window, names::closeButton);
    if (!value) return std::nullopt;
    return ax::as<Element>(*value);
}

bool hasCloseButton(const Element& window) { return closeButton(window).has_value(); }

bool pressCloseButton(const Element& window) {
    auto button = closeButton(window);
    if (!button) return false;
    return ax::api().performAction(*button, names::press) == ax::Error::success;
}

bool setFrame(const Element& window, const platform::Rect& rect) {
    const bool sized = write(window, names::size, rect.size);
    const bool moved = write(window, names::position, rect.origin);
    return sized && moved;
}

bool moveAndResize(const Element& window, const platform::Rect& rect) {
    const bool first = write(window, names::position, rect.origin);
    const bool sized = write(window, names::size, rect.size);
    const bool second = write(window, names::position, rect.origin);
    return first && sized && second;
}

void collectDockBadges(const Element& element, int depth, std::vector<Badge>& into) {
    if (depth > 3) return;
    if (auto label = stringAttribute(element, names::statusLabel); label && !label->isEmpty()) {
        if (auto value = read(element, names::url)) {
            if (auto url = ax::as<ax::Url>(*value)) into.emplace_back(url->path, *label);
        }
    }
    auto children = read(element, names::children);
    if (!children) return;
    auto list = ax::as<ax::ElementList>(*children);
    if (!list) return;
    for (const auto& child : *list) {
        // A hung Dock must not cost more than the timeout per request.
        ax::api().setMessagingTimeout(child, messagingTimeout);
        collectDockBadges(child, depth + 1, into);
    }
}

}  // namespace AXElement
