// What a user of a Linux desktop meets beyond the windows themselves: alerts
// answered in a real dialog, no Dock to restart, and the desktop's theme and
// animation switches.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/platform.h"
#include "platform/x11/x11_alerts.h"
#include "platform/x11/x11_backend.h"
#include "platform/x11/x11_processes.h"
#include "platform/x11/x11_xsettings.h"
#include "services/dock_controller.h"
#include "taskbar/bar_view.h"
#include "windows/pin_store.h"
#include "x11_session.h"
#include "support/recording_log.h"
#include "support/test_files.h"

using namespace platform;
using namespace x11test;

namespace {

// The live backend with its log recorded.
std::shared_ptr<RecordingLog> installLive(const QString& preferences) {
    auto log = std::make_shared<RecordingLog>();
    if (auto error = installLiveBackend(preferences, [&](Services& s) { s.log = log; }); !error.empty()) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    return log;
}

// ---- alerts ----------------------------------------------------------------

constexpr const char* alertChildSwitch = "QUORVEL_X11_ALERT_CHILD";

// The helper: the open-failure alert of a pinned application, in Chinese,
// shown with Qt on the X server; it writes what the dialog showed and
// whether the pin survived.
TEST(X11AlertChild, OfferUnpin) {
    const char* out = std::getenv(alertChildSwitch);
    if (!out) GTEST_SKIP() << "runs as the helper of X11AlertTest only";
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QTemporaryDir prefs;
    installLive(prefs.path());
    prefs::userDefaults().setString(settings::keys::appLanguage, QStringLiteral("simplifiedChinese"));
    PinStore pins;
    pins.setPinnedBundleIDs({QStringLiteral("org.example.Gone")});
    QString shown;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && shown.isEmpty()) {
                QStringList titles;
                for (auto* b : box->buttons()) titles << b->text();
                titles.sort();
                shown = box->text() + u'|' + titles.join(u',') + u'|' + box->defaultButton()->text();
            }
    });
    look.start(20);
    BarView::offerUnpinAfterOpenFailure(QStringLiteral("org.example.Gone"), QStringLiteral("Gone"), pins);
    ASSERT_TRUE(writeFile(QString::fromLocal8Bit(out),
                          (shown + u'|' + (pins.pinnedBundleIDs().isEmpty() ? QStringLiteral("unpinned")
                                                                            : QStringLiteral("pinned"))).toUtf8()));
    platform::uninstall();
}

TEST(X11AlertTest, UnpinAlertIsAnsweredInItsDialog) {
    auto conn = openSessionConnection();
    ASSERT_TRUE(conn);
    struct Case {
        const char* key;
        const char* outcome;
    };
    // Escape is the cancel button, Return the default one ("Unpin").
    for (const Case& c : {Case{"Escape", "pinned"}, Case{"Return", "unpinned"}}) {
        SCOPED_TRACE(c.key);
        QTemporaryDir dir;
        const QString result = dir.filePath(QStringLiteral("result"));
        Child helper;
        ASSERT_TRUE(startSelf(helper, "X11AlertChild.OfferUnpin", {std::string(alertChildSwitch) + "=" + result.toStdString()}));
        ASSERT_NE(dialogOf(*conn, helper.pid(), patience), XCB_WINDOW_NONE) << "no dialog appeared";
        // Nobody answered for the user: the helper is still waiting.
        EXPECT_TRUE(helper.running());
        EXPECT_FALSE(QFile::exists(result));
        ASSERT_TRUE(answerDialog(*conn, helper.pid(), c.key));
        ASSERT_TRUE(helper.waitForExit(patience));
        const QStringList parts = QString::fromUtf8(readFile(result)).split(u'|');
        ASSERT_EQ(parts.size(), 4);
        EXPECT_EQ(parts[0], QStringLiteral("无法打开“Gone”"));
        EXPECT_EQ(parts[1], QStringLiteral("取消,取消固定"));
        EXPECT_EQ(parts[2], QStringLiteral("取消固定")) << "the first button is the default";
        EXPECT_EQ(parts[3], QString::fromLatin1(c.outcome));
    }
}

TEST(X11AlertTest, BeepRingsTheXBellAndAnOffScreenAlertAnswersNobody) {
    auto conn = openSessionConnection();
    ASSERT_TRUE(conn);
    x11::DialogAlerts alerts(conn);
    // One request (the bell) between two no-ops; a few tries, in case the
    // connection's own reader asked something at the same moment.
    unsigned requests = 0;
    for (int attempt = 0; attempt < 5 && requests != 1; ++attempt) {
        const unsigned before = xcb_no_operation(conn->xcb()).sequence;
        alerts.beep();
        requests = xcb_no_operation(conn->xcb()).sequence - before - 1;
    }
    EXPECT_EQ(requests, 1u) << "the beep rings the bell";
    // This test program draws off-screen: no dialog could reach the user, so
    // no button is the answer, not even the default one.
    ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    Alert alert;
    alert.messageText = QStringLiteral("Log out of your account?");
    alert.buttons = {QStringLiteral("Log Out"), QStringLiteral("Cancel")};
    EXPECT_EQ(alerts.runModal(alert), x11::alertNotAnswered);
}

