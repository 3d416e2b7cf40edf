#pragma once
// Files that must not be redirected by someone else: a private append-only
// file in a folder others can write to (such as /tmp).
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

}  // namespace platform
