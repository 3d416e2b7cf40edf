#include "windows/pin_store.h"

#include <algorithm>

namespace {

platform::prefs::Domain* resolve(platform::prefs::Domain* given) {
    return given ? given : &platform::prefs::userDefaults();
}

}  // namespace

PinStore::PinStore(platform::prefs::Domain* defaults, QObject* parent)
    : QObject(parent), useStandardDefaults_(defaults == nullptr), defaults_(resolve(defaults)) {
    pinnedBundleIDs_ = defaults_->stringArrayValue(pinnedKey).value_or(QStringList{});
    activeOrder_ = defaults_->stringArrayValue(activeOrderKey).value_or(QStringList{});
}

void PinStore::write(const QString& key, const QStringList& value) {
    // The standard defaults are looked up at each write: the installed
    // platform may have been replaced since construction.
    platform::prefs::Domain* domain = useStandardDefaults_ ? &platform::prefs::userDefaults() : defaults_.data();
    if (domain) domain->setStringArray(key, value);
}

void PinStore::setPinnedBundleIDs(const QStringList& ids) {
    if (ids == pinnedBundleIDs_) return;
    pinnedBundleIDs_ = ids;
    emit pinnedBundleIDsChanged();
    emit changed();
}

void PinStore::setActiveOrder(const QStringList& order) {
    if (order == activeOrder_) return;
    activeOrder_ = order;
    emit activeOrderChanged();
    emit changed();
}

void PinStore::setDraggingBundleID(const std::optional<QString>& bundleID) {
    if (bundleID == draggingBundleID_) return;
    draggingBundleID_ = bundleID;
    emit draggingBundleIDChanged();
    emit changed();
}

void PinStore::clearDragging() { setDraggingBundleID(std::nullopt); }

void PinStore::togglePin(const QString& bundleID) {
    QStringList next = pinnedBundleIDs_;
    const qsizetype at = next.indexOf(bundleID);
    if (at < 0)
        next.append(bundleID);
    else
        next.removeAt(at);
    setPinnedBundleIDs(next);
    write(pinnedKey, pinnedBundleIDs_);
}

void PinStore::movePin(const QString& bundleID, qint64 toIndex) {
    const qsizetype at = pinnedBundleIDs_.indexOf(bundleID);
    if (at < 0) return;
    QStringList next = pinnedBundleIDs_;
    next.removeAt(at);
    const qint64 index = std::max<qint64>(0, std::min<qint64>(toIndex, next.size()));
    next.insert(static_cast<qsizetype>(index), bundleID);
    if (next == pinnedBundleIDs_) return;
    setPinnedBundleIDs(next);
    write(pinnedKey, pinnedBundleIDs_);
}

void PinStore::persistActiveOrder(const QStringList& order) {
    if (order == activeOrder_) return;
    setActiveOrder(order);
    write(activeOrderKey, activeOrder_);
}
