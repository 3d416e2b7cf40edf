#pragma once
// The system log of this machine: standard error, one whole line per write.
#include <mutex>

#include "platform/log.h"

namespace platform::linux_backend {

class StderrLog : public SystemLog {
public:
    // Writes the line as given (callers add their own prefix) and a line feed.
    void write(const QString& line) override;

private:
    std::mutex mutex_;
};

}  // namespace platform::linux_backend
