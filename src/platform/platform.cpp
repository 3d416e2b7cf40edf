#include "platform/platform.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>

#include "platform/notification_center.h"

namespace platform {
namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::atomic<std::uint64_t>& generation() {
    static std::atomic<std::uint64_t> g{1};
    return g;
}

Services& current() {
    static Services s;
    return s;
}

std::map<QString, std::unique_ptr<prefs::Domain>>& domains() {
    static std::map<QString, std::unique_ptr<prefs::Domain>> d;
    return d;
}

template <typename T>
T& require(const std::shared_ptr<T>& p, const char* what) {
    if (!p) throw std::logic_error(std::string("platform backend not installed: ") + what);
    return *p;
}

}  // namespace

std::vector<std::function<void()>>& sharedResets() {
    static std::vector<std::function<void()>> resets;
    return resets;
}

// Shared instances register from any thread on their first use.
std::mutex& sharedResetsMutex() {
    static std::mutex m;
    return m;
}

// Runs outside the registry lock: a reset may still use the old backend.
// The list is copied under its own lock and the resets run without it, so a
// reset whose destructor asks for a shared instance may register again.
void resetSharedInstances() {
    std::vector<std::function<void()>> resets;
    {
        std::lock_guard lock(sharedResetsMutex());
        resets = sharedResets();
    }
    for (auto it = resets.rbegin(); it != resets.rend(); ++it) (*it)();
}

void registerSharedInstanceReset(std::function<void()> reset) {
    std::lock_guard lock(sharedResetsMutex());
    sharedResets().push_back(std::move(reset));
}

void install(Services services) {
    resetSharedInstances();
    std::lock_guard lock(registryMutex());
    domains().clear();
    current() = std::move(services);
    generation().fetch_add(1);
    NotificationCenter::defaultCenter().reset();
}

void uninstall() {
    resetSharedInstances();
    std::lock_guard lock(registryMutex());
    domains().clear();
    current() = Services{};
    generation().fetch_add(1);
    NotificationCenter::defaultCenter().reset();
}

bool isInstalled() { return current().dispatcher != nullptr; }
const Services& installed() { return current(); }
const DesktopTraits& desktopTraits() { return current().desktop; }
std::uint64_t installationGeneration() { return generation().load(); }

ax::Accessibility& ax::api() { return require(current().accessibility, "accessibility"); }
Workspace& workspace() { return require(current().workspace, "workspace"); }
WindowServer& windowServer() { return require(current().windowServer, "window server"); }
Displays& displays() { return require(current().displays, "displays"); }
Bundles& bundles() { return require(current().bundles, "bundles"); }
ApplicationFolders& applicationFolders() {
    if (const auto& folders = current().applicationFolders) return *folders;
    static BundleFolders none({}, {});
    return none;
}
HotKeys& hotKeys() { return require(current().hotKeys, "hot keys"); }
LoginItems& loginItems() { return require(current().loginItems, "login items"); }
PowerSources& powerSources() { return require(current().powerSources, "power sources"); }
Session& session() { return require(current().session, "session"); }
std::shared_ptr<Updater> updater() { return current().updater; }
Processes& processes() { return require(current().processes, "processes"); }
Alerts& alerts() { return require(current().alerts, "alerts"); }
Application& application() { return require(current().application, "application"); }
SystemLog& systemLog() { return require(current().log, "system log"); }
void log(const QString& line) {
    if (current().log) current().log->write(line);
}

static Dispatcher& dispatcher() { return require(current().dispatcher, "dispatcher"); }

// ---- dispatch -------------------------------------------------------------

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)), impl_(dispatcher().makeQueue(label_)) {}
void SerialQueue::async(Task task) const { impl_->async(std::move(task)); }
void SerialQueue::sync(Task task) const { impl_->sync(std::move(task)); }
void SerialQueue::asyncAfter(double seconds, Task task) const { impl_->asyncAfter(seconds, std::move(task)); }
bool SerialQueue::isCurrent() const { return impl_->isCurrent(); }

void MainQueue::async(Task task) { dispatcher().mainQueue().async(std::move(task)); }
void MainQueue::sync(Task task) { dispatcher().mainQueue().sync(std::move(task)); }
void MainQueue::asyncAfter(double seconds, Task task) { dispatcher().mainQueue().asyncAfter(seconds, std::move(task)); }

std::shared_ptr<Timer> Timer::scheduled(double interval, bool repeats, std::function<void(Timer&)> block,
                                        double tolerance) {
    auto timer = std::shared_ptr<Timer>(new Timer());
    std::weak_ptr<Timer> weak = timer;
    // The timer keeps itself alive until it is invalidated, as the platform's do.
    auto self = std::make_shared<std::shared_ptr<Timer>>(timer);
    timer->impl_ = dispatcher().scheduleTimerWithTolerance(interval, tolerance, repeats, [weak, block, self, repeats]() {
        auto t = weak.lock();
        if (!t) return;
        if (!t->isValid()) { self->reset(); return; }
        block(*t);
        if (!repeats || !t->isValid()) { t->invalidate(); self->reset(); }
    });
    return timer;
}
void Timer::invalidate() {
    if (impl_) impl_->invalidate();
}
bool Timer::isValid() const { return impl_ && impl_->isValid(); }

