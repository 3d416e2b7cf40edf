#include "x11_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb_icccm.h>

namespace x11test {

namespace {

// Checks `done` until it holds, for at most the timeout. `done` itself
// waits for what it checks (a descriptor, a reply, an event), so the loop
// never sleeps on its own.
bool pollUntil(const std::function<bool()>& done, double timeoutSeconds) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        if (done()) return true;
        if (t.elapsed() > timeoutSeconds * 1000) return false;
    }
}

}  // namespace

Child::~Child() { stop(); }

bool Child::start(const std::vector<std::string>& argv, const std::string& display,
                  const std::vector<std::string>& extraEnvironment, int fd3) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // The environment is built before fork: the child may only exec.
    std::vector<std::string> extra = extraEnvironment, envStrings;
    if (!display.empty()) extra.insert(extra.begin(), "DISPLAY=" + display);
    for (char** e = environ; *e; ++e)
        if (std::none_of(extra.begin(), extra.end(),
                         [&](const std::string& x) { return std::strncmp(*e, x.c_str(), x.find('=') + 1) == 0; }))
            envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        // Dies with the test executable, whatever way it ends.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        if (ownGroup_) setpgid(0, 0);
        if (fd3 >= 0) dup2(fd3, 3);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    pid_ = pid;
    return true;
}

bool Child::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
        if (r == pid_ && WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
        pid_ = -1;
        return false;
    }
    return true;
}

bool Child::waitForExit(double timeoutSeconds) {
    // A process descriptor becomes readable the moment the process ends.
    const int exited = pid_ > 0 ? int(syscall(SYS_pidfd_open, pid_, 0)) : -1;
    const bool ended = pollUntil([&] {
        if (!running()) return true;
        pollfd p{exited, POLLIN, 0};
        poll(&p, 1, 100);
        return !running();
    }, timeoutSeconds);
    if (exited >= 0) close(exited);
    return ended;
}

void Child::stop(double timeoutSeconds) {
    const pid_t group = ownGroup_ && pid_ > 0 ? pid_ : 0;
    if (running()) {
        kill(pid_, SIGTERM);
        if (!waitForExit(timeoutSeconds)) {
            kill(pid_, SIGKILL);
            waitForExit(timeoutSeconds);
        }
    }
    // Whatever of the group outlived its leader (a wrapper's bus) ends too.
    if (group) kill(-group, SIGKILL);
}

namespace {

// How one window manager is started, with its stock configuration; a manager
// that needs a session bus gets a private one. `package` is the Debian
// package a missing program comes from.
struct WindowManager {
    std::string name;
    std::string program;
    std::vector<std::string> argv;
    std::string package;
};

const WindowManager* windowManagerNamed(const std::string& name) {
    static const std::vector<WindowManager> managers{
        {"openbox", "openbox", {"openbox", "--sm-disable"}, "openbox"},
        {"mutter", "mutter", {"dbus-run-session", "--", "mutter", "--x11", "--replace"}, "mutter"},
        {"kwin", "kwin_x11", {"dbus-run-session", "--", "kwin_x11", "--replace"}, "kwin-x11"},
        {"xfwm4", "xfwm4", {"xfwm4", "--replace", "--compositor=off"}, "xfwm4"},
        {"metacity", "metacity", {"dbus-run-session", "--", "metacity", "--replace"}, "metacity"},
        {"marco", "marco", {"dbus-run-session", "--", "marco", "--replace"}, "marco"},
        {"fluxbox", "fluxbox", {"fluxbox"}, "fluxbox"},
        {"icewm", "icewm", {"icewm"}, "icewm"},
        {"jwm", "jwm", {"jwm"}, "jwm"},
        {"fvwm", "fvwm", {"fvwm"}, "fvwm"},
        {"awesome", "awesome", {"awesome"}, "awesome"},
        {"i3", "i3", {"i3"}, "i3-wm"},
        {"herbstluftwm", "herbstluftwm", {"herbstluftwm", "--locked"}, "herbstluftwm"},
    };
    for (const auto& m : managers)
        if (m.name == name) return &m;
    return nullptr;
}

// Why the program cannot run here; empty when it is installed.
std::string notInstalled(const std::string& program, const std::string& package) {
    if (!QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty()) return {};
    return program + " is not installed (Debian package " + package + ")";
}

// Starts Xvfb on a free display with a screen of the size: the display
// (":N"), or empty with the reason in `error`.
std::string startXServer(Child& server, int width, int height, std::string& error) {
    if (!(error = notInstalled("Xvfb", "xvfb")).empty()) return {};
    int fds[2];
    if (pipe(fds) != 0) return (error = "cannot make a pipe"), std::string();
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // -displayfd: the server picks a free display number and writes it to fd 3.
    const bool started = server.start({"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp"}, "", {}, fds[1]);
    close(fds[1]);
    std::string number;
    if (started)
        pollUntil(
            [&] {
                pollfd p{fds[0], POLLIN, 0};
                char buf[32];
                ssize_t n = 1;  // until the server closes its end
                if (poll(&p, 1, 100) > 0 && (n = read(fds[0], buf, sizeof buf)) > 0) number.append(buf, std::size_t(n));
                return n <= 0 || number.find('\n') != std::string::npos || !server.running();
            },
            patience);
    close(fds[0]);
    number.erase(std::remove_if(number.begin(), number.end(), [](char c) { return c < '0' || c > '9'; }),
                 number.end());
    if (number.empty()) error = started ? "Xvfb did not report a display number" : "cannot start Xvfb";
    return number.empty() ? std::string() : ":" + number;
}

// Runs the program on the display and waits for it to end.
bool runToEnd(const std::vector<std::string>& argv, const std::string& display) {
    Child c;
    return c.start(argv, display) && c.waitForExit(patience);
}

}  // namespace