// ---- no Dock ---------------------------------------------------------------

TEST(X11DockTest, TakeoverWritesThePreferencesAndSignalsNothing) {
    // A process that happens to be called Dock.
    QTemporaryDir dir;
    const QString dock = dir.filePath(QStringLiteral("Dock"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), dock));
    Child bystander;
    ASSERT_TRUE(bystander.start({dock.toStdString(), "30"}, x11test::Session::shared().display()));
    // Once it runs as Dock, the takeover can see it.
    ASSERT_TRUE(pumpUntil([&] { return readFile(QStringLiteral("/proc/%1/comm").arg(bystander.pid())).trimmed() == "Dock"; }));

    auto log = installLive(dir.path());
    ASSERT_TRUE(log);
    auto controller = services::DockController::create();
    controller->apply(services::DockCoexistMode::hide);
    controller->queue().sync([] {});
    auto& dockPrefs = prefs::domain(prefs::dockDomain);
    EXPECT_EQ(dockPrefs.boolValue(services::DockController::kAutohide), true) << "the takeover wrote the file";
    controller->restoreSynchronously();
    EXPECT_EQ(dockPrefs.boolValue(services::DockController::kAutohide), false) << "the restore gave the user's state back";
    EXPECT_TRUE(bystander.running()) << "nothing is signalled";
    int noDockLines = 0;
    for (const QString& line : log->all()) {
        EXPECT_FALSE(line.contains(QStringLiteral("killall"))) << line.toStdString();
        noDockLines += line.contains(QStringLiteral("没有 Dock 进程"));
    }
    EXPECT_EQ(noDockLines, 2) << "one line for the takeover, one for the restore";
    EXPECT_TRUE(x11::DesktopProcesses::isDockRestart(QStringLiteral("/usr/bin/killall"), {QStringLiteral("Dock")}));
    EXPECT_FALSE(x11::DesktopProcesses::isDockRestart(QStringLiteral("/usr/bin/killall"), {QStringLiteral("xterm")}));
    platform::uninstall();
}

// ---- the desktop's settings --------------------------------------------------

QByteArray settingsProperty(const QList<std::pair<QByteArray, QVariant>>& entries, bool bigEndian = false) {
    QByteArray d;
    auto put16 = [&](std::uint16_t v) {
        for (int i = 0; i < 2; ++i) d.append(char(bigEndian ? (v >> (8 * (1 - i))) : (v >> (8 * i))));
    };
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) d.append(char(bigEndian ? (v >> (8 * (3 - i))) : (v >> (8 * i))));
    };
    auto pad = [&] {
        while (d.size() % 4) d.append('\0');
    };
    d.append(char(bigEndian ? 1 : 0));
    d.append(3, '\0');
    put32(7);
    put32(std::uint32_t(entries.size()));
    for (const auto& [name, value] : entries) {
        d.append(char(value.typeId() == QMetaType::Int ? 0 : 1));
        d.append('\0');
        put16(std::uint16_t(name.size()));
        d.append(name);
        pad();
        put32(0);
        if (value.typeId() == QMetaType::Int) {
            put32(std::uint32_t(value.toInt()));
        } else {
            const QByteArray s = value.toString().toUtf8();
            put32(std::uint32_t(s.size()));
            d.append(s);
            pad();
        }
    }
    return d;
}

