#include "platform/x11/x11_workspace.h"

#include "platform/linux/file_reveal.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "platform/desktop_entry.h"
#include "platform/dispatch.h"
#include "platform/x11/x11_client_groups.h"
#include "platform/x11/x11_icons.h"

namespace platform::x11 {
namespace wn = workspace_notifications;

namespace {

QString executableOf(std::int32_t pid) {
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
}

// Drawn once: every file without an icon of its own (thousands of desktop
// entries may name none that exists) shares these pixels.
QImage genericIcon() {
    static const QImage shared = [] {
        QImage img(64, 64, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(90, 90, 100), 2));
        p.setBrush(QColor(200, 205, 215));
        p.drawRoundedRect(QRectF(6, 6, 52, 52), 12, 12);
        p.setBrush(QColor(120, 130, 150));
        p.drawRect(QRectF(16, 18, 32, 6));
        p.end();
        img.setText(genericIconKey, QStringLiteral("1"));
        return img;
    }();
    return shared;
}

}  // namespace

std::optional<unsigned long long> startTimeFromStatLine(const QByteArray& line) {
    // "pid (comm) state ppid ...": the command may hold spaces and parentheses,
    // so the fields start after the last closing parenthesis.
    const int close = line.lastIndexOf(')');
    if (close < 0) return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    // Field 22 of the whole line is the 20th after the command.
    if (fields.size() < 20) return std::nullopt;
    bool ok = false;
    unsigned long long v = fields[19].toULongLong(&ok);
    if (!ok) return std::nullopt;
    return v;
}

std::optional<unsigned long long> processStartTime(std::int32_t pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return startTimeFromStatLine(f.read(4096));
}

struct X11Workspace::Hub {
    std::mutex mutex;
    int next = 1;
    std::map<int, Callback> observers;
};

X11Workspace::X11Workspace(std::shared_ptr<Connection> connection, std::shared_ptr<X11Accessibility> accessibility,
                           Options options)
    : conn_(std::move(connection)),
      ax_(std::move(accessibility)),
      options_(std::move(options)),
      entries_(options_.entries ? options_.entries : std::make_shared<DesktopEntryIndex>(options_.desktopDirectories)),
      hub_(std::make_shared<Hub>()) {
    conn_->addListener(this);
}

void X11Workspace::readExistingWindows() {
    firstRead_.ensure([this] {
        auto clients = conn_->knownClients();
        const auto infos = conn_->windowInfos({clients.begin(), clients.end()});
        const std::int32_t active = activePid();
        for (const auto& info : infos)
            if (info.exists && info.pid > 0) noteFullScreen(info);
        std::lock_guard lock(mutex_);
        for (const auto& info : infos)
            if (info.exists && info.pid > 0) {
                windowPids_[info.window] = info.pid;
                windowHidden_[info.window] = info.hasState(conn_->ewmh()->_NET_WM_STATE_HIDDEN);
            }
        lastActivePid_ = active;
    });
}

X11Workspace::~X11Workspace() { conn_->removeListener(this); }

QString X11Workspace::applicationKey(DesktopEntryIndex& entries, const WindowInfo& info) {
    if (auto entry = entries.match(info.gtkApplicationId, info.wmClassClass, info.wmClassInstance))
        return QStringLiteral("entry:") + entry->id;
    return Connection::defaultApplicationKey(info);
}

std::int32_t X11Workspace::memberProcess(std::int32_t app, const std::vector<WindowInfo>& windows) {
    auto alive = [](std::int32_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); };
    if (!isClientGroup(app) && alive(app)) return app;
    for (const auto& w : windows)
        if (w.processID > 0 && !isClientGroup(w.processID) && isLocalMachine(w.clientMachine, conn_->hostName()) &&
            alive(w.processID))
            return w.processID;
    return 0;
}

