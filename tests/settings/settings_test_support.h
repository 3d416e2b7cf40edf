#pragma once
// Shared by the settings tests: a fresh simulated desktop with the settings
// window's state cleared before and after, and a shown, active window.
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <cmath>
#include <optional>

#include "core/localization.h"
#include "settings/settings_view.h"
#include "settings/settings_window.h"
#include "support/sim_fixture.h"

// The language and the system's light or dark look the settings are drawn in.
inline void setSettingsLook(platform::sim::SimulatedDesktop& sim, AppLanguage language, bool dark) {
    platform::prefs::userDefaults().setString(settings::keys::appLanguage, rawValue(language));
    sim.setSystemAppearance(dark ? platform::Appearance::darkAqua : platform::Appearance::aqua);
}

// The simulated desktop as a Linux desktop shows the settings: no Dock, and
// shortcuts written in words with the Super key's defaults.
inline void useLinuxDesktopTraits(platform::sim::SimulatedDesktop& sim) {
    auto services = sim.services();
    services.desktop.hasDock = false;
    services.desktop.isMac = false;
    services.desktop.shortcutStyle = platform::ShortcutStyle::words;
    platform::install(services);
}

// The settings view at the size, on the category (else its first), as drawn.
inline QImage renderSettingsView(QSize size, std::optional<SettingsCategory> category = std::nullopt) {
    SettingsView view;
    if (category) view.setSelection(*category);
    view.resize(size);
    view.show();
    QApplication::processEvents();
    QImage img(view.size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    view.render(&img);
    return img;
}

inline double luminance(QRgb c) { return 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c); }

// Pixels in a band that differ clearly (by more than `contrast` in
// luminance) from the band's background, its top-left pixel.
inline int inkPixels(const QImage& img, const QRect& band, double contrast = 60) {
    const double background = luminance(img.pixel(band.topLeft()));
    int ink = 0;
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            if (std::abs(luminance(img.pixel(x, y)) - background) > contrast) ++ink;
    return ink;
}

class SettingsTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        SettingsWindow::reset();
    }
    void TearDown() override {
        SettingsWindow::reset();
        QApplication::processEvents();
        SimDesktopTest::TearDown();
    }
    platform::prefs::Domain& defaults() { return platform::prefs::userDefaults(); }
    // Shows the window and waits until it is the active one.
    static bool showActive(QWidget& window) {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window, 2000);
    }
};
