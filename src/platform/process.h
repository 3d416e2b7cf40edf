#pragma once
// Child processes (never through a shell) and loading of shared libraries.
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <functional>
#include <optional>

namespace platform {

struct ProcessResult {
    bool launched = false;   // false: the executable could not be started
    int exitStatus = -1;     // valid when launched and exited normally
    int terminationSignal = 0;  // non-zero when it ended by a signal
    QString error;           // why it could not be started
    bool succeeded() const { return launched && terminationSignal == 0 && exitStatus == 0; }
};

class Processes {
public:
    virtual ~Processes() = default;
    // Runs the executable with the arguments and waits for it to end.
    virtual ProcessResult run(const QString& executable, const QStringList& arguments) = 0;
    // A function `int f(void)` from a shared library, or none.
    virtual std::function<int()> loadFunction(const QString& libraryPath, const QString& symbol) = 0;
    // Ends the process at once with the status: no static destructors or
    // exit handlers run, so nothing races the threads still running. A
    // simulated backend records the request instead.
    virtual void exitImmediately(int status) { std::_Exit(status); }
};

Processes& processes();
// Shorthand for processes().exitImmediately(status).
inline void exitImmediately(int status) { processes().exitImmediately(status); }

}  // namespace platform