std::map<std::int32_t, std::vector<WindowInfo>> X11Workspace::localClientsByPid(std::int32_t only) {
    readExistingWindows();
    std::map<std::int32_t, std::vector<WindowInfo>> out;
    // With one application asked for, only its windows are copied. Clients
    // of other machines and clients without a process id come as client
    // groups (their `pid` is the group's), never under a process id of here.
    auto keep = [&](const WindowInfo& info) {
        return info.exists && info.pid > 0 && (only == 0 || info.pid == only);
    };
    for (auto& info : conn_->windowInfos(conn_->clientList(), keep)) out[info.pid].push_back(std::move(info));
    return out;
}

std::int32_t X11Workspace::activePid() {
    const xcb_window_t active = conn_->activeWindow();
    if (active == XCB_WINDOW_NONE) return 0;
    WindowInfo info = conn_->windowInfo(active);
    return info.exists ? info.pid : 0;
}

RunningApplication X11Workspace::describe(std::int32_t pid, const std::vector<WindowInfo>& windows,
                                          std::int32_t active) {
    RunningApplication app;
    app.pid = pid;
    // A client group has no process here: no executable, never ours. An
    // application of several processes is read through one that still runs.
    const std::int32_t member = pid == ::getpid() ? pid : memberProcess(pid, windows);
    const QString exe = member > 0 ? processFacts(member).executable : QString();
    if (!exe.isEmpty()) app.executablePath = exe;
    app.isActive = pid == active;
    {
        std::lock_guard lock(mutex_);
        app.isHidden = hiddenApps_.count(pid) > 0;
    }
    const bool ours = pid == ::getpid() || (!exe.isEmpty() && exe == processFacts(::getpid()).executable);
    if (ours) {
        app.bundleID = options_.ownBundleID;
        app.localizedName = options_.ownName;
        app.activationPolicy = ActivationPolicy::accessory;
        return app;
    }
    auto* e = conn_->ewmh();
    std::optional<DesktopEntry> entry;
    QString cls, inst;
    bool regular = false;
    for (const auto& w : windows) {
        if (!entry) entry = entries_->match(w.gtkApplicationId, w.wmClassClass, w.wmClassInstance);
        if (cls.isEmpty()) cls = w.wmClassClass;
        if (inst.isEmpty()) inst = w.wmClassInstance;
        const bool special = w.hasType(e->_NET_WM_WINDOW_TYPE_DOCK) || w.hasType(e->_NET_WM_WINDOW_TYPE_DESKTOP) ||
                             w.hasType(e->_NET_WM_WINDOW_TYPE_SPLASH) || w.hasType(e->_NET_WM_WINDOW_TYPE_NOTIFICATION);
        if (!special && !w.hasState(e->_NET_WM_STATE_SKIP_TASKBAR)) regular = true;
    }
    app.activationPolicy = regular ? ActivationPolicy::regular : ActivationPolicy::accessory;
    if (entry) {
        app.bundleID = entry->id;
        app.bundlePath = entry->path;
        app.localizedName = entry->name;
        return app;
    }
    if (!cls.isEmpty())
        app.bundleID = cls;
    else if (!inst.isEmpty())
        app.bundleID = inst;
    if (!exe.isEmpty()) app.bundlePath = exe;
    app.localizedName = !cls.isEmpty() ? cls : !inst.isEmpty() ? inst : QFileInfo(exe).fileName();
    return app;
}

X11Workspace::ProcessFacts X11Workspace::processFacts(std::int32_t pid) {
    // A client group names no process of this machine: nothing to read.
    if (isClientGroup(pid)) return {};
    {
        std::lock_guard lock(mutex_);
        if (auto it = processFacts_.find(pid); it != processFacts_.end()) return it->second;
    }
    // Read once per process: a process keeps its executable and start time,
    // and the entry goes when its last window does.
    ProcessFacts facts{executableOf(pid), processStartTime(pid)};
    std::lock_guard lock(mutex_);
    if (processFacts_.size() > 4096) processFacts_.clear();
    processFacts_[pid] = facts;
    return facts;
}