bool PrivateDesktop::start(int width, int height, std::string& error, const std::string& name) {
    const WindowManager* manager = windowManagerNamed(name);
    if (!manager) return (error = "no window manager named " + name), false;
    if (!(error = notInstalled(manager->program, manager->package)).empty()) return false;
    display = startXServer(server_, width, height, error);
    if (display.empty()) return false;
    // Another manager's own files (configuration it writes on first start)
    // go to a home of the desktop's own, never the user's.
    std::vector<std::string> environment;
    if (name != "openbox") {
        const std::string home = QDir::tempPath().toStdString() + "/quorvel-wm-" + name + "-" + display.substr(1);
        QDir().mkpath(QString::fromStdString(home));
        environment = {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config", "XDG_CACHE_HOME=" + home + "/.cache",
                       "XDG_DATA_HOME=" + home + "/.local/share"};
    }
    windowManager_.ownProcessGroup();
    if (!windowManager_.start(manager->argv, display, environment)) return (error = "cannot start " + name), false;
    conn = platform::x11::Connection::open(QString::fromStdString(display), nullptr);
    if (!conn || !conn->hasWindowManager(patience)) return (error = name + " did not come up on " + display), false;
    // The manager announces itself before it has finished starting, and a
    // window mapped during its start-up is lost: it is ready once a probe
    // window becomes its client.
    if (!pollUntil([&] { return waitForClient(*conn, OwnWindow(0, 0, 10, 10, false, display).window(), 1.0); }, patience))
        return (error = name + " does not manage windows on " + display), false;
    return true;
}

bool PrivateDesktop::run(const std::vector<std::string>& argv) { return runToEnd(argv, display); }

void PrivateDesktop::killServer() {
    conn.reset();
    kill(server_.pid(), SIGKILL);
}

Session& Session::shared() {
    static Session s;
    return s;
}

bool Session::start(std::string& error, const std::string& manager) {
    if (isRunning()) return true;
    // A helper process of a test runs on its parent's session.
    if (const char* given = std::getenv("QUORVEL_X11_TEST_DISPLAY"); given && *given) {
        display_ = given;
        setenv("DISPLAY", given, 1);
        return true;
    }
    desktop_ = std::make_unique<PrivateDesktop>();
    if (!desktop_->start(width, height, error, manager)) {
        desktop_.reset();
        return false;
    }
    display_ = desktop_->display;
    setenv("DISPLAY", display_.c_str(), 1);
    desktop_->conn->waitUntil([&] { return desktop_->conn->clientList().empty(); }, patience);
    desktop_->conn.reset();
    return true;
}

void Session::stop() {
    desktop_.reset();
    display_.clear();
}

