#include "platform/x11/x11_launcher_entry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <limits>
#include <set>

namespace platform::x11 {
namespace {

QVariant plain(const QVariant& v) {
    if (v.canConvert<QDBusVariant>() && v.userType() == qMetaTypeId<QDBusVariant>())
        return v.value<QDBusVariant>().variant();
    return v;
}

// Identities of the Dock tree's elements: a kind byte of their own above the index.
constexpr std::uint64_t badgeKind = std::uint64_t(0x51) << 56;
constexpr std::uint64_t dockIdentity = badgeKind | 0xffffffu;

QString sessionBusAddress() {
    QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
            address = QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
    }
    return address;
}

}  // namespace

LauncherBadge updatedBadge(LauncherBadge badge, const QVariantMap& properties) {
    for (auto it = properties.constBegin(); it != properties.constEnd(); ++it) {
        const QVariant v = plain(it.value());
        const int type = v.typeId();
        if (it.key() == QStringLiteral("count")) {
            if (type != QMetaType::LongLong && type != QMetaType::Int && type != QMetaType::UInt &&
                type != QMetaType::ULongLong)
                continue;
            const qint64 count = v.toLongLong();
            // A count no badge could show is noise.
            if (count >= 0 && count < std::numeric_limits<int>::max()) badge.count = count;
        } else if (it.key() == QStringLiteral("count-visible") && type == QMetaType::Bool) {
            badge.countVisible = v.toBool();
        } else if (it.key() == QStringLiteral("urgent") && type == QMetaType::Bool) {
            badge.urgent = v.toBool();
        }
    }
    return badge;
}

bool isUnread(const LauncherBadge& badge) { return (badge.countVisible && badge.count > 0) || badge.urgent; }

QString desktopIdFromAppUri(const QString& uri) {
    static const QString prefix = QStringLiteral("application://");
    static const QString suffix = QStringLiteral(".desktop");
    if (!uri.startsWith(prefix) || !uri.endsWith(suffix)) return {};
    const QString id = uri.mid(prefix.size(), uri.size() - prefix.size() - suffix.size());
    if (id.isEmpty() || id.contains(u'/')) return {};
    return id;
}

LauncherEntries::LauncherEntries() {
    static std::atomic<int> serial{0};
    connectionName_ = QStringLiteral("quorvel-launcher-entries-%1").arg(++serial);
    // The bus is joined once the event loop runs, so the bars' start-up does
    // not wait for it: no bar shows a badge before then anyway.
    QTimer::singleShot(0, this, [this] { listen(); });
}

void LauncherEntries::listen() {
    const QString address = sessionBusAddress();
    if (address.isEmpty()) return;
    QDBusConnection bus = QDBusConnection::connectToBus(address, connectionName_);
    if (!bus.isConnected()) return;
    // From any sender and any object path, as every dock listens.
    listening_ = bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                             QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap)));
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(bus);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& s) { senderGone(s); });
}

LauncherEntries::~LauncherEntries() {
    delete watcher_;
    QDBusConnection::disconnectFromBus(connectionName_);
}

std::vector<QString> LauncherEntries::unread() const {
    std::lock_guard lock(mutex_);
    std::vector<QString> out;
    for (const auto& [id, entry] : entries_)
        if (isUnread(entry.badge)) out.push_back(id);
    return out;
}

void LauncherEntries::update(const QString& appUri, const QVariantMap& properties) {
    const QString id = desktopIdFromAppUri(appUri);
    if (id.isEmpty()) return;
    const QString sender = calledFromDBus() ? message().service() : QString();
    bool moved = false;
    {
        std::lock_guard lock(mutex_);
        Entry& e = entries_[id];
        e.sender = sender;
        const LauncherBadge badge = updatedBadge(e.badge, properties);
        moved = badge != e.badge;
        e.badge = badge;
    }
    if (moved && changed_) changed_();
    // Its badges go when the sender leaves the bus.
    if (watcher_ && !sender.isEmpty() && !watcher_->watchedServices().contains(sender)) watcher_->addWatchedService(sender);
}

void LauncherEntries::senderGone(const QString& service) {
    bool moved = false;
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->second.sender != service) {
                ++it;
                continue;
            }
            moved = moved || it->second.badge != LauncherBadge{};
            it = entries_.erase(it);
        }
    }
    if (watcher_) watcher_->removeWatchedService(service);
    if (moved && changed_) changed_();
}

BadgeDock::BadgeDock(std::shared_ptr<Connection> connection, std::shared_ptr<Workspace> workspace,
                     std::shared_ptr<LauncherEntries> entries)
    : conn_(std::move(connection)), workspace_(std::move(workspace)), entries_(std::move(entries)) {
    // A badge read through the desktop's change count: polls resting on an
    // unchanged desktop must hear of it like of a window change.
    if (entries_)
        entries_->setChangeCallback([weak = std::weak_ptr<Connection>(conn_)] {
            if (auto conn = weak.lock()) conn->noteChange();
        });
}