std::vector<RunningApplication> X11Workspace::runningApplications() {
    auto byPid = localClientsByPid();
    byPid.try_emplace(::getpid());
    const std::int32_t active = activePid();
    std::vector<std::pair<unsigned long long, RunningApplication>> apps;
    for (const auto& [pid, windows] : byPid) {
        if (pid != ::getpid() && !isProcessAlive(pid)) continue;
        const std::int32_t member = pid == ::getpid() ? pid : memberProcess(pid, windows);
        apps.emplace_back(member > 0 ? processFacts(member).startTime.value_or(~0ull) : ~0ull,
                          describe(pid, windows, active));
    }
    std::stable_sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second.pid < b.second.pid;
    });
    std::vector<RunningApplication> out;
    for (auto& a : apps) out.push_back(std::move(a.second));
    return out;
}

std::optional<RunningApplication> X11Workspace::application(std::int32_t pid) {
    auto byPid = localClientsByPid(pid);
    auto it = byPid.find(pid);
    if (it == byPid.end() && pid != ::getpid()) return std::nullopt;
    static const std::vector<WindowInfo> none;
    return describe(pid, it == byPid.end() ? none : it->second, activePid());
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    const std::int32_t pid = activePid();
    if (pid <= 0) return std::nullopt;
    return application(pid);
}

std::int32_t X11Workspace::ownProcessID() { return ::getpid(); }

