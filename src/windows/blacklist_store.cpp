#include "platform/platform.h"
#include "windows/blacklist_store.h"

#include <memory>

namespace {

platform::SharedInstance<BlacklistStore>& sharedSlot() {
    static platform::SharedInstance<BlacklistStore> slot;
    return slot;
}

}  // namespace

BlacklistStore& BlacklistStore::shared() {
    return *sharedSlot().get([] { return std::make_shared<BlacklistStore>(); });
}

void BlacklistStore::resetShared() { sharedSlot().reset(); }

BlacklistStore::BlacklistStore(platform::prefs::Domain* defaults, QObject* parent)
    : QObject(parent),
      useStandardDefaults_(defaults == nullptr),
      defaults_(defaults ? defaults : &platform::prefs::userDefaults()) {
    blockedBundleIDs_ = defaults_->stringArrayValue(storageKey).value_or(QStringList{});
}

void BlacklistStore::setBlockedBundleIDs(const QStringList& ids) {
    if (ids == blockedBundleIDs_) return;
    blockedBundleIDs_ = ids;
    emit blockedBundleIDsChanged();
    emit changed();
}

void BlacklistStore::add(const QString& bundleID) {
    if (bundleID.isEmpty() || blockedBundleIDs_.contains(bundleID)) return;
    QStringList next = blockedBundleIDs_;
    next.append(bundleID);
    setBlockedBundleIDs(next);
    persist();
}

void BlacklistStore::remove(const QString& bundleID) {
    const qsizetype at = blockedBundleIDs_.indexOf(bundleID);
    if (at < 0) return;
    QStringList next = blockedBundleIDs_;
    next.removeAt(at);
    setBlockedBundleIDs(next);
    persist();
}

void BlacklistStore::persist() {
    platform::prefs::Domain* domain = useStandardDefaults_ ? &platform::prefs::userDefaults() : defaults_.data();
    if (domain) domain->setStringArray(storageKey, blockedBundleIDs_);
}
