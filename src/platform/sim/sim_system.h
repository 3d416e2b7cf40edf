#pragma once
// The smaller system services of the simulated desktop. Each is a thin,
// scriptable face over the shared model; what they were asked to do goes
// into the desktop's log.
#include <memory>

#include "platform/alerts.h"
#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/log.h"
#include "platform/login_item.h"
#include "platform/power_sources.h"
#include "platform/preferences.h"
#include "platform/process.h"
#include "platform/session.h"
#include "platform/sim/sim_core.h"
#include "platform/updater.h"

namespace platform::sim {

class SimPowerSources : public PowerSources {
public:
    explicit SimPowerSources(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::optional<std::vector<QVariantMap>> copyDescriptions() override;
    int addChangeObserver(std::function<void()> callback) override;
    void removeChangeObserver(int token) override;

private:
    std::shared_ptr<Core> core_;
};

class SimLoginItems : public LoginItems {
public:
    explicit SimLoginItems(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    LoginItemStatus status() override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    void openSystemSettingsLoginItems() override;

private:
    std::shared_ptr<Core> core_;
};

class SimSession : public Session {
public:
    explicit SimSession(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    // The system's way, through the installed process launcher: the screen
    // lock is the screen-lock library's function, sleep is the
    // power-management command (its end is watched), events are answered
    // as the desktop was told.
    SessionReply lockScreen(SessionFinished finished) override;
    SessionReply sleepNow(SessionFinished finished) override;
    SessionReply sendLoginWindowEvent(std::uint32_t eventID, SessionFinished finished) override;

private:
    std::shared_ptr<Core> core_;
};

class SimUpdater : public Updater {
public:
    explicit SimUpdater(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    bool start(UpdaterDelegate delegate) override;
    bool canCheckForUpdates() override;
    void setCanCheckObserver(std::function<void(bool)> observer) override;
    void checkForUpdates() override;

private:
    std::shared_ptr<Core> core_;
};

class SimProcesses : public Processes {
public:
    explicit SimProcesses(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    ProcessResult run(const QString& executable, const QStringList& arguments) override;
    // Answers with the executable's outcome: one that cannot start at once,
    // any other through `exited` on the main queue.
    ProcessResult launch(const QString& executable, const QStringList& arguments, ProcessExited exited) override;
    std::function<int()> loadFunction(const QString& libraryPath, const QString& symbol) override;
    // Recorded as "process.exit <status>"; the simulated program goes on.
    void exitImmediately(int status) override;

private:
    std::shared_ptr<Core> core_;
};

// The demo's child processes: real ones, except the Dock's restart, which
// belongs to the simulated desktop (the real command would end any process
// of that name on the machine).
class DemoProcesses : public Processes {
public:
    DemoProcesses(std::shared_ptr<Processes> real, std::shared_ptr<Processes> simulated)
        : real_(std::move(real)), simulated_(std::move(simulated)) {}
    ProcessResult run(const QString& executable, const QStringList& arguments) override;
    ProcessResult launch(const QString& executable, const QStringList& arguments, ProcessExited exited) override;
    std::function<int()> loadFunction(const QString& libraryPath, const QString& symbol) override {
        return real_->loadFunction(libraryPath, symbol);
    }
    void exitImmediately(int status) override { real_->exitImmediately(status); }

private:
    std::shared_ptr<Processes> real_;
    std::shared_ptr<Processes> simulated_;
};

class SimAlerts : public Alerts {
public:
    explicit SimAlerts(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    int runModal(const Alert& alert) override;
    void beep() override;

private:
    std::shared_ptr<Core> core_;
};

class SimBundles : public Bundles {
public:
    explicit SimBundles(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    std::optional<QString> mainBundleIdentifier() override;
    std::optional<QVariant> mainInfoValue(const QString& key) override;
    QStringList preferredLocalizations() override;
    QStringList availableLocalizations() override;
    std::optional<QString> bundleIdentifier(const QString& path) override;
    std::optional<QVariant> infoValue(const QString& path, const QString& key) override;

private:
    std::shared_ptr<Core> core_;
};

class SimApplication : public Application {
public:
    explicit SimApplication(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    void setActivationPolicy(ActivationPolicy policy) override;
    ActivationPolicy activationPolicy() override;
    void activateIgnoringOtherApps() override;
    void setAppearance(std::optional<Appearance> appearance) override;
    std::optional<Appearance> appearance() override;
    Appearance effectiveAppearance() override;
    bool reduceMotion() override;
    QColor accentColor() override;
    int addObserver(std::function<void()> callback) override;
    void removeObserver(int token) override;
    void terminate() override;

private:
    std::shared_ptr<Core> core_;
};

class SimSystemLog : public SystemLog {
public:
    explicit SimSystemLog(std::shared_ptr<Core> core) : core_(std::move(core)) {}
    void write(const QString& line) override;

private:
    std::shared_ptr<Core> core_;
};

// Passes preference storage through to another backend and logs every key
// a save adds, changes or removes ("prefs.set <domain> <key>",
// "prefs.remove <domain> <key>").
class LoggingPreferences : public prefs::Backend {
public:
    LoggingPreferences(std::shared_ptr<Core> core, std::shared_ptr<prefs::Backend> inner)
        : core_(std::move(core)), inner_(std::move(inner)) {}
    QVariantMap load(const QString& domain) override;
    bool save(const QString& domain, const QVariantMap& values) override;
    bool update(const QString& domain, const std::function<void(QVariantMap&)>& change, QVariantMap* stored) override;
    std::vector<QVariantMap> takeSetAsideValues(const QString& domain) override {
        return inner_->takeSetAsideValues(domain);
    }
    const std::shared_ptr<prefs::Backend>& inner() const { return inner_; }

private:
    void logChanges(const QString& domain, const QVariantMap& values);
    std::shared_ptr<Core> core_;
    std::shared_ptr<prefs::Backend> inner_;
    std::mutex mutex_;
    std::map<QString, QVariantMap> last_;
};

QString activationPolicyName(ActivationPolicy policy);
QString fourCharText(std::uint32_t code);

}  // namespace platform::sim