bool X11Workspace::isProcessAlive(std::int32_t pid) {
    readExistingWindows();
    if (pid <= 0) return false;
    {
        // An application is alive while one of its windows is, whichever of
        // its processes is gone.
        std::lock_guard lock(mutex_);
        for (const auto& [w, app] : windowPids_)
            if (app == pid) return true;
    }
    if (isClientGroup(pid)) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool X11Workspace::activate(std::int32_t pid, bool allWindows) {
    if (pid == ::getpid()) return true;
    if (!localClientsByPid(pid).count(pid)) return false;
    bool wasHidden;
    {
        std::lock_guard lock(mutex_);
        wasHidden = hiddenApps_.count(pid) > 0;
    }
    if (wasHidden) unhide(pid);
    auto* e = conn_->ewmh();
    std::vector<xcb_window_t> visible;
    std::set<xcb_window_t> restoring;
    {
        std::lock_guard lock(mutex_);
        restoring = restoring_;
    }
    // Windows just asked back from a hide count as shown: the manager has
    // not answered yet, and nobody waits for it.
    for (const auto& w : ax_->windowsOf(pid))
        if (!w.hasState(e->_NET_WM_STATE_HIDDEN) || restoring.count(w.window)) visible.push_back(w.window);
    // An application whose windows are all minimised becomes active without
    // showing one, as on any desktop.
    if (visible.empty()) return true;
    // The requests are sent and that is all: the manager's answer arrives as
    // property changes, which update what is read and tell the observers.
    const xcb_timestamp_t time = conn_->serverTime();
    if (allWindows)
        for (std::size_t i = visible.size(); i-- > 1;)
            conn_->askToActivate(visible[i], time);
    conn_->askToActivate(visible.front(), time);
    conn_->flush();
    return true;
}

void X11Workspace::reopen(std::int32_t pid) {
    activate(pid, false);
    // Unlike activating it, reopening an application whose windows are all
    // minimised shows one of them again: the user asked for the application.
    auto* e = conn_->ewmh();
    const auto windows = ax_->windowsOf(pid);
    if (windows.empty() || std::any_of(windows.begin(), windows.end(), [&](const WindowInfo& w) {
            return !w.hasState(e->_NET_WM_STATE_HIDDEN);
        }))
        return;
    conn_->askToActivate(windows.front().window);
    conn_->flush();
}

void X11Workspace::setHidden(std::int32_t pid, bool hidden, bool notify) {
    {
        std::lock_guard lock(mutex_);
        bool was = hiddenApps_.count(pid) > 0;
        if (was == hidden) return;
        if (hidden)
            hiddenApps_.insert(pid);
        else
            hiddenApps_.erase(pid);
    }
    hiddenChanges_.fetch_add(1, std::memory_order_acq_rel);
    if (!notify) return;
    post(hidden ? wn::didHideApplication : wn::didUnhideApplication, pid);
    ax_->postApplicationNotification(pid, hidden ? ax::names::applicationHidden : ax::names::applicationShown);
}

bool X11Workspace::hide(std::int32_t pid) {
    if (pid == ::getpid()) return false;
    auto byPid = localClientsByPid(pid);
    auto it = byPid.find(pid);
    if (it == byPid.end()) return false;
    auto* e = conn_->ewmh();
    // A window on this desktop that is not minimised is shown, even while
    // its map is still on its way (one just restored). Windows on other
    // desktops stay as they are: bringing them back would switch desktops.
    const std::uint32_t current = conn_->currentDesktop();
    auto onThisDesktop = [&](const WindowInfo& w) {
        return !w.desktop || *w.desktop == current || *w.desktop == 0xffffffffu;
    };
    std::set<xcb_window_t> minimised;
    for (const auto& w : it->second)
        if (!w.hasState(e->_NET_WM_STATE_HIDDEN) && (w.viewable || onThisDesktop(w))) minimised.insert(w.window);
    {
        std::lock_guard lock(mutex_);
        minimisedByHide_[pid].insert(minimised.begin(), minimised.end());
        // What the hide acted on is what a later change is measured from: a
        // late report of an earlier restore is not the window coming back.
        for (auto w : minimised) windowHidden_[w] = false;
    }
    setHidden(pid, true, true);
    for (auto w : minimised) conn_->askToMinimize(w);
    conn_->flush();
    return true;
}

bool X11Workspace::unhide(std::int32_t pid) {
    if (!localClientsByPid(pid).count(pid)) return false;
    std::set<xcb_window_t> restore;
    {
        std::lock_guard lock(mutex_);
        if (auto it = minimisedByHide_.find(pid); it != minimisedByHide_.end()) {
            restore = std::move(it->second);
            minimisedByHide_.erase(it);
        }
        restoring_.insert(restore.begin(), restore.end());
    }
    setHidden(pid, false, true);
    // Windows the user minimised on their own stay minimised. The others are
    // restored as a pager restores them, by activation; a manager that
    // ignores that for a minimised window gets a map request a moment later.
    if (restore.empty()) return true;
    const xcb_timestamp_t time = conn_->serverTime();
    for (auto w : restore) conn_->askToActivate(w, time);
    conn_->flush();
    followRestore(conn_, std::move(restore), restoreFollowUps, false);
    return true;
}

// A manager that ignores activation for a minimised window gets a map
// request once it has unmapped the window; a window still mapped (its
// minimise not finished, as on a busy machine), or one whose manager is known
// to answer activation, is asked by activation again a moment later.
void X11Workspace::followRestore(const std::weak_ptr<Connection>& weak, std::set<xcb_window_t> pending, int left,
                                 bool mapped) {
    MainQueue::asyncAfter(
        X11Accessibility::restoreByActivationSeconds, [weak, pending = std::move(pending), left, mapped]() mutable {
            auto conn = weak.lock();
            if (!conn || conn->isBroken()) return;
            const xcb_atom_t hidden = conn->ewmh()->_NET_WM_STATE_HIDDEN;
            std::vector<WindowInfo> still;
            std::set<xcb_window_t> stillWindows;
            for (const auto& info : conn->windowInfos({pending.begin(), pending.end()})) {
                if (!info.exists) continue;
                if (!info.hasState(hidden)) {
                    if (!mapped) conn->noteRestoredByActivation();
                    continue;
                }
                still.push_back(info);
                stillWindows.insert(info.window);
            }
            if (still.empty()) return;
            bool map = false;
            const xcb_timestamp_t time = conn->serverTime();
            for (const auto& info : still)
                if (conn->askToRestore(info, time)) map = true;
            conn->flush();
            if (left > 1) followRestore(weak, std::move(stillWindows), left - 1, mapped || map);
        });
}

void X11Workspace::checkCameBack(std::int32_t pid, xcb_window_t window) {
    {
        std::lock_guard lock(mutex_);
        if (!comeBackChecks_.insert(window).second) return;
    }
    // A hide or unhide meanwhile is the newer word on the application.
    const std::uint64_t changes = hiddenChanges_.load(std::memory_order_acquire);
    MainQueue::asyncAfter(comeBackSettleSeconds, [this, weak = std::weak_ptr<bool>(alive_), pid, window, changes] {
        if (weak.expired()) return;
        // Seen hidden since the hide (or gone): its return, if any, is told as such.
        auto stillInQuestion = [&] {
            const auto seen = windowHidden_.find(window);
            return hiddenApps_.count(pid) && seen != windowHidden_.end() && !seen->second &&
                   hiddenChanges_.load(std::memory_order_acquire) == changes;
        };
        {
            std::lock_guard lock(mutex_);
            comeBackChecks_.erase(window);
            if (!stillInQuestion()) return;
        }
        const WindowInfo info = conn_->windowInfo(window);
        if (!info.exists || !info.viewable || info.hasState(conn_->ewmh()->_NET_WM_STATE_HIDDEN)) return;
        {
            std::lock_guard lock(mutex_);
            if (!stillInQuestion()) return;
            minimisedByHide_.erase(pid);
        }
        setHidden(pid, false, true);
    });
}

bool X11Workspace::terminate(std::int32_t pid) {
    if (pid == ::getpid()) return false;
    auto byPid = localClientsByPid(pid);
    auto it = byPid.find(pid);
    if (it == byPid.end()) return false;
    for (const auto& w : it->second) conn_->sendRootMessage(w.window, conn_->ewmh()->_NET_CLOSE_WINDOW, 0, sourcePager);
    conn_->flush();
    return true;
}

bool X11Workspace::forceTerminate(std::int32_t pid) {
    // Only a process that owns a window on this machine, and never ourselves
    // or init: a stale or foreign id must not kill an unrelated process.
    if (pid <= 1 || pid == ::getpid()) return false;
    auto byPid = localClientsByPid(pid);
    auto it = byPid.find(pid);
    if (it == byPid.end()) return false;
    // Every process of the application that owns one of its windows here;
    // a window without one (or of another machine) has no process of ours
    // to signal: the X server drops its client's connection, as xkill does.
    std::set<std::int32_t> processes;
    bool dropped = false;
    for (const auto& w : it->second) {
        const bool local = w.processID > 1 && !isClientGroup(w.processID) &&
                           isLocalMachine(w.clientMachine, conn_->hostName());
        if (local && w.processID != ::getpid()) {
            processes.insert(w.processID);
        } else if (!local) {
            xcb_kill_client(conn_->xcb(), w.window);
            dropped = true;
        }
    }
    if (dropped) conn_->flush();
    bool killed = false;
    for (auto p : processes) killed = ::kill(p, SIGKILL) == 0 || killed;
    return killed || dropped;
}

std::optional<std::int32_t> X11Workspace::runningApplicationOf(const DesktopEntry& entry) {
    auto* e = conn_->ewmh();
    std::vector<WindowInfo> windows;
    for (auto& w : conn_->windowInfos(conn_->clientList()))
        if (w.exists && w.pid > 0 && w.pid != ::getpid() && !w.hasType(e->_NET_WM_WINDOW_TYPE_DOCK) &&
            !w.hasType(e->_NET_WM_WINDOW_TYPE_DESKTOP))
            windows.push_back(std::move(w));
    if (windows.empty()) return std::nullopt;
    std::vector<xcb_window_t> ids;
    for (const auto& w : windows) ids.push_back(w.window);
    // Read only now: a launch is rare, and most windows name no file.
    const auto kde = conn_->textProperties(ids, conn_->atoms().kdeDesktopFile);
    const auto bamf = conn_->textProperties(ids, conn_->atoms().bamfDesktopFile);
    const QString fileName = entry.id + QStringLiteral(".desktop");
    auto namesEntry = [&](const QString& named) {
        return !named.isEmpty() && (named == entry.id || named == fileName || named == entry.path ||
                                    QFileInfo(named).fileName() == fileName);
    };
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto& w = windows[i];
        const bool byClass = !entry.startupWMClass.isEmpty() &&
                             (w.wmClassClass == entry.startupWMClass || w.wmClassInstance == entry.startupWMClass);
        if (byClass || namesEntry(w.gtkApplicationId) || namesEntry(kde[i]) || namesEntry(bamf[i])) return w.pid;
    }
    // The program the entry runs, unless it only starts another one (a
    // shell, an interpreter, a sandbox), whose process says nothing of which.
    const QStringList args = desktopExecArguments(entry.exec);
    if (args.isEmpty()) return std::nullopt;
    static const QRegularExpression launcher(
        QStringLiteral("^(env|sh|bash|dash|zsh|python[0-9.]*|perl|ruby|node|java|gjs|mono|wine|flatpak|snap|"
                       "sudo|pkexec|xdg-open|gio|exo-open)$"));
    const QString program = QStandardPaths::findExecutable(args.front());
    if (program.isEmpty() || launcher.match(QFileInfo(program).fileName()).hasMatch()) return std::nullopt;
    const QString canonical = QFileInfo(program).canonicalFilePath();
    for (const auto& w : windows) {
        if (w.processID <= 0 || isClientGroup(w.processID) || !isLocalMachine(w.clientMachine, conn_->hostName()))
            continue;
        const QString exe = processFacts(w.processID).executable;
        if (!exe.isEmpty() && (exe == program || exe == canonical)) return w.pid;
    }
    return std::nullopt;
}

