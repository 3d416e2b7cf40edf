#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "platform/files.h"

namespace platform {
namespace {

// Writes every byte, going on after interruptions; false on any other failure.
bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= n;
    }
    return true;
}

class PosixPrivateFile : public PrivateFile {
public:
    explicit PosixPrivateFile(int fd) : fd_(fd) {}
    ~PosixPrivateFile() override { ::close(fd_); }
    bool append(const QByteArray& data) override { return writeAll(fd_, data); }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<PrivateFile> openPrivateAppendFile(const QString& path, bool truncate) {
    const QByteArray native = path.toLocal8Bit();
    if (native.isEmpty() || native.contains('\0')) return nullptr;
    // O_NOFOLLOW: a symbolic link at the path fails with ELOOP instead of
    // being followed. O_NONBLOCK: a planted FIFO cannot make the open hang.
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return nullptr;
    struct stat st {};
    // Emptying happens only after the owner check, never through O_TRUNC.
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return nullptr;
    }
    if ((st.st_mode & 07777) != 0600) ::fchmod(fd, 0600);
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (truncate && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixPrivateFile>(fd);
}

}  // namespace platform

namespace platform {

ReadOutcome readBoundedFile(const QString& path, qint64 maximumBytes, QByteArray* out, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return ReadOutcome::unreadable;
    };
    const QByteArray native = path.toLocal8Bit();
    if (native.isEmpty() || native.contains('\0')) return fail(QStringLiteral("not a file name"));
    int fd = -1;
    do fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ReadOutcome::missing;
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode)) return fail(QStringLiteral("is a folder, not a file"));
    if (!S_ISREG(st.st_mode)) return fail(QStringLiteral("is not a regular file (a device, FIFO or socket)"));
    const QString tooLarge = QStringLiteral("is larger than %1 bytes").arg(maximumBytes);
    if (st.st_size > maximumBytes) return fail(tooLarge);
    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        // Never ask for more than one byte past the cap.
        const qint64 room = maximumBytes + 1 - data.size();
        ssize_t n = ::read(fd, buffer, size_t(std::min<qint64>(qint64(sizeof buffer), room)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (n == 0) break;
        data.append(buffer, n);
        if (data.size() > maximumBytes) return fail(tooLarge);  // grew while we read
    }
    if (out) *out = std::move(data);
    return ReadOutcome::ok;
}

}  // namespace platform

namespace platform {

bool makeFolders(const QString& path, unsigned mode, QString* error) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QStringList parts = absolute.split(u'/', Qt::SkipEmptyParts);
    QString at;
    for (const QString& part : parts) {
        at += u'/' + part;
        const QByteArray native = QFile::encodeName(at);
        if (::mkdir(native.constData(), mode_t(mode)) == 0) {
            // The umask may have taken bits away; the mode is ours to set.
            ::chmod(native.constData(), mode_t(mode));
            continue;
        }
        if (errno == EEXIST) {
            struct stat st {};
            if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            if (error) *error = QStringLiteral("%1 is not a folder").arg(at);
            return false;
        }
        if (error) *error = QStringLiteral("cannot create %1: %2").arg(at, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

bool replaceFile(const QString& path, const QByteArray& data, unsigned mode, QString* error) {
    auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QFileInfo info(path);
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                        QStringLiteral(".XXXXXX"));
    // mkostemp creates the file 0600 (less the umask) and only for us; the
    // final mode is set before any content is written.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    bool ok = ::fchmod(fd, mode_t(mode)) == 0 && writeAll(fd, data) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return fail(QString::fromLocal8Bit(std::strerror(err)));
    }
    return true;
}

}  // namespace platform
