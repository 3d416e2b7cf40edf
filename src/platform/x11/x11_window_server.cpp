#include "platform/x11/x11_window_server.h"

#include <algorithm>

namespace platform::x11 {

X11WindowServer::X11WindowServer(std::shared_ptr<Connection> connection) : conn_(std::move(connection)) {
    conn_->addListener(this);
}

X11WindowServer::~X11WindowServer() { conn_->removeListener(this); }

int X11WindowServer::addChangeObserver(std::function<void()> callback) {
    std::lock_guard lock(observers_->mutex);
    const int token = observers_->next++;
    observers_->callbacks[token] = std::move(callback);
    return token;
}

void X11WindowServer::removeChangeObserver(int token) {
    std::lock_guard lock(observers_->mutex);
    observers_->callbacks.erase(token);
}

void X11WindowServer::counted() {
    {
        std::lock_guard lock(observers_->mutex);
        // One delivery for a burst: the ones that follow find it pending.
        if (observers_->callbacks.empty() || observers_->deliveryPending) return;
        observers_->deliveryPending = true;
    }
    std::weak_ptr<Observers> weak = observers_;
    conn_->postToMain([weak] {
        auto observers = weak.lock();
        if (!observers) return;
        std::vector<std::function<void()>> callbacks;
        {
            std::lock_guard lock(observers->mutex);
            observers->deliveryPending = false;
            for (auto& [token, cb] : observers->callbacks) callbacks.push_back(cb);
        }
        for (auto& cb : callbacks)
            if (cb) cb();
    });
}

std::int64_t X11WindowServer::layerOf(const WindowInfo& info) const {
    auto* e = conn_->ewmh();
    if (info.hasType(e->_NET_WM_WINDOW_TYPE_DESKTOP)) return layers::desktop;
    if (info.hasType(e->_NET_WM_WINDOW_TYPE_DOCK)) return layers::dock;
    if (info.hasType(e->_NET_WM_WINDOW_TYPE_MENU) || info.hasType(e->_NET_WM_WINDOW_TYPE_POPUP_MENU) ||
        info.hasType(e->_NET_WM_WINDOW_TYPE_DROPDOWN_MENU) || info.hasType(e->_NET_WM_WINDOW_TYPE_TOOLTIP) ||
        info.hasType(e->_NET_WM_WINDOW_TYPE_NOTIFICATION))
        return layers::popUpMenu;
    if (info.hasState(e->_NET_WM_STATE_ABOVE)) return layers::floating;
    return layers::normal;
}

std::optional<std::vector<WindowRecord>> X11WindowServer::copyWindowList(unsigned options, std::int64_t relativeTo) {
    if (conn_->isBroken()) return std::nullopt;
    auto stacking = conn_->clientListStacking();
    std::reverse(stacking.begin(), stacking.end());  // front to back
    const std::uint32_t desktop = conn_->currentDesktop();
    auto* e = conn_->ewmh();
    auto infos = conn_->windowInfos(stacking);

    // The window the "above"/"below" options are relative to.
    std::ptrdiff_t anchor = -1;
    for (std::size_t i = 0; i < infos.size(); ++i)
        if (relativeTo > 0 && std::int64_t(infos[i].window) == relativeTo) anchor = std::ptrdiff_t(i);

    std::vector<WindowRecord> out;
    for (std::size_t i = 0; i < infos.size(); ++i) {
        const WindowInfo& info = infos[i];
        if (!info.exists) continue;
        const bool onDesktop = !info.desktop || *info.desktop == desktop || *info.desktop == 0xffffffffu;
        const bool onScreen = info.viewable && onDesktop && !info.hasState(e->_NET_WM_STATE_HIDDEN);
        const bool isAnchor = std::ptrdiff_t(i) == anchor;
        if ((options & windowListExcludeDesktopElements) && info.hasType(e->_NET_WM_WINDOW_TYPE_DESKTOP)) continue;
        if (options & (windowListOnScreenOnly | windowListOnScreenAboveWindow | windowListOnScreenBelowWindow))
            if (!onScreen) continue;
        if (options & windowListOnScreenAboveWindow) {
            if (anchor < 0 || (std::ptrdiff_t(i) >= anchor && !(isAnchor && (options & windowListIncludingWindow))))
                continue;
        } else if (options & windowListOnScreenBelowWindow) {
            if (anchor < 0 || (std::ptrdiff_t(i) <= anchor && !(isAnchor && (options & windowListIncludingWindow))))
                continue;
        } else if ((options & windowListIncludingWindow) && !(options & windowListOnScreenOnly)) {
            if (!isAnchor) continue;
        }
        WindowRecord r;
        r.number = std::int64_t(info.window);
        if (info.pid > 0) r.ownerPID = info.pid;
        r.layer = layerOf(info);
        r.bounds = info.frame();
        r.alpha = info.opacity.value_or(1.0);
        r.isOnScreen = onScreen;
        if (!info.wmClassClass.isEmpty()) r.ownerName = info.wmClassClass;
        r.name = info.title;
        r.isBorderless = !info.decoration.isFramed();
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace platform::x11
