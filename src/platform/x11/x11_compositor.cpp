#include "platform/x11/x11_compositor.h"

#include <xcb/xfixes.h>

#include <cstdlib>
#include <optional>

namespace platform::x11 {
namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

}  // namespace

X11Compositor::X11Compositor(std::shared_ptr<Connection> conn, const char* selectionPrefix)
    : conn_(std::move(conn)), self_(std::make_shared<X11Compositor*>(this)) {
    xcb_connection_t* c = conn_->xcb();
    // Two round trips: the atom with the extension's presence, then the
    // extension's version with the owner.
    xcb_prefetch_extension_data(c, &xcb_xfixes_id);
    selection_ = internAtoms(c, {selectionPrefix + QByteArray::number(conn_->screenNumber())}).front();
    const auto* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (selection_) {
        // Ask for owner changes before reading the owner, so no change
        // between the two is missed.
        std::optional<xcb_xfixes_query_version_cookie_t> versionCookie;
        if (ext && ext->present) {
            versionCookie = xcb_xfixes_query_version(c, 1, 0);
            xcb_xfixes_select_selection_input(c, conn_->root(), selection_,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        }
        const auto ownerCookie = xcb_get_selection_owner(c, selection_);
        if (versionCookie) {
            Reply<xcb_xfixes_query_version_reply_t> version(
                xcb_xfixes_query_version_reply(c, *versionCookie, nullptr), &std::free);
            if (version) xfixesEvent_ = std::uint8_t(ext->first_event + XCB_XFIXES_SELECTION_NOTIFY);
        }
        Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(c, ownerCookie, nullptr),
                                                     &std::free);
        published_ = owner && owner->owner != XCB_WINDOW_NONE;
    }
    conn_->addListener(this);
    conn_->flush();
}

X11Compositor::~X11Compositor() {
    conn_->removeListener(this);
    *self_ = nullptr;
}

bool X11Compositor::isActive() { return published_; }

int X11Compositor::addObserver(std::function<void()> callback) {
    const int token = nextToken_++;
    observers_[token] = std::move(callback);
    return token;
}

void X11Compositor::removeObserver(int token) { observers_.erase(token); }

void X11Compositor::xEvent(const xcb_generic_event_t* event) {
    if (!xfixesEvent_ || (event->response_type & 0x7f) != xfixesEvent_) return;
    auto* e = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    if (e->selection != selection_) return;
    const bool active = e->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && e->owner != XCB_WINDOW_NONE;
    std::weak_ptr<X11Compositor*> weak = self_;
    conn_->postToMain([weak, active] {
        auto self = weak.lock();
        if (self && *self) (*self)->publish(active);
    });
}

void X11Compositor::publish(bool active) {
    if (active == published_) return;
    published_ = active;
    std::map<int, std::function<void()>> targets = observers_;
    for (auto& [token, callback] : targets)
        if (observers_.count(token)) callback();
}

}  // namespace platform::x11
