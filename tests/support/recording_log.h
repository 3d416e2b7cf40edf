#pragma once
// A system log that keeps its lines for the test to read; written from any
// thread.
#include <QStringList>
#include <mutex>

#include "platform/platform.h"

class RecordingLog : public platform::SystemLog {
public:
    void write(const QString& line) override {
        std::lock_guard lock(mutex);
        lines << line;
    }
    QStringList all() {
        std::lock_guard lock(mutex);
        return lines;
    }
    QStringList take() {
        std::lock_guard lock(mutex);
        QStringList out = lines;
        lines.clear();
        return out;
    }
    std::mutex mutex;
    QStringList lines;
};
