#include "platform/sim/sim_system.h"

namespace platform::sim {

QString activationPolicyName(ActivationPolicy policy) {
    switch (policy) {
        case ActivationPolicy::regular: return QStringLiteral("regular");
        case ActivationPolicy::accessory: return QStringLiteral("accessory");
        case ActivationPolicy::prohibited: return QStringLiteral("prohibited");
    }
    return QStringLiteral("unknown");
}

QString fourCharText(std::uint32_t code) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char((code >> shift) & 0xff);
        s += (c >= 32 && c < 127) ? QChar(c) : QChar('?');
    }
    return s;
}

// ---- power sources

std::optional<std::vector<QVariantMap>> SimPowerSources::copyDescriptions() {
    std::lock_guard lock(core_->mutex);
    return core_->powerSources;
}

int SimPowerSources::addChangeObserver(std::function<void()> callback) {
    std::lock_guard lock(core_->mutex);
    int token = core_->nextToken++;
    core_->powerObservers[token] = std::move(callback);
    return token;
}

void SimPowerSources::removeChangeObserver(int token) {
    std::lock_guard lock(core_->mutex);
    core_->powerObservers.erase(token);
}

// ---- login item

LoginItemStatus SimLoginItems::status() {
    std::lock_guard lock(core_->mutex);
    return core_->loginStatus;
}

std::optional<QString> SimLoginItems::registerItem() {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("login.register"));
    if (core_->loginRegisterError) return core_->loginRegisterError;
    core_->loginStatus = LoginItemStatus::enabled;
    return std::nullopt;
}

std::optional<QString> SimLoginItems::unregisterItem() {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("login.unregister"));
    if (core_->loginUnregisterError) return core_->loginUnregisterError;
    core_->loginStatus = LoginItemStatus::notRegistered;
    return std::nullopt;
}

void SimLoginItems::openSystemSettingsLoginItems() { core_->log(QStringLiteral("login.openSettings")); }

// ---- session

SessionReply SimSession::lockScreen(SessionFinished) {
    QString library;
    {
        std::lock_guard lock(core_->mutex);
        core_->log(QStringLiteral("session.lock"));
        library = core_->screenLockLibrary;
    }
    const QString function = QString::fromUtf8(screen_lock::functionName);
    auto lockNow = processes().loadFunction(library, function);
    if (!lockNow) return SessionReply::missing(function + QStringLiteral(" not found in ") + library);
    {
        std::lock_guard lock(core_->mutex);
        core_->loadedScreenLock = lockNow;
    }
    const int result = lockNow();
    if (result != 0) return SessionReply::failed(function + QStringLiteral(" returned ") + QString::number(result));
    return SessionReply::ok();
}

SessionReply SimSession::sleepNow(SessionFinished finished) {
    {
        std::lock_guard lock(core_->mutex);
        core_->log(QStringLiteral("session.sleep"));
    }
    const QString executable = QString::fromUtf8(sleep_command::executable);
    const QStringList arguments{QString::fromUtf8(sleep_command::argument)};
    ProcessExited exited;
    if (finished)
        exited = [executable, arguments, finished](const ProcessResult& ended) {
            SessionOutcome outcome;
            outcome.succeeded = ended.succeeded();
            if (!outcome.succeeded) outcome.error = describeProcessFailure(executable, arguments, ended);
            finished(outcome);
        };
    const ProcessResult started = processes().launch(executable, arguments, std::move(exited));
    if (!started.launched) return SessionReply::failed(started.error);
    return SessionReply::ok();
}

SessionReply SimSession::sendLoginWindowEvent(std::uint32_t eventID, SessionFinished) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("session.event ") + fourCharText(eventID));
    auto it = core_->sessionResults.find(eventID);
    if (it == core_->sessionResults.end() || it->second == noErr) return SessionReply::ok();
    return SessionReply::failed(QStringLiteral("OSStatus error ") + QString::number(it->second));
}

// ---- updater

bool SimUpdater::start(UpdaterDelegate delegate) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("updater.start"));
    if (!core_->updaterStartResult) return false;
    core_->updaterStarted = true;
    core_->updaterDelegate = std::move(delegate);
    return true;
}

bool SimUpdater::canCheckForUpdates() {
    std::lock_guard lock(core_->mutex);
    return core_->canCheck;
}

void SimUpdater::setCanCheckObserver(std::function<void(bool)> observer) {
    std::lock_guard lock(core_->mutex);
    core_->canCheckObserver = std::move(observer);
}

void SimUpdater::checkForUpdates() {
    std::lock_guard lock(core_->mutex);
    ++core_->updateChecks;
    core_->log(QStringLiteral("updater.check"));
}

// ---- processes

