#pragma once
// Whether anything in a few folders (each with its sub-folders one level
// down) may have changed since the last look, told by inotify without a
// thread of its own: the kernel queues the events and each look drains them.
//
// Watched are each folder, its sub-folders (symbolic links followed) and the
// targets of the symbolic links among their files. A folder that does not
// exist yet is watched through its nearest existing parent, for the one name
// that leads to it. Any event on a watched folder or file counts as a change
// (files appearing, going, written, renamed or given other attributes), as
// does a lost event queue; after a change everything is watched afresh from
// the folders as they are then.
//
// Safe to use from any thread.
#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace platform::linux_backend {

class FolderChangeWatch {
public:
    explicit FolderChangeWatch(QStringList folders);
    ~FolderChangeWatch();
    FolderChangeWatch(const FolderChangeWatch&) = delete;
    FolderChangeWatch& operator=(const FolderChangeWatch&) = delete;

    // The mark of the folders' state: the same as last time while nothing
    // changed, a new one (never given before in this process) after a change
    // or when the watches were set up again. None while the folders cannot
    // be watched (no inotify, too many watches, any error); the next look
    // tries again.
    std::optional<std::uint64_t> generation();

    // How many inotify watches are set (zero while unwatched).
    int watchCount() const;

private:
    struct Watch {
        // A watch on the nearest existing parent of missing folders: only
        // events for the names that lead to them (and the parent going away)
        // count.
        bool ancestor = false;
        QList<QByteArray> children;
    };
    bool arm();
    void disarm();
    bool add(const QByteArray& path, std::uint32_t mask, Watch watch);
    bool watchFolder(const QByteArray& path, bool withSubfolders);
    bool watchMissing(const QByteArray& path);
    // Drains the queued events; whether any of them counts as a change.
    bool drain();

    QList<QByteArray> folders_;
    mutable std::mutex mutex_;
    int fd_ = -1;
    std::unordered_map<int, Watch> watches_;
    std::optional<std::uint64_t> generation_;
};

}  // namespace platform::linux_backend