double uptime() { return dispatcher().uptime(); }
bool isMainThread() { return dispatcher().isMainThread(); }
void handleSignals(const std::vector<int>& signalNumbers, std::function<void(int)> handler) {
    dispatcher().handleSignals(signalNumbers, std::move(handler));
}

// ---- compositor -----------------------------------------------------------

void ManualCompositor::setActive(bool active) {
    if (active == active_) return;
    active_ = active;
    // Copy first: an observer may remove itself.
    auto targets = observers_;
    for (auto& [token, callback] : targets) callback();
}

int ManualCompositor::addObserver(std::function<void()> callback) {
    const int token = nextToken_++;
    observers_.emplace_back(token, std::move(callback));
    return token;
}

void ManualCompositor::removeObserver(int token) {
    std::erase_if(observers_, [token](const auto& entry) { return entry.first == token; });
}

bool compositingActive() {
    auto c = current().compositor;
    return !c || c->isActive();
}

std::shared_ptr<Compositor> installedCompositor() { return current().compositor; }

CompositorObservation::CompositorObservation(std::function<void()> callback) {
    auto compositor = installedCompositor();
    if (!compositor) return;
    token_ = compositor->addObserver(std::move(callback));
    compositor_ = compositor;
}

CompositorObservation::~CompositorObservation() {
    // Removed from the compositor it was added to, even after a backend change.
    if (auto compositor = compositor_.lock()) compositor->removeObserver(token_);
}

// ---- notification centre --------------------------------------------------

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter c;
    return c;
}

int NotificationCenter::addObserver(const QString& name, Callback callback) {
    std::lock_guard lock(mutex_);
    int token = nextToken_++;
    observers_[token] = {name, std::move(callback)};
    return token;
}

void NotificationCenter::removeObserver(int token) {
    std::lock_guard lock(mutex_);
    observers_.erase(token);
}

void NotificationCenter::post(const QString& name) {
    if (!isMainThread()) {
        MainQueue::async([this, name] { post(name); });
        return;
    }
    std::vector<std::pair<int, Callback>> targets;
    {
        std::lock_guard lock(mutex_);
        for (auto& [token, entry] : observers_)
            if (entry.first == name) targets.emplace_back(token, entry.second);
    }
    for (auto& [token, cb] : targets) {
        bool still;
        {
            std::lock_guard lock(mutex_);
            still = observers_.count(token) > 0;
        }
        if (still) cb(name);
    }
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return observers_.size();
}

void NotificationCenter::reset() {
    std::lock_guard lock(mutex_);
    observers_.clear();
}

// ---- preferences ----------------------------------------------------------

namespace prefs {

Kind kindOf(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool: return Kind::boolean;
        case QMetaType::LongLong: return Kind::integer;
        case QMetaType::Double: return Kind::real;
        case QMetaType::QString: return Kind::text;
        case QMetaType::QByteArray: return Kind::data;
        case QMetaType::QDateTime: return Kind::date;
        case QMetaType::QVariantList: return Kind::array;
        case QMetaType::QVariantMap: return Kind::dictionary;
        default: return Kind::none;
    }
}

bool isPropertyListValue(const QVariant& v) {
    switch (kindOf(v)) {
        case Kind::none: return false;
        case Kind::array:
            for (const auto& e : v.toList())
                if (!isPropertyListValue(e)) return false;
            return true;
        case Kind::dictionary: {
            const auto map = v.toMap();
            for (auto it = map.begin(); it != map.end(); ++it)
                if (!isPropertyListValue(it.value())) return false;
            return true;
        }
        default: return true;
    }
}

Domain::Domain(QString name, std::shared_ptr<Backend> backend) : name_(std::move(name)), backend_(std::move(backend)) {
    values_ = backend_->load(name_);
    if (auto* app = QCoreApplication::instance()) moveToThread(app->thread());
}

std::optional<QVariant> Domain::value(const QString& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.constFind(key);
    if (it == values_.constEnd()) return std::nullopt;
    return it.value();
}

template <typename T>
static std::optional<T> typed(const std::optional<QVariant>& v, Kind kind) {
    if (!v || kindOf(*v) != kind) return std::nullopt;
    return v->value<T>();
}