ProcessResult SimProcesses::run(const QString& executable, const QStringList& arguments) {
    std::lock_guard lock(core_->mutex);
    QString line = QStringLiteral("process.run ") + executable;
    for (const auto& a : arguments) line += ' ' + a;
    core_->log(line);
    core_->processRuns.emplace_back(executable, arguments);
    auto it = core_->processOutcomes.find(executable);
    if (it != core_->processOutcomes.end()) return it->second;
    ProcessResult ok;
    ok.launched = true;
    ok.exitStatus = 0;
    return ok;
}

ProcessResult SimProcesses::launch(const QString& executable, const QStringList& arguments, ProcessExited exited) {
    std::lock_guard lock(core_->mutex);
    QString line = QStringLiteral("process.launch ") + executable;
    for (const auto& a : arguments) line += ' ' + a;
    core_->log(line);
    core_->processRuns.emplace_back(executable, arguments);
    ProcessResult outcome;
    outcome.launched = true;
    outcome.exitStatus = 0;
    auto it = core_->processOutcomes.find(executable);
    if (it != core_->processOutcomes.end()) outcome = it->second;
    if (!outcome.launched) return outcome;
    if (exited) core_->onMain([outcome, exited = std::move(exited)] { exited(outcome); });
    ProcessResult started;
    started.launched = true;
    return started;
}

void SimProcesses::exitImmediately(int status) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("process.exit ") + QString::number(status));
}

std::function<int()> SimProcesses::loadFunction(const QString& libraryPath, const QString& symbol) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("process.load ") + libraryPath + ' ' + symbol);
    auto it = core_->loadableFunctions.find({libraryPath, symbol});
    return it == core_->loadableFunctions.end() ? std::function<int()>() : it->second;
}

ProcessResult DemoProcesses::run(const QString& executable, const QStringList& arguments) {
    return (isDockRestart(executable, arguments) ? simulated_ : real_)->run(executable, arguments);
}

ProcessResult DemoProcesses::launch(const QString& executable, const QStringList& arguments, ProcessExited exited) {
    return (isDockRestart(executable, arguments) ? simulated_ : real_)->launch(executable, arguments, std::move(exited));
}

// ---- alerts

int SimAlerts::runModal(const Alert& alert) {
    std::lock_guard lock(core_->mutex);
    int index = 0;
    if (!core_->alertAnswers.empty()) {
        index = core_->alertAnswers.front();
        core_->alertAnswers.erase(core_->alertAnswers.begin());
    }
    int result = alertFirstButtonReturn + index;
    // An alert without buttons shows one default button ("OK").
    const int buttons = std::max<int>(1, int(alert.buttons.size()));
    if (index < 0 || index >= buttons) result = 0;  // dismissed otherwise
    core_->alertsShown.push_back(AlertRecord{alert, result});
    core_->log(QStringLiteral("alert \"%1\" \"%2\" [%3] -> %4")
                   .arg(alert.messageText, alert.informativeText, alert.buttons.join(QStringLiteral(", ")))
                   .arg(result));
    return result;
}

void SimAlerts::beep() {
    std::lock_guard lock(core_->mutex);
    ++core_->beeps;
    core_->log(QStringLiteral("beep"));
}

// ---- bundles

std::optional<QString> SimBundles::mainBundleIdentifier() {
    std::lock_guard lock(core_->mutex);
    if (core_->mainBundleID.isEmpty()) return std::nullopt;
    return core_->mainBundleID;
}

std::optional<QVariant> SimBundles::mainInfoValue(const QString& key) {
    std::lock_guard lock(core_->mutex);
    if (key == QLatin1String("CFBundleIdentifier") && !core_->mainBundleID.isEmpty()) return QVariant(core_->mainBundleID);
    auto it = core_->mainInfo.constFind(key);
    if (it == core_->mainInfo.constEnd()) return std::nullopt;
    return *it;
}

QStringList SimBundles::preferredLocalizations() {
    std::lock_guard lock(core_->mutex);
    return core_->preferredLocalizations;
}

QStringList SimBundles::availableLocalizations() {
    std::lock_guard lock(core_->mutex);
    return core_->availableLocalizations;
}

std::optional<QString> SimBundles::bundleIdentifier(const QString& path) {
    std::lock_guard lock(core_->mutex);
    auto it = core_->bundles.find(path);
    if (it == core_->bundles.end() || it->second.bundleID.isEmpty()) return std::nullopt;
    return it->second.bundleID;
}

std::optional<QVariant> SimBundles::infoValue(const QString& path, const QString& key) {
    std::lock_guard lock(core_->mutex);
    auto it = core_->bundles.find(path);
    if (it == core_->bundles.end()) return std::nullopt;
    if (key == QLatin1String("CFBundleIdentifier") && !it->second.bundleID.isEmpty()) return QVariant(it->second.bundleID);
    auto v = it->second.info.constFind(key);
    if (v == it->second.info.constEnd()) return std::nullopt;
    return *v;
}