void X11Workspace::openApplication(const QString& path, std::function<void(OpenResult)> completion) {
    OpenResult result;
    QFileInfo fi(path);
    // An application that runs already is brought forward, as opening it
    // does on any desktop; a second copy starts only when none runs.
    if (path.endsWith(QStringLiteral(".desktop")))
        if (auto entry = parseDesktopEntry(path, fi.completeBaseName()))
            if (auto running = runningApplicationOf(*entry)) {
                reopen(*running);
                result.ok = true;
                if (completion) conn_->postToMain([completion, result] { completion(result); });
                return;
            }
    QString program;
    QStringList args;
    bool inTerminal = false;
    if (path.endsWith(QStringLiteral(".desktop"))) {
        if (auto entry = parseDesktopEntry(path, fi.completeBaseName())) {
            args = desktopExecArguments(entry->exec);
            if (!args.isEmpty()) program = args.takeFirst();
            inTerminal = entry->terminal;
        }
    } else if (fi.isFile() && fi.isExecutable()) {
        program = fi.absoluteFilePath();
    }
    const QString name = fi.fileName();
    if (!program.isEmpty() && inTerminal) {
        // A terminal starts even when the program it is to run is missing:
        // look first, so that such a launch fails as any other would.
        QStringList command =
            desktop_entry::programExists(program) ? desktop_entry::inTerminal(QStringList{program} + args) : QStringList();
        if (command.isEmpty())
            result.errorDescription = desktop_entry::programExists(program)
                                          ? QStringLiteral("No terminal was found to run “%1”.").arg(name)
                                          : QString::fromLocal8Bit(std::strerror(ENOENT));
        program = command.isEmpty() ? QString() : command.takeFirst();
        args = command;
    }
    if (program.isEmpty()) {
        if (result.errorDescription.isEmpty())
            result.errorDescription = QStringLiteral("The application “%1” can’t be opened.").arg(name);
    } else {
        QProcess process;
        process.setProgram(program);
        process.setArguments(args);
        result.ok = process.startDetached();
        // The system's reason, without the call Qt names before it
        // ("execv: No such file or directory").
        const QString error = process.errorString();
        if (!result.ok) result.errorDescription = error.mid(error.lastIndexOf(QStringLiteral(": ")) + 1).trimmed();
    }
    if (completion) conn_->postToMain([completion, result] { completion(result); });
}

