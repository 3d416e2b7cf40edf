#pragma once
// The bundle identifiers kept off the task strip. One shared instance.
// Main thread only. Assignment publishes a real change without persisting;
// `add` and `remove` persist the whole list.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/preferences.h"

class BlacklistStore : public QObject {
    Q_OBJECT
public:
    static inline const QString storageKey = QStringLiteral("blacklistedBundleIDs");

    // Created on first use with the application's user defaults.
    static BlacklistStore& shared();
    // Drops the shared instance so the next use reads the defaults afresh
    // (after the platform backend was replaced).
    static void resetShared();

    explicit BlacklistStore(platform::prefs::Domain* defaults = nullptr, QObject* parent = nullptr);

    const QStringList& blockedBundleIDs() const { return blockedBundleIDs_; }
    void setBlockedBundleIDs(const QStringList& ids);

    // Appends a non-empty identifier that is not yet excluded, exactly as given.
    void add(const QString& bundleID);
    // Removes the first equal entry, if any.
    void remove(const QString& bundleID);

signals:
    void blockedBundleIDsChanged();
    void changed();

private:
    void persist();

    QStringList blockedBundleIDs_;
    bool useStandardDefaults_;
    QPointer<platform::prefs::Domain> defaults_;
};