std::vector<BadgeDock::Badge> BadgeDock::badges() {
    std::vector<Badge> out;
    std::set<QString> seen;
    auto add = [&](const QString& bundleID, QString path, const QString& label) {
        if (bundleID.isEmpty() || !seen.insert(bundleID).second) return;
        // A key for an application without any file of its own.
        if (path.isEmpty()) path = QStringLiteral("/nonexistent/x11-client/") + bundleID;
        out.push_back({bundleID, path, label});
    };
    if (entries_)
        for (const QString& id : entries_->unread())
            if (auto path = workspace_->urlForApplication(id)) add(id, *path, QStringLiteral("1"));
    std::lock_guard lock(mutex_);
    for (const auto& b : out) bundleByPath_[b.path] = b.bundleID;
    // Forget paths of long-gone badges, but keep a few for readers between calls.
    if (bundleByPath_.size() > 256) {
        bundleByPath_.clear();
        for (const auto& b : out) bundleByPath_[b.path] = b.bundleID;
    }
    return out;
}

std::optional<QString> BadgeDock::bundleIDForPath(const QString& path) const {
    std::lock_guard lock(mutex_);
    if (auto it = bundleByPath_.find(path); it != bundleByPath_.end()) return it->second;
    return std::nullopt;
}

BadgeWorkspace::BadgeWorkspace(std::shared_ptr<Workspace> inner, std::shared_ptr<BadgeDock> dock)
    : ForwardingWorkspace(std::move(inner)), dock_(std::move(dock)) {}

RunningApplication BadgeWorkspace::dockApplication() {
    RunningApplication dock;
    dock.pid = badgeDockProcessID;
    dock.bundleID = QStringLiteral("com.apple.dock");
    dock.localizedName = QStringLiteral("Dock");
    dock.activationPolicy = ActivationPolicy::prohibited;
    return dock;
}

std::vector<RunningApplication> BadgeWorkspace::runningApplications() {
    auto apps = inner_->runningApplications();
    apps.push_back(dockApplication());
    return apps;
}

std::optional<RunningApplication> BadgeWorkspace::application(std::int32_t pid) {
    if (pid == badgeDockProcessID) return dockApplication();
    return inner_->application(pid);
}

bool BadgeWorkspace::isProcessAlive(std::int32_t pid) {
    return pid == badgeDockProcessID || inner_->isProcessAlive(pid);
}

BadgeAccessibility::BadgeAccessibility(std::shared_ptr<ax::Accessibility> inner, std::shared_ptr<BadgeDock> dock)
    : inner_(std::move(inner)), dock_(std::move(dock)) {}

ax::Element BadgeAccessibility::applicationElement(std::int32_t pid) {
    if (pid == badgeDockProcessID) return ax::Element(dockIdentity, pid);
    return inner_->applicationElement(pid);
}

ax::Error BadgeAccessibility::copyAttribute(const ax::Element& element, const QString& attribute, ax::Value& out) {
    if (element.processID() != badgeDockProcessID) return inner_->copyAttribute(element, attribute, out);
    namespace names = ax::names;
    if (element.identity() == dockIdentity) {
        if (attribute != names::children) return ax::Error::noValue;
        auto badges = dock_->badges();
        ax::ElementList list;
        for (std::size_t i = 0; i < badges.size(); ++i) list.emplace_back(badgeKind | i, badgeDockProcessID);
        {
            std::lock_guard lock(mutex_);
            children_ = std::move(badges);
        }
        out = list;
        return ax::Error::success;
    }
    const std::size_t index = std::size_t(element.identity() & 0xffffffu);
    std::lock_guard lock(mutex_);
    if ((element.identity() & ~std::uint64_t(0xffffffu)) != badgeKind || index >= children_.size())
        return ax::Error::invalidElement;
    const auto& b = children_[index];
    if (attribute == names::statusLabel) {
        out = b.label;
    } else if (attribute == names::url) {
        out = ax::Url{b.path, QStringLiteral("file://") + b.path};
    } else {
        return ax::Error::noValue;
    }
    return ax::Error::success;
}

ax::Error BadgeAccessibility::setAttribute(const ax::Element& element, const QString& attribute,
                                           const ax::Value& value) {
    if (element.processID() == badgeDockProcessID) return ax::Error::attributeUnsupported;
    return inner_->setAttribute(element, attribute, value);
}

ax::Error BadgeAccessibility::performAction(const ax::Element& element, const QString& action) {
    if (element.processID() == badgeDockProcessID) return ax::Error::actionUnsupported;
    return inner_->performAction(element, action);
}

ax::Error BadgeAccessibility::setMessagingTimeout(const ax::Element& element, double seconds) {
    if (element.processID() == badgeDockProcessID) return ax::Error::success;
    return inner_->setMessagingTimeout(element, seconds);
}

ax::Error BadgeAccessibility::pid(const ax::Element& element, std::int32_t& out) {
    if (element.processID() == badgeDockProcessID) {
        out = badgeDockProcessID;
        return ax::Error::success;
    }
    return inner_->pid(element, out);
}

BadgeBundles::BadgeBundles(std::shared_ptr<Bundles> inner, std::shared_ptr<BadgeDock> dock)
    : inner_(std::move(inner)), dock_(std::move(dock)) {}

std::optional<QString> BadgeBundles::bundleIdentifier(const QString& path) {
    if (auto id = dock_->bundleIDForPath(path)) return id;
    return inner_->bundleIdentifier(path);
}

}  // namespace platform::x11