TEST(X11DesktopSettingsTest, ParsesWhatManagersPublish) {
    const auto dark = settingsProperty({{"Net/ThemeName", QStringLiteral("Adwaita-dark")},
                                        {"Net/EnableAnimations", 0},
                                        {"Xft/DPI", 98304}});
    for (bool big : {false, true}) {
        auto parsed = x11::parseXSettings(settingsProperty(
            {{"Net/ThemeName", QStringLiteral("Adwaita-dark")}, {"Net/EnableAnimations", 0}, {"Xft/DPI", 98304}}, big));
        EXPECT_EQ(parsed.size(), 3u);
        EXPECT_EQ(parsed[QStringLiteral("Xft/DPI")].toInt(), 98304);
        EXPECT_EQ(x11::desktopLookFrom(parsed), (x11::DesktopLook{true, true, QString()}));
    }
    struct Case {
        QList<std::pair<QByteArray, QVariant>> entries;
        x11::DesktopLook look;
    };
    const Case cases[] = {
        {{{"Net/ThemeName", QStringLiteral("Arc-Dark")}}, {true, false, {}}},
        {{{"Net/ThemeName", QStringLiteral("Adwaita")}, {"Net/EnableAnimations", 1}}, {false, false, {}}},
        {{{"Net/EnableAnimations", 0}}, {std::nullopt, true, {}}},
        {{{"Net/EnableAnimations", QStringLiteral("0")}}, {std::nullopt, false, {}}},  // wrong type: the default
        {{{"Net/IconThemeName", QStringLiteral("Papirus")}}, {std::nullopt, false, QStringLiteral("Papirus")}},
        {{}, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(x11::desktopLookFrom(x11::parseXSettings(settingsProperty(c.entries))), c.look);
    // Every cut of a well-formed property, and hostile counts and lengths,
    // read as nothing, never past the data.
    for (qsizetype n = 0; n < dark.size(); ++n) EXPECT_TRUE(x11::parseXSettings(dark.left(n)).empty()) << n;
    QByteArray huge = dark;
    huge[8] = char(0xff);
    huge[9] = char(0xff);
    EXPECT_TRUE(x11::parseXSettings(huge).empty());
    QByteArray longName = dark;
    longName[14] = char(0xff);
    EXPECT_TRUE(x11::parseXSettings(longName).empty());
}

// A settings manager as a desktop runs one: owns _XSETTINGS_S0 and keeps the
// settings on its window.
class FakeSettingsManager {
public:
    FakeSettingsManager() {
        conn_ = xcb_connect(x11test::Session::shared().display().c_str(), nullptr);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
        root_ = screen->root;
        window_ = xcb_generate_id(conn_);
        xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, root_, -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        selection_ = atom("_XSETTINGS_S0");
        settings_ = atom("_XSETTINGS_SETTINGS");
    }
    ~FakeSettingsManager() { xcb_disconnect(conn_); }
    void publish(const QByteArray& data) {
        xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window_, settings_, settings_, 8, std::uint32_t(data.size()),
                            data.constData());
        xcb_flush(conn_);
    }
    void takeOver() {
        xcb_set_selection_owner(conn_, window_, selection_, XCB_CURRENT_TIME);
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.window = root_;
        ev.type = atom("MANAGER");
        ev.format = 32;
        ev.data.data32[0] = XCB_CURRENT_TIME;
        ev.data.data32[1] = selection_;
        ev.data.data32[2] = window_;
        xcb_send_event(conn_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&ev));
        xcb_flush(conn_);
    }

private:
    xcb_atom_t atom(const char* name) {
        auto* r = xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, std::uint16_t(strlen(name)), name), nullptr);
        xcb_atom_t a = XCB_ATOM_NONE;
        if (r) a = r->atom;
        std::free(r);
        return a;
    }
    xcb_connection_t* conn_;
    xcb_window_t root_, window_;
    xcb_atom_t selection_, settings_;
};

TEST(X11DesktopSettingsTest, BarsFollowTheDesktopsThemeAndAnimationSwitch) {
    QTemporaryDir prefs;
    ASSERT_TRUE(installLive(prefs.path()));
    auto& app = platform::application();
    int notified = 0;
    const int token = app.addObserver([&] { ++notified; });
    EXPECT_FALSE(app.reduceMotion());

    FakeSettingsManager manager;
    manager.publish(settingsProperty({{"Net/ThemeName", QStringLiteral("Adwaita-dark")}, {"Net/EnableAnimations", 0}}));
    manager.takeOver();
    ASSERT_TRUE(pumpUntil([&] { return notified > 0; }, patience)) << "a manager that starts is followed";
    EXPECT_EQ(app.effectiveAppearance(), Appearance::darkAqua);
    EXPECT_TRUE(app.reduceMotion());

    notified = 0;
    manager.publish(settingsProperty({{"Net/ThemeName", QStringLiteral("Adwaita")}, {"Net/EnableAnimations", 1}}));
    ASSERT_TRUE(pumpUntil([&] { return notified > 0; }, patience)) << "a switch back is followed";
    EXPECT_EQ(app.effectiveAppearance(), Appearance::aqua);
    EXPECT_FALSE(app.reduceMotion());
    // The appearance the user chose wins over the desktop's.
    app.setAppearance(Appearance::darkAqua);
    EXPECT_EQ(app.effectiveAppearance(), Appearance::darkAqua);

    // A palette change of the desktop reaches the observers too.
    notified = 0;
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, Qt::black);
    QApplication::setPalette(palette);
    EXPECT_TRUE(pumpUntil([&] { return notified > 0; }, patience));
    QApplication::setPalette(QPalette());
    app.removeObserver(token);
    platform::uninstall();
}

}  // namespace