ManagerSession::ManagerSession(const std::string& name) {
    // CI skips the managers too heavy to install there (a space-separated list).
    const QStringList skipped = qEnvironmentVariable("QUORVEL_SKIP_WINDOW_MANAGERS").split(u' ', Qt::SkipEmptyParts);
    const WindowManager* manager = windowManagerNamed(name);
    if (!manager)
        error = "no window manager named " + name;
    else if (skipped.contains(QString::fromStdString(name)))
        skipReason = name + " is not tested here (QUORVEL_SKIP_WINDOW_MANAGERS)";
    else
        skipReason = notInstalled(manager->program, manager->package);
    if (!error.empty() || !skipReason.empty()) return;
    replaced_ = true;
    Session::shared().stop();
    Session::shared().start(error, name);
}

ManagerSession::~ManagerSession() {
    if (!replaced_) return;
    Session::shared().stop();
    std::string ignored;
    Session::shared().start(ignored);
}

bool pumpUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
    // Each turn waits for the next event; the tick bounds that wait for
    // state that changes off the event loop (another process, the X server).
    QTimer tick;
    tick.start(5);
    return pollUntil([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        return predicate();
    }, timeoutSeconds);
}

void pumpFor(double seconds) {
    pumpUntil([] { return false; }, seconds);
}

void setWindowState(platform::x11::Connection& conn, xcb_window_t window, bool add, xcb_atom_t state, xcb_atom_t other,
                    std::uint32_t source) {
    conn.sendRootMessage(window, conn.ewmh()->_NET_WM_STATE, add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE,
                         state, other, source);
    conn.flush();
}

bool isMaximised(platform::x11::Connection& conn, xcb_window_t window) {
    const auto info = conn.windowInfo(window);
    return info.hasState(conn.ewmh()->_NET_WM_STATE_MAXIMIZED_VERT) && info.hasState(conn.ewmh()->_NET_WM_STATE_MAXIMIZED_HORZ);
}

void activateWindow(platform::x11::Connection& conn, xcb_window_t window) {
    conn.sendRootMessage(window, conn.ewmh()->_NET_ACTIVE_WINDOW, 2, XCB_CURRENT_TIME, 0);
    conn.flush();
}

xcb_keycode_t keycodeOf(xcb_connection_t* c, std::uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, std::uint8_t(count)),
                                               nullptr);
    xcb_keycode_t keycode = 0;
    const xcb_keysym_t* syms = map ? xcb_get_keyboard_mapping_keysyms(map) : nullptr;
    for (int i = 0; map && i < count * map->keysyms_per_keycode && !keycode; ++i)
        if (syms[i] == keysym) keycode = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
    std::free(map);
    return keycode;
}

bool waitForClient(platform::x11::Connection& conn, xcb_window_t window, double timeoutSeconds) {
    return conn.waitUntil([&] { return conn.isClient(window); }, timeoutSeconds);
}

platform::x11::WindowInfo clientOf(platform::x11::Connection& conn, pid_t pid,
                                   const std::function<bool(const platform::x11::WindowInfo&)>& match,
                                   double timeoutSeconds) {
    platform::x11::WindowInfo found;
    conn.waitUntil(
        [&] {
            for (const auto& info : conn.windowInfos(conn.clientList()))
                if (info.processID == pid && info.viewable && (!match || match(info))) return (found = info), true;
            return false;
        },
        timeoutSeconds);
    return found;
}

std::unique_ptr<Terminal> openTerminal(platform::x11::Connection& conn, const std::string& geometry,
                                       const std::string& title, const std::string& cls, const std::string& display) {
    auto term = std::make_unique<Terminal>();
    term->process = std::make_unique<Child>();
    std::vector<std::string> argv{"xterm", "-geometry", geometry, "-title", title};
    if (!cls.empty()) argv.insert(argv.end(), {"-class", cls});
    argv.insert(argv.end(), {"-e", "sleep", "120"});
    if (!term->process->start(argv, display.empty() ? Session::shared().display() : display)) return nullptr;
    term->window = clientOf(conn, term->pid(), {}, patience).window;
    if (term->window == XCB_WINDOW_NONE) return nullptr;
    return term;
}

bool startSelf(Child& helper, const std::string& filter, const std::vector<std::string>& environment) {
    const std::string display = Session::shared().display();
    std::vector<std::string> all{"QT_QPA_PLATFORM=xcb", "QUORVEL_X11_TEST_DISPLAY=" + display};
    all.insert(all.end(), environment.begin(), environment.end());
    return helper.start({QCoreApplication::applicationFilePath().toStdString(), "--gtest_filter=" + filter}, display, all);
}

