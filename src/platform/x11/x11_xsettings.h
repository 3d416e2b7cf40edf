#pragma once
// The desktop's settings as an X11 desktop publishes them: the XSETTINGS
// manager (gsd-xsettings on GNOME, xfsettingsd on Xfce, the settings daemons
// of MATE and Cinnamon) owns the selection _XSETTINGS_S<screen> and keeps
// every setting in the property _XSETTINGS_SETTINGS of its window. GTK reads
// its theme and animation switches from there, so this is where a Linux
// desktop publishes them:
//  - "Net/ThemeName": the GTK theme; a dark desktop uses a dark variant
//    ("Adwaita-dark", "Arc-Dark", ...).
//  - "Net/IconThemeName": the icon theme of application icons.
//  - "Net/EnableAnimations": 0 when the user turned animations off (GNOME's
//    org.gnome.desktop.interface enable-animations, the reduce-motion
//    switch of its accessibility settings, is published as this one).
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// Integer settings as int, strings as QString, colours as QColor. Empty for
// data that is not a well-formed settings property (nothing is read past it).
std::map<QString, QVariant> parseXSettings(const QByteArray& data);

// What the program takes from the settings.
struct DesktopLook {
    std::optional<bool> dark;   // from the theme name; absent: no opinion
    bool reduceMotion = false;  // animations switched off
    QString iconTheme;          // empty: none published
    friend bool operator==(const DesktopLook&, const DesktopLook&) = default;
};
DesktopLook desktopLookFrom(const std::map<QString, QVariant>& settings);

// Follows the XSETTINGS manager of the connection's screen: its current
// settings, and a call on the main thread after every change (a manager that
// starts, stops or changes a setting).
class XSettingsWatcher : public EventListener {
public:
    XSettingsWatcher(std::shared_ptr<Connection> connection, std::function<void()> changed);
    ~XSettingsWatcher() override;
    DesktopLook look() const;

    // Event thread.
    void xEvent(const xcb_generic_event_t* event) override;

private:
    void reload();

    std::shared_ptr<Connection> conn_;
    std::function<void()> changed_;
    xcb_atom_t selection_ = XCB_ATOM_NONE;
    xcb_atom_t settings_ = XCB_ATOM_NONE;
    xcb_atom_t manager_ = XCB_ATOM_NONE;
    mutable std::mutex mutex_;
    xcb_window_t owner_ = XCB_WINDOW_NONE;
    DesktopLook look_;
};

}  // namespace platform::x11
