#pragma once
// The pinned applications of the task strip, the user's order of the running
// applications, and the application whose button is being dragged.
// Main thread only. Assigning a property publishes a real change and never
// writes the user defaults; only the named operations persist.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/preferences.h"

class PinStore : public QObject {
    Q_OBJECT
public:
    static inline const QString pinnedKey = QStringLiteral("pinnedBundleIDs");
    static inline const QString activeOrderKey = QStringLiteral("activeOrder");

    // Reads both lists from the given defaults (the application's own when
    // null); a missing or malformed value reads as the empty list.
    explicit PinStore(platform::prefs::Domain* defaults = nullptr, QObject* parent = nullptr);

    const QStringList& pinnedBundleIDs() const { return pinnedBundleIDs_; }
    const QStringList& activeOrder() const { return activeOrder_; }
    const std::optional<QString>& draggingBundleID() const { return draggingBundleID_; }

    void setPinnedBundleIDs(const QStringList& ids);
    void setActiveOrder(const QStringList& order);
    void setDraggingBundleID(const std::optional<QString>& bundleID);
    void clearDragging();

    // Pins at the end, or unpins the first equal entry; persists the list.
    void togglePin(const QString& bundleID);
    // Moves the first equal entry to a position in the list without it
    // (clamped to the ends); persists only a real change.
    void movePin(const QString& bundleID, qint64 toIndex);
    // The strip's drag among running applications: publishes and persists a
    // changed order, does nothing for an equal one.
    void persistActiveOrder(const QStringList& order);

signals:
    void pinnedBundleIDsChanged();
    void activeOrderChanged();
    void draggingBundleIDChanged();
    // Any of the three changed.
    void changed();

private:
    void write(const QString& key, const QStringList& value);

    QStringList pinnedBundleIDs_;
    QStringList activeOrder_;
    std::optional<QString> draggingBundleID_;
    bool useStandardDefaults_;
    QPointer<platform::prefs::Domain> defaults_;
};