bool X11Workspace::openURL(const QString& url) {
    QUrl u(url);
    if (!u.isValid()) return false;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {u.toString()});
}

bool X11Workspace::revealInFileViewer(const QString& path) {
    // A failure found out later is heard, as one found at once is by the caller.
    return linux_backend::revealInFileManager(path, [conn = conn_] {
        xcb_bell(conn->xcb(), 0);
        conn->flush();
    });
}

std::optional<QString> X11Workspace::urlForApplication(const QString& bundleID) {
    if (auto e = entries_->byId(bundleID)) return e->path;
    return std::nullopt;
}

std::optional<QImage> X11Workspace::iconForApplication(std::int32_t pid) {
    auto byPid = localClientsByPid(pid);
    auto it = byPid.find(pid);
    if (it == byPid.end()) return std::nullopt;
    // The desktop entry's icon through the user's icon theme first: it is
    // the one the desktop's menus show, drawn for any size.
    for (const auto& w : it->second)
        if (auto entry = entries_->match(w.gtkApplicationId, w.wmClassClass, w.wmClassInstance))
            if (auto img = desktopIcon(entry->icon)) return img;
    // Then the pixels the client gives itself.
    for (const auto& w : it->second) {
        int width = 0, height = 0;
        auto pixels = conn_->iconPixels(w.window, 64, width, height);
        if (auto img = imageFromPixels(pixels, width, height)) return img;
    }
    return std::nullopt;
}

