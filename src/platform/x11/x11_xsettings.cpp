#include "platform/x11/x11_xsettings.h"

#include <QColor>
#include <QtEndian>
#include <cstdlib>

namespace platform::x11 {
namespace {

// Reads the settings property in the byte order it declares.
class Reader {
public:
    explicit Reader(const QByteArray& d) : d_(d) {}
    bool ok() const { return ok_; }
    void setBigEndian(bool big) { big_ = big; }
    std::uint8_t u8() {
        if (!need(1)) return 0;
        return std::uint8_t(d_[pos_++]);
    }
    std::uint16_t u16() {
        if (!need(2)) return 0;
        auto p = reinterpret_cast<const uchar*>(d_.constData() + pos_);
        pos_ += 2;
        return big_ ? qFromBigEndian<std::uint16_t>(p) : qFromLittleEndian<std::uint16_t>(p);
    }
    std::uint32_t u32() {
        if (!need(4)) return 0;
        auto p = reinterpret_cast<const uchar*>(d_.constData() + pos_);
        pos_ += 4;
        return big_ ? qFromBigEndian<std::uint32_t>(p) : qFromLittleEndian<std::uint32_t>(p);
    }
    QByteArray bytes(std::uint32_t n) {
        if (!need(n)) return {};
        QByteArray out = d_.mid(pos_, qsizetype(n));
        pos_ += n;
        skip((4 - n % 4) % 4);
        return out;
    }
    void skip(std::uint32_t n) { need(n) ? void(pos_ += n) : void(); }

private:
    bool need(std::uint64_t n) {
        if (!ok_ || std::uint64_t(d_.size()) - std::uint64_t(pos_) < n) ok_ = false;
        return ok_;
    }
    const QByteArray& d_;
    qsizetype pos_ = 0;
    bool big_ = false;
    bool ok_ = true;
};

}  // namespace

std::map<QString, QVariant> parseXSettings(const QByteArray& data) {
    Reader r(data);
    const std::uint8_t order = r.u8();
    if (order > 1) return {};
    r.setBigEndian(order == 1);
    r.skip(3);
    r.u32();  // serial
    const std::uint32_t count = r.u32();
    std::map<QString, QVariant> out;
    for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
        const std::uint8_t type = r.u8();
        r.skip(1);
        const QString name = QString::fromUtf8(r.bytes(r.u16()));
        r.u32();  // last change serial
        QVariant value;
        if (type == 0) {
            value = int(std::int32_t(r.u32()));
        } else if (type == 1) {
            value = QString::fromUtf8(r.bytes(r.u32()));
        } else if (type == 2) {
            const int red = r.u16(), green = r.u16(), blue = r.u16(), alpha = r.u16();
            value = QColor::fromRgba64(red, green, blue, alpha);
        } else {
            return {};
        }
        if (!r.ok()) return {};
        out[name] = value;
    }
    return r.ok() ? out : std::map<QString, QVariant>{};
}

DesktopLook desktopLookFrom(const std::map<QString, QVariant>& settings) {
    DesktopLook look;
    if (auto it = settings.find(QStringLiteral("Net/ThemeName"));
        it != settings.end() && it->second.typeId() == QMetaType::QString && !it->second.toString().isEmpty())
        look.dark = it->second.toString().contains(QStringLiteral("dark"), Qt::CaseInsensitive);
    if (auto it = settings.find(QStringLiteral("Net/EnableAnimations"));
        it != settings.end() && it->second.typeId() == QMetaType::Int)
        look.reduceMotion = it->second.toInt() == 0;
    if (auto it = settings.find(QStringLiteral("Net/IconThemeName"));
        it != settings.end() && it->second.typeId() == QMetaType::QString)
        look.iconTheme = it->second.toString();
    return look;
}

XSettingsWatcher::XSettingsWatcher(std::shared_ptr<Connection> connection, std::function<void()> changed)
    : conn_(std::move(connection)), changed_(std::move(changed)) {
    xcb_connection_t* c = conn_->xcb();
    const auto atoms = internAtoms(
        c, {"_XSETTINGS_S" + QByteArray::number(conn_->screenNumber()), "_XSETTINGS_SETTINGS", "MANAGER"});
    selection_ = atoms[0];
    settings_ = atoms[1];
    manager_ = atoms[2];
    reload();
    conn_->addListener(this);
}

XSettingsWatcher::~XSettingsWatcher() { conn_->removeListener(this); }

DesktopLook XSettingsWatcher::look() const {
    std::lock_guard lock(mutex_);
    return look_;
}

void XSettingsWatcher::reload() {
    xcb_connection_t* c = conn_->xcb();
    xcb_window_t owner = XCB_WINDOW_NONE;
    if (auto* r = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr)) {
        owner = r->owner;
        std::free(r);
    }
    std::map<QString, QVariant> settings;
    if (owner != XCB_WINDOW_NONE) {
        // Property and destruction of the manager's window tell of changes.
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, owner, XCB_CW_EVENT_MASK, &mask);
        auto cookie = xcb_get_property(c, 0, owner, settings_, settings_, 0, 1u << 20);
        if (auto* r = xcb_get_property_reply(c, cookie, nullptr)) {
            if (r->format == 8)
                settings = parseXSettings(QByteArray(static_cast<const char*>(xcb_get_property_value(r)),
                                                     xcb_get_property_value_length(r)));
            std::free(r);
        }
        conn_->flush();
    }
    const DesktopLook look = desktopLookFrom(settings);
    bool different;
    {
        std::lock_guard lock(mutex_);
        owner_ = owner;
        different = !(look == look_);
        look_ = look;
    }
    if (different && changed_) conn_->postToMain(changed_);
}

void XSettingsWatcher::xEvent(const xcb_generic_event_t* event) {
    const std::uint8_t type = event->response_type & 0x7f;
    xcb_window_t owner;
    {
        std::lock_guard lock(mutex_);
        owner = owner_;
    }
    if (type == XCB_CLIENT_MESSAGE) {
        // A manager announces itself on the root window when it takes over.
        auto* m = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (m->type == manager_ && m->format == 32 && m->data.data32[1] == selection_) reload();
    } else if (type == XCB_PROPERTY_NOTIFY) {
        auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (p->window == owner && owner != XCB_WINDOW_NONE && p->atom == settings_) reload();
    } else if (type == XCB_DESTROY_NOTIFY) {
        auto* d = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (d->window == owner && owner != XCB_WINDOW_NONE) reload();
    }
}

}  // namespace platform::x11
