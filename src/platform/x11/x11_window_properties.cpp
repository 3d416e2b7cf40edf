#include "platform/x11/x11_window_properties.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <vector>

namespace platform::x11 {
namespace {

// The 32-bit items of a property; empty for another format.
std::vector<std::uint32_t> cardinals(const PropertyValue& p) {
    if (!p.present || p.format != 32 || !p.data) return {};
    auto* v = static_cast<const std::uint32_t*>(p.data);
    return std::vector<std::uint32_t>(v, v + std::max(0, p.length / 4));
}

FrameExtents extentsFrom(const std::vector<std::uint32_t>& v) {
    FrameExtents e;
    if (v.size() < 4) return e;
    // Hostile values never make a frame larger than a screen could be.
    auto clampInt = [](std::uint32_t x) { return int(std::min<std::uint32_t>(x, 10000)); };
    e.left = clampInt(v[0]);
    e.right = clampInt(v[1]);
    e.top = clampInt(v[2]);
    e.bottom = clampInt(v[3]);
    return e;
}

}  // namespace

QByteArray bytes(const PropertyValue& p) {
    if (!p.present || p.format != 8 || !p.data) return {};
    return QByteArray(static_cast<const char*>(p.data), std::max(0, p.length));
}

PropertyValue PropertyValue::of(const xcb_get_property_reply_t* reply) {
    PropertyValue p;
    if (!reply) return p;
    p.present = true;
    p.type = reply->type;
    p.format = reply->format;
    p.data = xcb_get_property_value(reply);
    p.length = xcb_get_property_value_length(reply);
    return p;
}

bool decodeWindowProperties(const WindowProperties& p, xcb_atom_t utf8String, WindowInfo& info) {
    WindowInfo read;
    read.window = info.window;
    read.clientArea = info.clientArea;
    read.viewable = info.viewable;
    read.exists = info.exists;
    if (auto v = cardinals(p.pid); !v.empty() && v[0] > 0 && v[0] <= 0x7fffffff) read.pid = std::int32_t(v[0]);
    if (const QByteArray m = bytes(p.machine); !m.isEmpty()) {
        const int nul = m.indexOf('\0');
        read.clientMachine = QString::fromLocal8Bit(nul >= 0 ? m.left(nul) : m);
    }
    if (auto v = cardinals(p.desktop); !v.empty()) read.desktop = v[0];
    for (auto a : cardinals(p.state)) read.state.push_back(a);
    for (auto a : cardinals(p.types)) read.types.push_back(a);
    if (p.actions.present && p.actions.type == XCB_ATOM_ATOM) {
        std::vector<xcb_atom_t> list;
        for (auto a : cardinals(p.actions)) list.push_back(a);
        read.allowedActions = std::move(list);
    }
    read.decoration = extentsFrom(cardinals(p.frame));
    read.clientShadow = extentsFrom(cardinals(p.shadow));
    if (const QByteArray name = bytes(p.netName); !name.isEmpty())
        read.title = QString::fromUtf8(name);
    else if (p.wmName.present) {
        const QByteArray legacy = bytes(p.wmName);
        read.title = p.wmName.type == utf8String ? QString::fromUtf8(legacy) : QString::fromLatin1(legacy);
    }
    if (const QByteArray cls = bytes(p.wmClass); !cls.isEmpty()) {
        const QList<QByteArray> parts = cls.split('\0');
        if (parts.size() >= 1) read.wmClassInstance = QString::fromLocal8Bit(parts[0]);
        if (parts.size() >= 2) read.wmClassClass = QString::fromLocal8Bit(parts[1]);
    }
    read.gtkApplicationId = QString::fromUtf8(bytes(p.gtkId));
    if (auto v = cardinals(p.transient); !v.empty()) read.transientFor = v[0];
    if (auto v = cardinals(p.opacity); !v.empty()) read.opacity = double(v[0]) / double(0xffffffffu);
    // WM_HINTS: flags, input, initial state, icon pixmap, icon window, icon
    // position (2), icon mask, window group.
    const auto wmHints = cardinals(p.hints);
    constexpr std::uint32_t windowGroupHint = 1u << 6, urgencyHint = 1u << 8;
    read.urgencyHint = !wmHints.empty() && (wmHints[0] & urgencyHint);
    if (auto v = cardinals(p.leader); !v.empty() && v[0] != XCB_WINDOW_NONE)
        read.clientLeader = v[0];
    else if (wmHints.size() >= 9 && (wmHints[0] & windowGroupHint) && wmHints[8] != XCB_WINDOW_NONE)
        read.clientLeader = wmHints[8];
    read.processID = read.pid;
    info = std::move(read);
    // A property request on a gone window is answered with an error.
    return p.pid.present;
}

}  // namespace platform::x11
