#include "platform/linux/system_log.h"

#include <QByteArray>
#include <cerrno>
#include <unistd.h>

namespace platform::linux_backend {

void StderrLog::write(const QString& line) {
    QByteArray bytes = line.toUtf8();
    // A line never spans several lines of the log.
    bytes.replace('\n', ' ');
    bytes.replace('\r', ' ');
    bytes.append('\n');
    std::lock_guard lock(mutex_);
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(STDERR_FILENO, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += n;
        left -= n;
    }
}

}  // namespace platform::linux_backend
