#include "platform/linux/power_supply.h"

#include <QDir>
#include <QFile>

#include "platform/files.h"

namespace platform::linux_backend {
namespace {

// The first line of a small attribute file, trimmed; absent when missing.
// Attribute files are tiny: anything longer than this is not one of ours.
std::optional<QString> readAttribute(const QString& dir, const char* name) {
    QByteArray bytes;
    if (readBoundedFile(dir + u'/' + QLatin1String(name), 128, &bytes) != ReadOutcome::ok) return std::nullopt;
    if (bytes.isEmpty()) return std::nullopt;
    QString text = QString::fromUtf8(bytes);
    const qsizetype nl = text.indexOf(u'\n');
    if (nl >= 0) text.truncate(nl);
    return text.trimmed();
}

std::optional<qint64> readInteger(const QString& dir, const char* name) {
    auto text = readAttribute(dir, name);
    if (!text) return std::nullopt;
    bool ok = false;
    const qint64 v = text->toLongLong(&ok);
    if (!ok) return std::nullopt;
    return v;
}

}  // namespace

PowerSupplySources::PowerSupplySources(QString root, double pollSeconds)
    : root_(std::move(root)), pollSeconds_(pollSeconds) {}

PowerSupplySources::~PowerSupplySources() {
    if (timer_) timer_->invalidate();
}

std::optional<std::vector<QVariantMap>> PowerSupplySources::readDescriptions(const QString& root) {
    namespace k = power_keys;
    QDir dir(root);
    if (!dir.exists()) return std::nullopt;
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);

    bool anyExternalSupply = false;
    bool externalOnline = false;
    struct Battery {
        QString name, path;
    };
    std::vector<Battery> batteries;
    for (const QString& name : names) {
        const QString path = root + u'/' + name;
        const QString type = readAttribute(path, "type").value_or(QString());
        if (type == QStringLiteral("Battery")) {
            // Batteries of attached devices (mice, keyboards) are not the machine's.
            if (readAttribute(path, "scope").value_or(QString()) == QStringLiteral("Device")) continue;
            if (readInteger(path, "present").value_or(1) == 0) continue;
            batteries.push_back({name, path});
        } else if (!type.isEmpty()) {
            anyExternalSupply = true;
            if (readInteger(path, "online").value_or(0) == 1) externalOnline = true;
        }
    }

    std::vector<QVariantMap> out;
    for (const auto& b : batteries) {
        QVariantMap d;
        d.insert(k::type, k::internalBattery);
        d.insert(k::name, b.name);
        d.insert(k::isPresent, true);
        if (auto capacity = readInteger(b.path, "capacity")) {
            d.insert(k::currentCapacity, *capacity);
            d.insert(k::maxCapacity, qint64(100));
        } else if (auto now = readInteger(b.path, "energy_now"), full = readInteger(b.path, "energy_full"); now && full) {
            d.insert(k::currentCapacity, *now);
            d.insert(k::maxCapacity, *full);
        } else if (auto cnow = readInteger(b.path, "charge_now"), cfull = readInteger(b.path, "charge_full");
                   cnow && cfull) {
            d.insert(k::currentCapacity, *cnow);
            d.insert(k::maxCapacity, *cfull);
        }
        const QString status = readAttribute(b.path, "status").value_or(QString());
        d.insert(k::isCharging, status == QStringLiteral("Charging"));
        bool onMains = externalOnline;
        if (!anyExternalSupply) {
            // No adapter is listed: the battery's own status is all there is.
            onMains = status == QStringLiteral("Charging") || status == QStringLiteral("Full") ||
                      status == QStringLiteral("Not charging");
        }
        d.insert(k::powerSourceState, onMains ? k::acPower : k::batteryPower);
        out.push_back(std::move(d));
    }
    return out;
}

std::optional<std::vector<QVariantMap>> PowerSupplySources::copyDescriptions() { return readDescriptions(root_); }

int PowerSupplySources::addChangeObserver(std::function<void()> callback) {
    const int token = nextToken_++;
    observers_[token] = std::move(callback);
    if (!timer_) {
        last_ = readDescriptions(root_);
        // A battery's charge moves slowly: the poll shares its wake-up with the
        // program's other second-scale timers.
        timer_ = Timer::scheduled(pollSeconds_, true, [this](Timer&) { poll(); }, 0.5);
    }
    return token;
}

void PowerSupplySources::removeChangeObserver(int token) {
    observers_.erase(token);
    if (observers_.empty() && timer_) {
        timer_->invalidate();
        timer_.reset();
    }
}

void PowerSupplySources::poll() {
    auto now = readDescriptions(root_);
    if (now == last_) return;
    last_ = std::move(now);
    auto observers = observers_;  // an observer may remove itself
    for (auto& [token, cb] : observers)
        if (cb) cb();
}

}  // namespace platform::linux_backend
