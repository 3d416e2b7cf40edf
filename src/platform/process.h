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
    // What a process started with launch() wrote to its standard error, in
    // its own words (the first few kilobytes); empty for run().
    QString errorOutput;
    bool succeeded() const { return launched && terminationSignal == 0 && exitStatus == 0; }
};

// How a process ended, or why it did not start, in words for a log line:
// "<executable> <arguments> exited with status 1" and the like.
QString describeProcessFailure(const QString& executable, const QStringList& arguments, const ProcessResult& result);

// Whether a command is the Dock's restart as the Dock controller asks for
// it ("killall Dock"): a desktop without that Dock process answers it itself.
bool isDockRestart(const QString& executable, const QStringList& arguments);

// Receives how a started process ended, on the main thread.
using ProcessExited = std::function<void(const ProcessResult&)>;

class Processes {
public:
    virtual ~Processes() = default;
    // Runs the executable with the arguments and waits for it to end.
    virtual ProcessResult run(const QString& executable, const QStringList& arguments) = 0;
    // Starts the executable with the arguments and returns at once: the
    // result says whether it started (its exit status is not in it). When it
    // started and `exited` is set, `exited` later runs on the main thread
    // with how it ended; the main thread never waits for it. A result that
    // arrives after the backend was replaced is dropped.
    virtual ProcessResult launch(const QString& executable, const QStringList& arguments, ProcessExited exited) {
        (void)executable, (void)arguments, (void)exited;
        ProcessResult r;
        r.error = QStringLiteral("processes cannot be started in the background here");
        return r;
    }
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
