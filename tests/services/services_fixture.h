#pragma once
// A small scripted platform for the services' tests: manual clock, memory
// preferences, and recording stand-ins for hot keys, child processes, power
// sources, the login item, the updater, bundle info and the log.
#include <gtest/gtest.h>

#include <QStringList>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"
#include "support/recording_log.h"

namespace services_test {

class ScriptedHotKeys : public platform::HotKeys {
public:
    struct Registration {
        std::uint32_t keyCode, modifiers;
        platform::HotKeyID id;
    };
    platform::OSStatus installHandler(std::function<void(platform::HotKeyID)> handler, int& ref) override {
        ref = nextRef++;
        handlers[ref] = std::move(handler);
        return platform::noErr;
    }
    void removeHandler(int ref) override { handlers.erase(ref); }
    platform::OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, platform::HotKeyID id,
                                      int& ref) override {
        ++registerCalls;
        if (takenElsewhere.count({keyCode, modifiers})) return platform::eventHotKeyExistsErr;
        ref = nextRef++;
        registrations[ref] = {keyCode, modifiers, id};
        return platform::noErr;
    }
    platform::OSStatus unregisterHotKey(int ref) override {
        ++unregisterCalls;
        return registrations.erase(ref) ? platform::noErr : platform::eventHotKeyInvalidErr;
    }
    // The system's delivery of a key press to every handler.
    int press(std::uint32_t keyCode, std::uint32_t modifiers) {
        int delivered = 0;
        auto regs = registrations;
        auto hs = handlers;
        for (auto& [ref, r] : regs)
            if (r.keyCode == keyCode && r.modifiers == modifiers)
                for (auto& [h, fn] : hs) {
                    fn(r.id);
                    ++delivered;
                }
        return delivered;
    }
    void deliver(platform::HotKeyID id) {
        auto hs = handlers;
        for (auto& [h, fn] : hs) fn(id);
    }
    std::map<int, std::function<void(platform::HotKeyID)>> handlers;
    std::map<int, Registration> registrations;
    std::set<std::pair<std::uint32_t, std::uint32_t>> takenElsewhere;
    int nextRef = 1;
    int registerCalls = 0;
    int unregisterCalls = 0;
};

class ScriptedProcesses : public platform::Processes {
public:
    platform::ProcessResult run(const QString& executable, const QStringList& arguments) override {
        runs << (executable + u' ' + arguments.join(u' '));
        return outcome;
    }
    std::function<int()> loadFunction(const QString&, const QString&) override { return {}; }
    void exitImmediately(int status) override { exits.push_back(status); }
    platform::ProcessResult outcome{true, 0, 0, {}, {}};
    QStringList runs;
    std::vector<int> exits;
};

class ScriptedPowerSources : public platform::PowerSources {
public:
    std::optional<std::vector<QVariantMap>> copyDescriptions() override {
        ++reads;
        return descriptions;
    }
    int addChangeObserver(std::function<void()> cb) override {
        observers[next] = std::move(cb);
        return next++;
    }
    void removeChangeObserver(int token) override { observers.erase(token); }
    void notify() {
        auto obs = observers;
        for (auto& [t, cb] : obs) cb();
    }
    std::optional<std::vector<QVariantMap>> descriptions;
    std::map<int, std::function<void()>> observers;
    int next = 1;
    int reads = 0;
};

class ScriptedLoginItems : public platform::LoginItems {
public:
    platform::LoginItemStatus status() override {
        ++statusReads;
        return current;
    }
    std::optional<QString> registerItem() override {
        ++registers;
        if (registerError) return registerError;
        current = statusAfterRegister;
        return std::nullopt;
    }
    std::optional<QString> unregisterItem() override {
        ++unregisters;
        if (unregisterError) return unregisterError;
        current = platform::LoginItemStatus::notRegistered;
        return std::nullopt;
    }
    void openSystemSettingsLoginItems() override {}
    platform::LoginItemStatus current = platform::LoginItemStatus::notRegistered;
    platform::LoginItemStatus statusAfterRegister = platform::LoginItemStatus::enabled;
    std::optional<QString> registerError, unregisterError;
    int registers = 0, unregisters = 0, statusReads = 0;
};

class ScriptedUpdater : public platform::Updater {
public:
    bool start(platform::UpdaterDelegate d) override {
        ++starts;
        delegate = std::move(d);
        return startSucceeds;
    }
    bool canCheckForUpdates() override { return canCheck.load(); }
    void setCanCheckObserver(std::function<void(bool)> obs) override {
        std::lock_guard lock(mutex);
        observer = std::move(obs);
    }
    void checkForUpdates() override { ++checks; }
    // Changes the value as the framework would, from whatever thread calls.
    void changeCanCheck(bool value) {
        canCheck = value;
        std::function<void(bool)> obs;
        {
            std::lock_guard lock(mutex);
            obs = observer;
        }
        if (obs) obs(value);
    }
    std::mutex mutex;
    std::atomic<bool> canCheck{false};
    std::function<void(bool)> observer;
    platform::UpdaterDelegate delegate;
    bool startSucceeds = true;
    int starts = 0, checks = 0;
};

class ScriptedBundles : public platform::Bundles {
public:
    std::optional<QString> mainBundleIdentifier() override { return QStringLiteral("app.quorvel.Quorvel"); }
    std::optional<QVariant> mainInfoValue(const QString& key) override {
        auto it = info.find(key);
        if (it == info.end()) return std::nullopt;
        return it->second;
    }
    QStringList preferredLocalizations() override { return {QStringLiteral("en")}; }
    QStringList availableLocalizations() override { return {QStringLiteral("en"), QStringLiteral("zh-Hans")}; }
    std::optional<QString> bundleIdentifier(const QString&) override { return std::nullopt; }
    std::optional<QVariant> infoValue(const QString&, const QString&) override { return std::nullopt; }
    std::map<QString, QVariant> info;
};

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dispatcher = std::make_shared<platform::sim::ManualDispatcher>();
        installServices(std::make_shared<platform::prefs::MemoryBackend>());
    }
    // Installs the fakes, with the preferences `backend` holds.
    void installServices(std::shared_ptr<platform::prefs::MemoryBackend> backend) {
        prefsBackend = std::move(backend);
        platform::Services s;
        s.dispatcher = dispatcher;
        s.preferences = prefsBackend;
        s.hotKeys = hotKeys;
        s.processes = processes;
        s.powerSources = power;
        s.loginItems = loginItems;
        s.updater = updater;
        s.bundles = bundles;
        s.log = log;
        platform::install(s);
    }
    void TearDown() override {
        dispatcher->pump();
        platform::uninstall();
    }
    void pump() { dispatcher->pump(); }

    std::shared_ptr<platform::sim::ManualDispatcher> dispatcher;
    std::shared_ptr<platform::prefs::MemoryBackend> prefsBackend;
    std::shared_ptr<ScriptedHotKeys> hotKeys = std::make_shared<ScriptedHotKeys>();
    std::shared_ptr<ScriptedProcesses> processes = std::make_shared<ScriptedProcesses>();
    std::shared_ptr<ScriptedPowerSources> power = std::make_shared<ScriptedPowerSources>();
    std::shared_ptr<ScriptedLoginItems> loginItems = std::make_shared<ScriptedLoginItems>();
    std::shared_ptr<ScriptedUpdater> updater = std::make_shared<ScriptedUpdater>();
    std::shared_ptr<ScriptedBundles> bundles = std::make_shared<ScriptedBundles>();
    std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>();
};

}  // namespace services_test
