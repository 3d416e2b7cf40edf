#pragma once
// A switchable diagnostic trace of window enumeration, accessibility
// notifications and icon fallbacks.
//
// Switched on by the environment variable "TBDBG" (any value, also empty) or
// else by the Bool user default "TBDBG"; decided once, at first use. When on,
// each message goes to the system log as "TBDBG <message>" and, as one UTF-8
// line, to the trace file, which the first line of the run empties. File
// input and output happen on the queue "app.quorvel.tblog" only; writers
// never wait for it.
//
// Writers test the switch first so that nothing is built while it is off:
//     if (TraceLog::isEnabled()) TraceLog::write(QStringLiteral("AXNotif ") + name);
//
// The trace file sits in a folder everyone can write to, so it is opened
// without following a symbolic link and only when it is a regular file of
// our own (created with mode 0600); otherwise the line is dropped.
#include <QString>

class TraceLog {
public:
    TraceLog() = delete;

    static bool isEnabled();
    // Does nothing while the switch is off.
    static void write(const QString& message);

    static inline const char* const defaultFilePath = "/tmp/quorvel-tbdbg.log";
    static QString filePath();
    // Points the trace at another file (tests); it is emptied at its first line.
    static void setFilePath(const QString& path);
};
