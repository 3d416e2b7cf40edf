#pragma once
// Unread badges on a Linux desktop.
//
// Linux docks and task bars take application badges from the signal
// com.canonical.Unity.LauncherEntry.Update(s app_uri, a{sv} properties) on
// the session bus: an application (or a helper of it) sends
// "application://<desktop id>.desktop" with "count" (int64),
// "count-visible" (bool) and "urgent" (bool), and a later signal changes only
// the keys it carries. A window that asks for attention
// (_NET_WM_STATE_DEMANDS_ATTENTION, or the ICCCM urgency hint of WM_HINTS)
// says so itself, on its window (X11Accessibility): it marks that window,
// not every window of its application.
//
// The program reads unread badges from the Dock's accessibility tree: an
// application with the Dock's bundle identifier whose children carry a
// status label and the badged application's URL. On X11 that tree is made
// here: a Dock application (never shown, never a process) whose children are
// the badged applications, each with the path of its desktop entry (or of
// its executable) as URL; the bundle of such a path is the badged
// application's identifier.
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/accessibility.h"
#include "platform/bundle.h"
#include "platform/workspace.h"
#include "platform/x11/x11_connection.h"

class QDBusServiceWatcher;

namespace platform::x11 {

struct LauncherBadge {
    qint64 count = 0;
    bool countVisible = false;
    bool urgent = false;
    friend bool operator==(const LauncherBadge&, const LauncherBadge&) = default;
};
// The badge after one Update signal: keys it does not carry (or carries with
// another type) keep their value.
LauncherBadge updatedBadge(LauncherBadge badge, const QVariantMap& properties);
// The dot: a visible non-zero count, or urgency.
bool isUnread(const LauncherBadge& badge);
// "application://org.example.App.desktop" -> "org.example.App"; empty for any other URI.
QString desktopIdFromAppUri(const QString& uri);

// The badges sent on the session bus. Lives on the main thread (where
// QtDBus delivers the signals); `unread()` may be called from any thread.
class LauncherEntries : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    // Listens on the session bus of DBUS_SESSION_BUS_ADDRESS (else the user
    // bus in XDG_RUNTIME_DIR) from the event loop's first turn; without one
    // there are no badges.
    LauncherEntries();
    ~LauncherEntries() override;
    bool isListening() const { return listening_; }
    // Desktop ids with an unread badge.
    std::vector<QString> unread() const;
    // Called on the main thread after a badge changed or went.
    void setChangeCallback(std::function<void()> callback) { changed_ = std::move(callback); }

public slots:
    void update(const QString& appUri, const QVariantMap& properties);

private:
    void listen();
    void senderGone(const QString& service);

    QString connectionName_;
    bool listening_ = false;
    QDBusServiceWatcher* watcher_ = nullptr;
    mutable std::mutex mutex_;
    struct Entry {
        QString sender;
        LauncherBadge badge;
    };
    std::map<QString, Entry> entries_;
    std::function<void()> changed_;
};

// The Dock application of the badges: its made-up process id, outside the
// range of real ones and of client groups.
constexpr std::int32_t badgeDockProcessID = 0x3fffffff;

// The badged applications now, shared by the three views below.
class BadgeDock {
public:
    BadgeDock(std::shared_ptr<Connection> connection, std::shared_ptr<Workspace> workspace,
              std::shared_ptr<LauncherEntries> entries);
    struct Badge {
        QString bundleID;
        QString path;
        QString label;
    };
    // Reads the launcher entries (any thread).
    std::vector<Badge> badges();
    // The badged application of a path given out by badges().
    std::optional<QString> bundleIDForPath(const QString& path) const;
    const std::shared_ptr<LauncherEntries>& entries() const { return entries_; }

private:
    std::shared_ptr<Connection> conn_;
    std::shared_ptr<Workspace> workspace_;
    std::shared_ptr<LauncherEntries> entries_;
    mutable std::mutex mutex_;
    std::map<QString, QString> bundleByPath_;
};

// The workspace with the badges' Dock among the running applications.
class BadgeWorkspace : public ForwardingWorkspace {
public:
    BadgeWorkspace(std::shared_ptr<Workspace> inner, std::shared_ptr<BadgeDock> dock);
    std::vector<RunningApplication> runningApplications() override;
    std::optional<RunningApplication> application(std::int32_t pid) override;
    bool isProcessAlive(std::int32_t pid) override;

private:
    static RunningApplication dockApplication();
    std::shared_ptr<BadgeDock> dock_;
};

// Accessibility with the badges' Dock tree.
class BadgeAccessibility : public ax::Accessibility {
public:
    BadgeAccessibility(std::shared_ptr<ax::Accessibility> inner, std::shared_ptr<BadgeDock> dock);
    bool isProcessTrusted(bool prompt) override { return inner_->isProcessTrusted(prompt); }
    ax::Element applicationElement(std::int32_t pid) override;
    ax::Error copyAttribute(const ax::Element& element, const QString& attribute, ax::Value& out) override;
    ax::Error setAttribute(const ax::Element& element, const QString& attribute, const ax::Value& value) override;
    ax::Error performAction(const ax::Element& element, const QString& action) override;
    ax::Error setMessagingTimeout(const ax::Element& element, double seconds) override;
    ax::Error pid(const ax::Element& element, std::int32_t& out) override;
    std::shared_ptr<ax::Observer> createObserver(std::int32_t pid, ax::ObserverCallback callback) override {
        return inner_->createObserver(pid, std::move(callback));
    }
    std::optional<std::uint64_t> changeCount() override { return inner_->changeCount(); }

private:
    std::shared_ptr<ax::Accessibility> inner_;
    std::shared_ptr<BadgeDock> dock_;
    std::mutex mutex_;
    std::vector<BadgeDock::Badge> children_;  // as last listed
};

// Bundles that know the badged applications' paths.
class BadgeBundles : public Bundles {
public:
    BadgeBundles(std::shared_ptr<Bundles> inner, std::shared_ptr<BadgeDock> dock);
    std::optional<QString> mainBundleIdentifier() override { return inner_->mainBundleIdentifier(); }
    std::optional<QVariant> mainInfoValue(const QString& key) override { return inner_->mainInfoValue(key); }
    QStringList preferredLocalizations() override { return inner_->preferredLocalizations(); }
    QStringList availableLocalizations() override { return inner_->availableLocalizations(); }
    std::optional<QString> bundleIdentifier(const QString& path) override;
    std::optional<QVariant> infoValue(const QString& path, const QString& key) override {
        return inner_->infoValue(path, key);
    }

private:
    std::shared_ptr<Bundles> inner_;
    std::shared_ptr<BadgeDock> dock_;
};

}  // namespace platform::x11