QImage X11Workspace::iconForFile(const QString& path) {
    if (path.endsWith(QStringLiteral(".desktop")))
        if (auto entry = parseDesktopEntry(path, QFileInfo(path).completeBaseName()))
            if (auto img = desktopIcon(entry->icon)) return *img;
    return genericIcon();
}

QString X11Workspace::iconImageFile(const QString& path) {
    if (!path.endsWith(QStringLiteral(".desktop"))) return {};
    const auto entry = parseDesktopEntry(path, QFileInfo(path).completeBaseName());
    return entry ? desktopIconFile(entry->icon) : QString();
}

QString X11Workspace::displayName(const QString& path) {
    QFileInfo fi(path);
    if (path.endsWith(QStringLiteral(".desktop")))
        if (auto entry = parseDesktopEntry(path, fi.completeBaseName())) return entry->name;
    QString name = fi.fileName();
    if (name.endsWith(QStringLiteral(".app"))) name.chop(4);
    return name;
}

int X11Workspace::addObserver(Callback callback) {
    readExistingWindows();
    std::lock_guard lock(hub_->mutex);
    int token = hub_->next++;
    hub_->observers[token] = std::move(callback);
    return token;
}

void X11Workspace::removeObserver(int token) {
    std::lock_guard lock(hub_->mutex);
    hub_->observers.erase(token);
}

void X11Workspace::post(const QString& name, std::int32_t pid) {
    conn_->postToMain([hub = hub_, name, pid] {
        std::vector<std::pair<int, Callback>> targets;
        {
            std::lock_guard lock(hub->mutex);
            targets.assign(hub->observers.begin(), hub->observers.end());
        }
        for (auto& [token, cb] : targets) {
            bool still;
            {
                std::lock_guard lock(hub->mutex);
                still = hub->observers.count(token) > 0;
            }
            if (still && cb) cb(name, pid);
        }
    });
}

bool X11Workspace::noteFullScreen(const WindowInfo& info, bool gone) {
    auto* e = conn_->ewmh();
    const bool now = !gone && info.hasState(e->_NET_WM_STATE_FULLSCREEN) && !info.hasState(e->_NET_WM_STATE_HIDDEN);
    std::lock_guard lock(fullScreenMutex_);
    const bool before = fullScreen_.count(info.window) > 0;
    if (now) fullScreen_.insert(info.window);
    else fullScreen_.erase(info.window);
    return now != before;
}

