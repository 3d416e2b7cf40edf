#pragma once
// Files that must not be redirected by someone else: a private append-only
// file in a folder others can write to (such as /tmp); and the one way every
// file is read, with a bound that holds whatever the path names.
#include <QByteArray>
#include <QString>
#include <memory>

namespace platform {

// An open private file; closed when the object goes away.
class PrivateFile {
public:
    virtual ~PrivateFile() = default;
    // Writes all bytes at the end of the file; false when any could not be written.
    virtual bool append(const QByteArray& data) = 0;
};

// Opens `path` for appending, creating it with mode 0600 when missing and
// emptying it first when `truncate` is set. Refuses (returns null) when the
// path is a symbolic link, is not a regular file, has more than one link, or
// belongs to another user: a file planted by someone else is never followed,
// emptied or written.
std::unique_ptr<PrivateFile> openPrivateAppendFile(const QString& path, bool truncate);

enum class ReadOutcome { ok, missing, unreadable };

// Reads a whole regular file of at most `maximumBytes`. The open never
// blocks (a FIFO without a writer cannot stall it) and the cap holds while
// reading, so a file that grows, a device such as /dev/zero, a FIFO, a
// folder or any other special file ends at once as `unreadable` with the
// reason in `error`. `missing`: nothing exists at the path.
ReadOutcome readBoundedFile(const QString& path, qint64 maximumBytes, QByteArray* out, QString* error = nullptr);

// Creates the folder and every missing folder above it with exactly `mode`
// (0700 or 0755), whatever the process's umask; folders that exist are left
// as they are. False with the reason when a folder could not be made.
bool makeFolders(const QString& path, unsigned mode, QString* error = nullptr);

// Replaces the file at `path` with `data` in one rename, the new file having
// exactly `mode` (0600 or 0644) from its creation on, whatever the umask; a
// symbolic link at the path is replaced, never followed. The parent folder
// must exist. False with the reason when nothing was replaced.
bool replaceFile(const QString& path, const QByteArray& data, unsigned mode, QString* error = nullptr);

}  // namespace platform
