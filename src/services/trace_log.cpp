#include "services/trace_log.h"

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <optional>

#include "platform/files.h"
#include "platform/platform.h"

namespace {

// The switch, the queue and the truncated flag belong to one installation of
// the platform: the program installs once, so they live for its whole run,
// while each test's fresh installation starts them afresh.
struct State {
    std::mutex mutex;
    std::atomic<std::uint64_t> switchGeneration{0};  // 0: not decided yet
    std::atomic<bool> enabled{false};
    std::optional<platform::SerialQueue> queue;
    std::uint64_t queueGeneration = 0;
    QString path = QString::fromLatin1(TraceLog::defaultFilePath);
    bool truncated = false;
};

State& state() {
    static State s;
    return s;
}

bool decideSwitch() {
    if (qEnvironmentVariableIsSet("TBDBG")) return true;
    if (!platform::installed().preferences) return false;
    return platform::prefs::userDefaults().boolValue(QStringLiteral("TBDBG")).value_or(false);
}

// Runs on the trace queue.
void append(const QByteArray& data) {
    auto& s = state();
    QString path;
    bool first;
    {
        std::lock_guard lock(s.mutex);
        path = s.path;
        first = !s.truncated;
        s.truncated = true;  // set even when emptying fails: only the first line tries
    }
    auto file = platform::openPrivateAppendFile(path, first);
    if (file) file->append(data);
}

}  // namespace

bool TraceLog::isEnabled() {
    auto& s = state();
    const std::uint64_t generation = platform::installationGeneration();
    if (s.switchGeneration.load(std::memory_order_acquire) == generation)
        return s.enabled.load(std::memory_order_relaxed);
    if (!platform::isInstalled()) return false;
    std::lock_guard lock(s.mutex);
    if (s.switchGeneration.load(std::memory_order_relaxed) != generation) {
        s.enabled.store(decideSwitch(), std::memory_order_relaxed);
        s.truncated = false;
        s.switchGeneration.store(generation, std::memory_order_release);
    }
    return s.enabled.load(std::memory_order_relaxed);
}

void TraceLog::write(const QString& message) {
    if (!isEnabled()) return;
    platform::log(QStringLiteral("TBDBG ") + message);
    QByteArray line = message.toUtf8();
    line.append('\n');
    auto& s = state();
    std::optional<platform::SerialQueue> queue;
    {
        std::lock_guard lock(s.mutex);
        const std::uint64_t generation = platform::installationGeneration();
        if (!s.queue || s.queueGeneration != generation) {
            s.queue.reset();
            s.queue.emplace("app.quorvel.tblog");
            s.queueGeneration = generation;
        }
        queue = s.queue;
    }
    queue->async([line = std::move(line)] { append(line); });
}

QString TraceLog::filePath() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.path;
}

void TraceLog::setFilePath(const QString& path) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.path = path.isEmpty() ? QString::fromLatin1(defaultFilePath) : path;
    s.truncated = false;
}
