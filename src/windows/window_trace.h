#pragma once
// The debug trace as the window code writes it.
#include <QString>

#if __has_include("services/trace_log.h")
#include "services/trace_log.h"
namespace WindowTrace {
inline bool isEnabled() { return TraceLog::isEnabled(); }
inline void write(const QString& line) { TraceLog::write(line); }
}  // namespace WindowTrace
#else
namespace WindowTrace {
inline bool isEnabled() { return false; }
inline void write(const QString&) {}
}  // namespace WindowTrace
#endif