void X11Workspace::clientsChanged(const std::vector<xcb_window_t>& added, const std::vector<xcb_window_t>& removed) {
    if (!firstRead_.done()) return;
    auto infos = conn_->windowInfos(added);
    // A window that opens in full screen, or closes in it, changes what
    // covers the displays as a switch of desktops does.
    bool fullScreenChanged = false;
    for (const auto& info : infos) fullScreenChanged |= info.exists && noteFullScreen(info);
    for (auto w : removed) {
        WindowInfo gone;
        gone.window = w;
        fullScreenChanged |= noteFullScreen(gone, true);
    }
    if (fullScreenChanged) post(wn::activeSpaceDidChange, 0);
    std::set<std::int32_t> launched, terminated;
    {
        std::lock_guard lock(mutex_);
        std::set<std::int32_t> before;
        for (auto& [w, pid] : windowPids_) before.insert(pid);
        for (const auto& info : infos)
            if (info.exists && info.pid > 0) {
                windowPids_[info.window] = info.pid;
                windowProcesses_[info.window] = info.processID;
                windowHidden_[info.window] = info.hasState(conn_->ewmh()->_NET_WM_STATE_HIDDEN);
            }
        for (auto w : removed) {
            // What was read of a process goes with its last window: its id
            // may name another program later.
            if (auto p = windowProcesses_.find(w); p != windowProcesses_.end()) {
                const std::int32_t process = p->second;
                windowProcesses_.erase(p);
                if (std::none_of(windowProcesses_.begin(), windowProcesses_.end(),
                                 [&](const auto& e) { return e.second == process; }))
                    processFacts_.erase(process);
            }
            windowPids_.erase(w);
            windowHidden_.erase(w);
            restoring_.erase(w);
        }
        std::set<std::int32_t> after;
        for (auto& [w, pid] : windowPids_) after.insert(pid);
        for (auto pid : after)
            if (!before.count(pid)) launched.insert(pid);
        for (auto pid : before)
            if (!after.count(pid)) {
                terminated.insert(pid);
                processFacts_.erase(pid);
                hiddenApps_.erase(pid);
                minimisedByHide_.erase(pid);
            }
    }
    for (auto pid : launched) post(wn::didLaunchApplication, pid);
    for (auto pid : terminated) post(wn::didTerminateApplication, pid);
}

void X11Workspace::xEvent(const xcb_generic_event_t* event) {
    if (!firstRead_.done()) return;
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    auto* e = conn_->ewmh();
    if (p->window == conn_->root()) {
        if (p->atom == e->_NET_CURRENT_DESKTOP) {
            post(wn::activeSpaceDidChange, 0);
        } else if (p->atom == e->_NET_ACTIVE_WINDOW) {
            const std::int32_t now = activePid();
            std::int32_t before;
            {
                std::lock_guard lock(mutex_);
                before = lastActivePid_;
                lastActivePid_ = now;
            }
            if (now == before) return;
            if (before > 0) post(wn::didDeactivateApplication, before);
            if (now > 0) post(wn::didActivateApplication, now);
        }
        return;
    }
    if (p->atom != e->_NET_WM_STATE) return;
    // A window entering or leaving full screen (or minimised in it) is
    // noticed at once, not by the next poll.
    if (conn_->isClient(p->window))
        if (const WindowInfo state = conn_->windowInfo(p->window); state.exists && noteFullScreen(state))
            post(wn::activeSpaceDidChange, 0);
    std::int32_t pid = 0;
    {
        std::lock_guard lock(mutex_);
        auto it = windowPids_.find(p->window);
        if (it == windowPids_.end()) return;
        pid = it->second;
    }
    WindowInfo info = conn_->windowInfo(p->window);
    if (!info.exists) return;
    const bool hidden = info.hasState(e->_NET_WM_STATE_HIDDEN);
    bool wasHidden, appHidden, actedOn = false;
    {
        std::lock_guard lock(mutex_);
        // What the window was seen as is read only now: a hide made while
        // the window was being read resets it, and is the newer word.
        wasHidden = windowHidden_[p->window];
        windowHidden_[p->window] = hidden;
        if (!hidden) restoring_.erase(p->window);
        appHidden = hiddenApps_.count(pid) > 0;
        if (auto it = minimisedByHide_.find(pid); it != minimisedByHide_.end()) actedOn = it->second.count(p->window);
    }
    if (!wasHidden && !hidden && appHidden && actedOn && info.viewable) checkCameBack(pid, p->window);
    // A window of a hidden application came back by other means: the
    // application is no longer hidden.
    if (wasHidden && !hidden && appHidden) {
        {
            std::lock_guard lock(mutex_);
            minimisedByHide_.erase(pid);
        }
        setHidden(pid, false, true);
    }
}

}  // namespace platform::x11