// ---- application

void SimApplication::setActivationPolicy(ActivationPolicy policy) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("app.setActivationPolicy ") + activationPolicyName(policy));
    core_->ownPolicy = policy;
    if (AppState* own = core_->app(core_->ownPid)) own->given.policy = policy;
}

ActivationPolicy SimApplication::activationPolicy() {
    std::lock_guard lock(core_->mutex);
    return core_->ownPolicy;
}

void SimApplication::activateIgnoringOtherApps() {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("app.activate"));
    if (core_->app(core_->ownPid)) core_->activate(core_->ownPid);
}

void SimApplication::setAppearance(std::optional<Appearance> appearance) {
    std::lock_guard lock(core_->mutex);
    core_->log(QStringLiteral("app.setAppearance ") +
               (!appearance ? QStringLiteral("system")
                            : *appearance == Appearance::darkAqua ? QStringLiteral("dark") : QStringLiteral("light")));
    if (core_->appearance == appearance) return;
    Appearance before = core_->appearance.value_or(core_->systemAppearance);
    core_->appearance = appearance;
    if (before != core_->appearance.value_or(core_->systemAppearance))
        core_->postToObservers(&Core::applicationObservers);
}

std::optional<Appearance> SimApplication::appearance() {
    std::lock_guard lock(core_->mutex);
    return core_->appearance;
}

Appearance SimApplication::effectiveAppearance() {
    std::lock_guard lock(core_->mutex);
    return core_->appearance.value_or(core_->systemAppearance);
}

bool SimApplication::reduceMotion() {
    std::lock_guard lock(core_->mutex);
    return core_->reduceMotion;
}

QColor SimApplication::accentColor() {
    std::lock_guard lock(core_->mutex);
    return core_->accentColor;
}

int SimApplication::addObserver(std::function<void()> callback) {
    std::lock_guard lock(core_->mutex);
    int token = core_->nextToken++;
    core_->applicationObservers[token] = std::move(callback);
    return token;
}

void SimApplication::removeObserver(int token) {
    std::lock_guard lock(core_->mutex);
    core_->applicationObservers.erase(token);
}

void SimApplication::terminate() {
    std::function<void()> handler;
    {
        std::lock_guard lock(core_->mutex);
        ++core_->terminateRequests;
        core_->log(QStringLiteral("app.terminate"));
        handler = core_->terminateHandler;
    }
    if (handler) handler();
}

// ---- system log

void SimSystemLog::write(const QString& line) {
    std::lock_guard lock(core_->mutex);
    core_->systemLog.push_back(line);
}

// ---- preferences

QVariantMap LoggingPreferences::load(const QString& domain) {
    QVariantMap values = inner_->load(domain);
    std::lock_guard lock(mutex_);
    last_[domain] = values;
    return values;
}

bool LoggingPreferences::save(const QString& domain, const QVariantMap& values) {
    if (!inner_->save(domain, values)) {
        core_->log(QStringLiteral("prefs.save %1 failed").arg(domain));
        return false;
    }
    logChanges(domain, values);
    return true;
}

bool LoggingPreferences::update(const QString& domain, const std::function<void(QVariantMap&)>& change,
                                QVariantMap* stored) {
    QVariantMap written;
    if (!inner_->update(
            domain,
            [&](QVariantMap& values) {
                {
                    std::lock_guard lock(mutex_);
                    last_[domain] = values;  // what was stored when the change began
                }
                change(values);
            },
            &written)) {
        core_->log(QStringLiteral("prefs.save %1 failed").arg(domain));
        return false;
    }
    logChanges(domain, written);
    if (stored) *stored = std::move(written);
    return true;
}

void LoggingPreferences::logChanges(const QString& domain, const QVariantMap& values) {
    QStringList lines;
    {
        std::lock_guard lock(mutex_);
        const QVariantMap& before = last_[domain];
        for (auto it = values.begin(); it != values.end(); ++it)
            if (!before.contains(it.key()) || before.value(it.key()) != it.value())
                lines << QStringLiteral("prefs.set %1 %2").arg(domain, it.key());
        for (auto it = before.begin(); it != before.end(); ++it)
            if (!values.contains(it.key())) lines << QStringLiteral("prefs.remove %1 %2").arg(domain, it.key());
        last_[domain] = values;
    }
    if (lines.isEmpty()) lines << QStringLiteral("prefs.save %1 unchanged").arg(domain);
    for (const auto& l : lines) core_->log(l);
}

}  // namespace platform::sim