bool xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runToEnd(argv, Session::shared().display());
}

xcb_window_t dialogOf(platform::x11::Connection& conn, pid_t pid, double timeoutSeconds) {
    const auto dialog = conn.ewmh()->_NET_WM_WINDOW_TYPE_DIALOG;
    return clientOf(conn, pid, [&](const platform::x11::WindowInfo& info) { return info.hasType(dialog); },
                    timeoutSeconds).window;
}

bool answerDialog(platform::x11::Connection& conn, pid_t pid, const std::string& key, double timeoutSeconds) {
    const xcb_window_t dialog = dialogOf(conn, pid, timeoutSeconds);
    if (dialog == XCB_WINDOW_NONE) return false;
    if (!xdotool({"windowactivate", "--sync", std::to_string(dialog)}) || !xdotool({"key", key})) return false;
    return conn.waitUntil([&] {
        const auto info = conn.windowInfo(dialog);
        return !info.exists || !info.viewable;
    }, timeoutSeconds);
}

OwnWindow::OwnWindow(int x, int y, int width, int height, bool fixedSize, const std::string& display) {
    conn_ = xcb_connect((display.empty() ? Session::shared().display() : display).c_str(), nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    window_ = xcb_generate_id(conn_);
    const std::uint32_t values[] = {screen->white_pixel};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screen->root, std::int16_t(x), std::int16_t(y),
                      std::uint16_t(width), std::uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL, values);
    auto intern = [&](const char* name) {
        auto r = xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, std::uint16_t(strlen(name)), name), nullptr);
        xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    };
    const std::uint32_t pid = std::uint32_t(getpid());
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window_, intern("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    const char name[] = "own-window";
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
    const char cls[] = "own\0Own";
    xcb_change_property(conn_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof cls - 1,
                        cls);
    xcb_size_hints_t hints{};
    xcb_icccm_size_hints_set_position(&hints, 1, x, y);
    if (fixedSize) {
        xcb_icccm_size_hints_set_min_size(&hints, width, height);
        xcb_icccm_size_hints_set_max_size(&hints, width, height);
    }
    xcb_icccm_set_wm_normal_hints(conn_, window_, &hints);
    xcb_map_window(conn_, window_);
    xcb_flush(conn_);
}

OwnWindow::~OwnWindow() {
    destroy();
    if (conn_) xcb_disconnect(conn_);
}

void OwnWindow::destroy() {
    if (window_ == XCB_WINDOW_NONE) return;
    xcb_destroy_window(conn_, window_);
    xcb_flush(conn_);
    window_ = XCB_WINDOW_NONE;
}

namespace {

// Starts the session once for the executable; a missing program fails every test.
class SessionEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string error;
        if (!Session::shared().start(error)) FAIL() << error << "; the live-desktop tests need it";
    }
    void TearDown() override { Session::shared().stop(); }
};

[[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

}  // namespace

std::string installLiveBackend(const QString& preferencesDirectory,
                               const std::function<void(platform::Services&)>& adjust) {
    platform::x11::BackendOptions options;
    options.preferencesDirectory = preferencesDirectory;
    return installLiveBackend(std::move(options), adjust);
}

std::string installLiveBackend(platform::x11::BackendOptions options,
                               const std::function<void(platform::Services&)>& adjust) {
    options.display = QString::fromStdString(Session::shared().display());
    QString error;
    auto services = platform::x11::makeServices(options, &error);
    if (!services) return error.isEmpty() ? std::string("no live backend") : error.toStdString();
    if (adjust) adjust(*services);
    platform::install(*services);
    return {};
}

void LiveBackendTest::SetUp() {
    ASSERT_TRUE(Session::shared().isRunning()) << "no X session";
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(installLiveBackend(prefs()), "");
    std::string error;
    conn = openSessionConnection(&error);
    ASSERT_TRUE(conn) << error;
    conn->setDispatcher(platform::installed().dispatcher);
}

void LiveBackendTest::TearDown() {
    conn.reset();
    platform::uninstall();
}

std::shared_ptr<platform::x11::Connection> openSessionConnection(std::string* error) {
    QString why;
    auto conn = platform::x11::Connection::open(QString::fromStdString(Session::shared().display()), &why);
    if (!conn && error) *error = why.toStdString();
    return conn;
}

}  // namespace x11test
