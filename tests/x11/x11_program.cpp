#include "x11_program.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "support/test_files.h"

namespace x11test {

using platform::x11::WindowInfo;

namespace {
template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// Whether a client holds the shortcut: another client's grab of it is then refused.
bool holdsShortcut(platform::x11::Connection& conn, const std::string& keys) {
    std::uint16_t modifiers = 0;
    std::uint32_t keysym = 0;
    std::string_view rest(keys);
    while (!rest.empty()) {
        const auto plus = rest.find('+');
        const std::string_view part = rest.substr(0, plus);
        rest = plus == std::string_view::npos ? std::string_view() : rest.substr(plus + 1);
        if (part == "ctrl") modifiers |= XCB_MOD_MASK_CONTROL;
        else if (part == "alt") modifiers |= XCB_MOD_MASK_1;
        else if (part == "shift") modifiers |= XCB_MOD_MASK_SHIFT;
        else if (part == "super") modifiers |= XCB_MOD_MASK_4;
        else if (part == "space") keysym = 0x20;
        else if (part.size() == 1) keysym = std::uint8_t(part[0]);  // Latin-1 keysyms are the characters
        else throw std::invalid_argument("unknown key " + std::string(part));
    }
    xcb_connection_t* c = conn.xcb();
    const xcb_keycode_t keycode = keycodeOf(c, keysym);
    if (!keycode) return false;
    // The server is the probe's alone while it grabs and lets go, so the
    // program's own grab never meets it.
    xcb_grab_server(c);
    xcb_generic_error_t* err = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, conn.root(), modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const bool taken = err && err->error_code == XCB_ACCESS;
    std::free(err);
    if (!taken) xcb_ungrab_key(c, keycode, conn.root(), modifiers);
    xcb_ungrab_server(c);
    xcb_flush(c);
    return taken;
}

}  // namespace

QImage screenImage(xcb_connection_t* c, xcb_window_t root, const QRect& r) {
    Reply<xcb_get_image_reply_t> img(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, std::int16_t(r.x()), std::int16_t(r.y()),
                                          std::uint16_t(r.width()), std::uint16_t(r.height()), ~0u),
                            nullptr),
        &std::free);
    if (!img || img->depth != 24) return {};
    const int bytes = xcb_get_image_data_length(img.get());
    if (bytes < r.width() * r.height() * 4) return {};
    QImage out(xcb_get_image_data(img.get()), r.width(), r.height(), r.width() * 4, QImage::Format_RGB32);
    return out.copy();
}

bool writeSettings(const QString& preferencesDirectory, const char* entries) {
    return writeFile(QDir(preferencesDirectory).filePath(QStringLiteral("app.quorvel.Quorvel.plist")),
                     QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n") +
                         entries + "\n</dict></plist>\n");
}

bool seedFirstRunAnswered(const QString& preferencesDirectory) {
    return writeSettings(preferencesDirectory, "<key>dockSetupCompleted</key><true/>\n"
                                               "<key>dockManageEnabled</key><true/>\n"
                                               "<key>dockCoexistMode</key><string>moveRight</string>");
}

void ProgramTest::SetUp() {
    ASSERT_TRUE(Session::shared().isRunning());
    conn = openSessionConnection();
    ASSERT_TRUE(conn);
    ASSERT_TRUE(home.isValid());
}

void ProgramTest::TearDown() {
    if (app) app->stop();
    terminals.clear();
}

std::string ProgramTest::binary() { return QCoreApplication::applicationDirPath().toStdString() + "/../quorvel"; }

std::vector<std::string> ProgramTest::programEnvironment(const QString& home) {
    const std::string h = home.toStdString();
    return {"QT_QPA_PLATFORM=xcb",          "QUORVEL_HOME=" + h,    "XDG_CONFIG_HOME=" + h + "/config",
            "XDG_DATA_HOME=" + h + "/data", "XDG_RUNTIME_DIR=" + h, "QUORVEL_SESSION_COMMANDS="};
}

bool ProgramTest::repeatUntil(const std::function<void()>& act, const std::function<bool()>& done, int tries) {
    for (int i = 0; i < tries; ++i) {
        act();
        if (conn->waitUntil(done, patience / 3)) return true;
    }
    return false;
}

bool ProgramTest::launch(const std::vector<std::string>& extraEnvironment) {
    if (app) app->stop();
    app = std::make_unique<Child>();
    std::vector<std::string> environment = programEnvironment(home.path());
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    if (!app->start({binary()}, Session::shared().display(), environment)) return false;
    return conn->waitUntil([&] { return bar().exists; }, patience);
}

