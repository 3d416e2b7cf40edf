#pragma once
// The system log.
#include <QString>

namespace platform {

class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(const QString& line) = 0;
};

SystemLog& systemLog();
// Shorthand for systemLog().write(line).
void log(const QString& line);

}  // namespace platform