std::optional<bool> Domain::boolValue(const QString& key) const { return typed<bool>(value(key), Kind::boolean); }
std::optional<qint64> Domain::integerValue(const QString& key) const { return typed<qint64>(value(key), Kind::integer); }
std::optional<double> Domain::realValue(const QString& key) const { return typed<double>(value(key), Kind::real); }
std::optional<double> Domain::numberValue(const QString& key) const {
    auto v = value(key);
    if (!v) return std::nullopt;
    if (kindOf(*v) == Kind::integer) return double(v->toLongLong());
    if (kindOf(*v) == Kind::real) return v->toDouble();
    return std::nullopt;
}
std::optional<QString> Domain::stringValue(const QString& key) const { return typed<QString>(value(key), Kind::text); }
std::optional<QByteArray> Domain::dataValue(const QString& key) const { return typed<QByteArray>(value(key), Kind::data); }
std::optional<QVariantList> Domain::arrayValue(const QString& key) const { return typed<QVariantList>(value(key), Kind::array); }
std::optional<QVariantMap> Domain::dictionaryValue(const QString& key) const {
    return typed<QVariantMap>(value(key), Kind::dictionary);
}
std::optional<QStringList> Domain::stringArrayValue(const QString& key) const {
    auto list = arrayValue(key);
    if (!list) return std::nullopt;
    QStringList out;
    for (const auto& e : *list) {
        if (kindOf(e) != Kind::text) return std::nullopt;
        out << e.toString();
    }
    return out;
}

QStringList Domain::keys() const {
    std::lock_guard lock(mutex_);
    return values_.keys();
}

bool Domain::set(const QString& key, const QVariant& value) {
    if (!isPropertyListValue(value)) return false;
    {
        std::lock_guard lock(mutex_);
        QVariantMap next = values_;
        next.insert(key, value);
        if (!backend_->save(name_, next)) return false;
        values_ = std::move(next);
    }
    notify(key);
    return true;
}

bool Domain::setStringArray(const QString& key, const QStringList& v) {
    QVariantList list;
    for (const auto& s : v) list << QVariant(s);
    return set(key, QVariant(list));
}

bool Domain::remove(const QString& key) {
    {
        std::lock_guard lock(mutex_);
        if (!values_.contains(key)) return true;
        QVariantMap next = values_;
        next.remove(key);
        if (!backend_->save(name_, next)) return false;
        values_ = std::move(next);
    }
    notify(key);
    return true;
}

bool Backend::update(const QString& domain, const std::function<void(QVariantMap&)>& change, QVariantMap* stored) {
    QVariantMap values = load(domain);
    change(values);
    if (!save(domain, values)) return false;
    if (stored) *stored = std::move(values);
    return true;
}

bool Domain::update(const std::function<void(QVariantMap&)>& change) {
    QStringList changedKeys;
    {
        std::lock_guard lock(mutex_);
        bool valid = true;
        QVariantMap written;
        const bool saved = backend_->update(
            name_,
            [&](QVariantMap& values) {
                const QVariantMap before = values;
                change(values);
                for (auto it = values.cbegin(); it != values.cend(); ++it)
                    if (!isPropertyListValue(it.value())) valid = false;
                // A value that is no property-list value leaves the stored values as they were.
                if (!valid) values = before;
            },
            &written);
        if (!saved || !valid) return false;
        for (auto it = written.cbegin(); it != written.cend(); ++it)
            if (!values_.contains(it.key()) || values_.value(it.key()) != it.value()) changedKeys << it.key();
        for (auto it = values_.cbegin(); it != values_.cend(); ++it)
            if (!written.contains(it.key())) changedKeys << it.key();
        values_ = std::move(written);
    }
    for (const auto& k : changedKeys) notify(k);
    return true;
}

void Domain::reload() {
    QVariantMap fresh = backend_->load(name_);
    QStringList changedKeys;
    {
        std::lock_guard lock(mutex_);
        for (auto it = fresh.begin(); it != fresh.end(); ++it)
            if (!values_.contains(it.key()) || values_.value(it.key()) != it.value()) changedKeys << it.key();
        for (auto it = values_.begin(); it != values_.end(); ++it)
            if (!fresh.contains(it.key())) changedKeys << it.key();
        values_ = std::move(fresh);
    }
    for (const auto& k : changedKeys) notify(k);
}

void Domain::notify(const QString& key) {
    if (isMainThread()) {
        emit changed(key);
        return;
    }
    QPointer<Domain> self(this);
    MainQueue::async([self, key] {
        if (self) emit self->changed(key);
    });
}

QVariantMap MemoryBackend::load(const QString& domain) {
    std::lock_guard lock(mutex_);
    auto it = domains_.find(domain);
    return it == domains_.end() ? QVariantMap{} : it->second;
}

bool MemoryBackend::save(const QString& domain, const QVariantMap& values) {
    std::lock_guard lock(mutex_);
    if (failWrites_) return false;
    domains_[domain] = values;
    return true;
}

void MemoryBackend::preset(const QString& domain, const QVariantMap& values) {
    std::lock_guard lock(mutex_);
    domains_[domain] = values;
}

Domain& domain(const QString& name) {
    std::lock_guard lock(registryMutex());
    auto& map = domains();
    auto it = map.find(name);
    if (it == map.end()) {
        auto backend = current().preferences;
        if (!backend) throw std::logic_error("platform backend not installed: preferences");
        it = map.emplace(name, std::make_unique<Domain>(name, backend)).first;
    }
    return *it->second;
}

Domain& userDefaults() { return domain(applicationDomain); }

}  // namespace prefs
}  // namespace platform