bool ProgramTest::isBar(const WindowInfo& info) { return info.hasType(conn->ewmh()->_NET_WM_WINDOW_TYPE_DOCK); }

WindowInfo ProgramTest::bar() {
    return app ? clientOf(*conn, app->pid(), [&](const WindowInfo& info) { return isBar(info); }) : WindowInfo{};
}

bool ProgramTest::workAreaEndsAtBar() {
    const auto area = cardinals(conn->root(), conn->ewmh()->_NET_WORKAREA);
    return area.size() >= 4 && area[1] + area[3] == std::uint32_t(barTop);
}

WindowInfo ProgramTest::settingsWindow() {
    auto* e = conn->ewmh();
    auto isSettings = [&](const WindowInfo& info) {
        return (info.hasType(e->_NET_WM_WINDOW_TYPE_NORMAL) || info.hasType(e->_NET_WM_WINDOW_TYPE_DIALOG)) &&
               !isBar(info) && info.title != QStringLiteral("Quorvel Start");
    };
    return app ? clientOf(*conn, app->pid(), isSettings) : WindowInfo{};
}

void ProgramTest::pointAtBar(int x) {
    xdotool({"mousemove", "--window", std::to_string(bar().window), std::to_string(x), "8"});
}

WindowInfo ProgramTest::openSettingsFromBar(bool active) {
    auto opened = [&] {
        const auto settings = settingsWindow();
        return settings.exists && (!active || conn->activeWindow() == settings.window);
    };
    pointAtBar(700);
    xdotool({"click", "3"});
    if (!conn->waitUntil([&] { return !popups().empty(); }, patience)) return {};
    const QRect menu = popups().front();
    xdotool({"mousemove", std::to_string(menu.x() + 40), std::to_string(menu.y() + 14)});
    xdotool({"click", "1"});
    return conn->waitUntil([&] { return popups().empty() && opened(); }, patience) ? settingsWindow() : WindowInfo{};
}

std::vector<QRect> ProgramTest::popups() {
    std::vector<QRect> out;
    xcb_connection_t* c = conn->xcb();
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, conn->root()), nullptr), &std::free);
    if (!tree || !app) return out;
    auto* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attrs(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr), &std::free);
        if (!attrs || !attrs->override_redirect || attrs->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        // Qt marks every window of its process with the pid, its tool tips
        // as such, and its pop-ups as belonging to another of its windows;
        // the tray icon's window, mapped before a host embeds it, belongs to
        // none.
        const WindowInfo info = conn->windowInfo(children[i]);
        if (info.processID != app->pid() || info.hasType(conn->ewmh()->_NET_WM_WINDOW_TYPE_TOOLTIP) ||
            cardinals(children[i], XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW).empty())
            continue;
        Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, children[i]), nullptr),
                                          &std::free);
        if (!g) continue;
        out.emplace_back(g->x, g->y, g->width, g->height);
    }
    return out;
}

bool ProgramTest::waitForTaskButton(int x) {
    // An empty stretch of the strip, right of the few buttons these tests make.
    const int empty = 700;
    const auto slice = [&](int left) {
        return screenImage(conn->xcb(), conn->root(), QRect(left - 16, barTop + 8, 32, barHeight - 16));
    };
    return conn->waitUntil(
        [&] {
            const QImage slot = slice(x), background = slice(empty);
            return !slot.isNull() && !background.isNull() && slot != background;
        },
        patience);
}

bool ProgramTest::waitForShortcut(const std::string& keys, bool held, double timeoutSeconds) {
    return conn->waitUntil([&] { return holdsShortcut(*conn, keys) == held; }, timeoutSeconds);
}

std::vector<std::uint32_t> ProgramTest::cardinals(xcb_window_t window, xcb_atom_t atom, xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(conn->xcb(), xcb_get_property(conn->xcb(), 0, window, atom, type, 0, 16),
                               nullptr),
        &std::free);
    if (!r) return {};
    auto* p = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
    return {p, p + xcb_get_property_value_length(r.get()) / 4};
}

Terminal& ProgramTest::terminal(const std::string& geometry, const std::string& title, const std::string& cls) {
    terminals.push_back(openTerminal(*conn, geometry, title, cls));
    if (!terminals.back()) throw std::runtime_error("no xterm");
    return *terminals.back();
}

}  // namespace x11test
