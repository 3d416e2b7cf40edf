#pragma once
// Preference domains kept as XML property-list files, one "<domain>.plist"
// per domain in one folder.
//
// Writes are durable and atomic: a temporary file in the same folder is
// written, flushed to disk and renamed over the old one, then the folder
// itself is flushed, so a crash leaves either the old or the new file.
// A value the reader refuses costs only its key: the key reads as missing
// and its text is written back unchanged with every save (and logged once).
// A file that is not a property list at all is never overwritten silently: it is moved
// aside as "<domain>.plist.corrupt-<UTC time>" with a log line, and the
// domain starts empty. If it cannot even be moved, writes to that domain
// are refused for the life of the backend.
//
// Between processes, a save and a read-modify-write (`update`) hold an
// exclusive lock on the folder, so a change another process made between
// the read and the write is never overwritten. A save killed half way
// leaves its temporary file (".<domain>.plist.XXXXXX"); the copy that owns
// the folder removes such files when it starts.
#include <QMap>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "platform/preferences.h"

namespace platform::linux_backend {

class PlistFileBackend : public prefs::Backend {
public:
    explicit PlistFileBackend(QString directory);

    // $QUORVEL_HOME when set, else $XDG_CONFIG_HOME/quorvel, else ~/.config/quorvel.
    static QString defaultDirectory();

    const QString& directory() const { return directory_; }
    // The file of a domain; empty for a name that cannot be a file name.
    QString filePath(const QString& domain) const;

    QVariantMap load(const QString& domain) override;
    bool save(const QString& domain, const QVariantMap& values) override;
    bool update(const QString& domain, const std::function<void(QVariantMap&)>& change, QVariantMap* stored) override;
    // Reads "<domain>.plist.corrupt-*" copies not read before, newest first,
    // and renames each to "….read" (nothing of the kind when read-only).
    std::vector<QVariantMap> takeSetAsideValues(const QString& domain) override;

    // A backend that only reads: nothing is saved, and an unreadable file is
    // left where it is (for a copy that must not touch another copy's files).
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // Removes the temporary files of saves that were interrupted; returns how many.
    int removeInterruptedSaves();

private:
    QVariantMap loadLocked(const QString& domain, const QString& path);
    bool saveLocked(const QString& domain, const QString& path, const QVariantMap& values);
    void setAside(const QString& domain, const QString& path, const QString& reason);

    QString directory_;
    std::mutex mutex_;
    std::set<QString> refused_;  // domains whose unreadable file is still in place
    std::map<QString, QMap<QString, QString>> unreadable_;  // domain -> key -> kept text of a refused value
    std::atomic<bool> readOnly_{false};
};

}  // namespace platform::linux_backend
