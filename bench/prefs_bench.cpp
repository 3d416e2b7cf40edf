// Reading and writing the application's defaults domain with 200 keys
// through the property-list file backend.
#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QTemporaryDir>

#include "platform/linux/plist_backend.h"
#include "platform/linux/property_list.h"
#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"

using namespace platform;

namespace {

// A mix like the real defaults: flags, texts, numbers, lists of bundle ids
// and paths, and a saved blob.
QVariantMap twoHundredKeys() {
    QVariantMap m;
    for (int i = 0; i < 200; ++i) {
        const QString key = QStringLiteral("settingKey%1").arg(i, 3, 10, QLatin1Char('0'));
        switch (i % 5) {
            case 0: m.insert(key, bool(i % 2)); break;
            case 1: m.insert(key, qint64(i * 37)); break;
            case 2: m.insert(key, QStringLiteral("com.example.application%1").arg(i)); break;
            case 3: {
                QVariantList list;
                for (int j = 0; j < 6; ++j) list << QStringLiteral("/Applications/App %1-%2.app").arg(i).arg(j);
                m.insert(key, list);
                break;
            }
            case 4: m.insert(key, QByteArray(64, char('a' + i % 26))); break;
        }
    }
    return m;
}

const QString domainName = prefs::applicationDomain;

void BM_LoadDefaults200Keys(benchmark::State& state) {
    QTemporaryDir dir;
    linux_backend::PlistFileBackend backend(dir.path());
    backend.save(domainName, twoHundredKeys());
    for (auto _ : state) {
        QVariantMap m = backend.load(domainName);
        benchmark::DoNotOptimize(m);
        if (m.size() != 200) state.SkipWithError("wrong size");
    }
}
BENCHMARK(BM_LoadDefaults200Keys)->Unit(benchmark::kMicrosecond);

void BM_SaveDefaults200KeysDurably(benchmark::State& state) {
    QTemporaryDir dir;
    linux_backend::PlistFileBackend backend(dir.path());
    const QVariantMap values = twoHundredKeys();
    for (auto _ : state)
        if (!backend.save(domainName, values)) state.SkipWithError("save failed");
}
BENCHMARK(BM_SaveDefaults200KeysDurably)->Unit(benchmark::kMicrosecond);

void BM_SerializeOnly200Keys(benchmark::State& state) {
    const QVariant values = twoHundredKeys();
    for (auto _ : state) benchmark::DoNotOptimize(plist::serialize(values));
}
BENCHMARK(BM_SerializeOnly200Keys)->Unit(benchmark::kMicrosecond);

void BM_ParseOnly200Keys(benchmark::State& state) {
    const QByteArray doc = *plist::serialize(twoHundredKeys());
    state.SetBytesProcessed(0);
    for (auto _ : state) benchmark::DoNotOptimize(plist::parse(doc));
    state.SetBytesProcessed(int64_t(state.iterations()) * doc.size());
}
BENCHMARK(BM_ParseOnly200Keys)->Unit(benchmark::kMicrosecond);

// One setting changed through the domain: the whole file is rewritten.
void BM_SetOneKeyInDomainOf200(benchmark::State& state) {
    QTemporaryDir dir;
    auto backend = std::make_shared<linux_backend::PlistFileBackend>(dir.path());
    backend->save(domainName, twoHundredKeys());
    Services s;
    s.dispatcher = std::make_shared<sim::ManualDispatcher>();
    s.preferences = backend;
    install(s);
    auto& defaults = prefs::userDefaults();
    qint64 n = 0;
    for (auto _ : state)
        if (!defaults.setInteger(QStringLiteral("counter"), ++n)) state.SkipWithError("set failed");
    uninstall();
}
BENCHMARK(BM_SetOneKeyInDomainOf200)->Unit(benchmark::kMicrosecond);

// Two keys changed as one read-modify-write (the Dock controller's saved copy
// and flag): the file is read afresh under the folder lock, then rewritten.
void BM_UpdateTwoKeysInDomainOf200(benchmark::State& state) {
    QTemporaryDir dir;
    auto backend = std::make_shared<linux_backend::PlistFileBackend>(dir.path());
    backend->save(domainName, twoHundredKeys());
    Services s;
    s.dispatcher = std::make_shared<sim::ManualDispatcher>();
    s.preferences = backend;
    install(s);
    auto& defaults = prefs::userDefaults();
    qint64 n = 0;
    for (auto _ : state) {
        ++n;
        if (!defaults.update([n](QVariantMap& v) {
                v.insert(QStringLiteral("counter"), n);
                v.insert(QStringLiteral("flag"), bool(n % 2));
            }))
            state.SkipWithError("update failed");
    }
    uninstall();
}
BENCHMARK(BM_UpdateTwoKeysInDomainOf200)->Unit(benchmark::kMicrosecond);

// A read of a typed value from the loaded domain (what every reader pays).
void BM_TypedReadFromDomain(benchmark::State& state) {
    QTemporaryDir dir;
    auto backend = std::make_shared<linux_backend::PlistFileBackend>(dir.path());
    backend->save(domainName, twoHundredKeys());
    Services s;
    s.dispatcher = std::make_shared<sim::ManualDispatcher>();
    s.preferences = backend;
    install(s);
    auto& defaults = prefs::userDefaults();
    for (auto _ : state) benchmark::DoNotOptimize(defaults.stringArrayValue(QStringLiteral("settingKey003")));
    uninstall();
}
BENCHMARK(BM_TypedReadFromDomain);

}  // namespace

BENCHMARK_MAIN();
