#include "platform/linux/process.h"

#include "platform/platform.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <algorithm>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform::linux_backend {

namespace {

// Starts the child; its pid, or -1 with result.error set.
// `errorPipe` >= 0: the child's standard error goes there.
pid_t spawnChild(const QString& executable, const QStringList& arguments, ProcessResult& result, int errorPipe = -1) {
    if (executable.isEmpty()) {
        result.error = QStringLiteral("no executable given");
        return -1;
    }
    std::vector<QByteArray> storage;
    storage.reserve(size_t(arguments.size()) + 1);
    storage.push_back(QFile::encodeName(executable));
    for (const auto& a : arguments) storage.push_back(a.toLocal8Bit());
    for (const auto& s : storage) {
        if (s.contains('\0')) {
            result.error = QStringLiteral("an argument contains a NUL character");
            return -1;
        }
    }
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The child reads nothing of ours.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (errorPipe >= 0) posix_spawn_file_actions_adddup2(&actions, errorPipe, STDERR_FILENO);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Start the child with default dispositions and nothing blocked, whatever
    // this process has set up for itself.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigfillset(&defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const bool searchPath = !executable.contains(QLatin1Char('/'));
    int rc = searchPath ? posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                        : posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        result.error = QString::fromLocal8Bit(std::strerror(rc));
        return -1;
    }
    result.launched = true;
    return pid;
}

void recordStatus(int status, ProcessResult& result) {
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status)) result.terminationSignal = WTERMSIG(status);
}

// Waits for the child to end and records how it did.
void awaitChild(pid_t pid, ProcessResult& result) {
    int status = 0;
    pid_t waited;
    do waited = ::waitpid(pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        result.error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    recordStatus(status, result);
}

constexpr qsizetype keptErrorOutput = 4096;

// Reads the child's standard error (keeping the start) while it runs, so a
// chatty child never blocks on a full pipe, until it has ended; a
// grandchild that keeps the pipe open does not hold the report back.
void awaitChildReadingErrors(pid_t pid, int fd, ProcessResult& result) {
    QByteArray kept;
    char buffer[1024];
    auto readSome = [&] {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0 && kept.size() < keptErrorOutput) kept.append(buffer, std::min<qsizetype>(n, keptErrorOutput - kept.size()));
        return n;
    };
    bool ended = false;
    for (bool open = true; open;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0 && readSome() == 0) open = false;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            recordStatus(status, result);
            ended = true;
            while (readSome() > 0) {}  // what is left in the pipe (non-blocking)
            open = false;
        }
    }
    ::close(fd);
    if (!ended) awaitChild(pid, result);
    result.errorOutput = QString::fromLocal8Bit(kept).trimmed();
}

}  // namespace

ProcessResult PosixProcesses::run(const QString& executable, const QStringList& arguments) {
    ProcessResult result;
    const pid_t pid = spawnChild(executable, arguments, result);
    if (pid > 0) awaitChild(pid, result);
    return result;
}

ProcessResult PosixProcesses::launch(const QString& executable, const QStringList& arguments, ProcessExited exited) {
    ProcessResult started;
    int errors[2] = {-1, -1};
    if (::pipe2(errors, O_CLOEXEC) != 0) errors[0] = errors[1] = -1;
    const pid_t pid = spawnChild(executable, arguments, started, errors[1]);
    if (errors[1] >= 0) ::close(errors[1]);
    if (pid <= 0) {
        if (errors[0] >= 0) ::close(errors[0]);
        return started;
    }
    const int errorPipe = errors[0];
    if (errorPipe >= 0) ::fcntl(errorPipe, F_SETFL, O_NONBLOCK);
    // One small thread per child waits for its end (the child is always
    // reaped, also when nobody wants to hear of it); the end travels to the
    // main thread through the dispatcher of the installation that started
    // it, and is dropped there once another backend has been installed.
    std::shared_ptr<Dispatcher> dispatcher = isInstalled() ? installed().dispatcher : nullptr;
    const std::uint64_t generation = installationGeneration();
    auto wait = [pid, errorPipe, started, dispatcher, generation, exited = std::move(exited)]() mutable {
        ProcessResult ended = started;
        if (errorPipe >= 0)
            awaitChildReadingErrors(pid, errorPipe, ended);
        else
            awaitChild(pid, ended);
        if (!exited || !dispatcher) return;
        dispatcher->mainQueue().async([ended, generation, exited = std::move(exited)] {
            if (installationGeneration() == generation) exited(ended);
        });
    };
    try {
        std::thread(std::move(wait)).detach();
    } catch (const std::system_error&) {
        if (errorPipe >= 0) ::close(errorPipe);  // the child's writes fail rather than block
        // No thread to spare: the child runs on unwatched and stays a zombie
        // until this process ends; that it started is still true.
    }
    return started;
}

std::function<int()> PosixProcesses::loadFunction(const QString& libraryPath, const QString& symbol) {
    void* handle = ::dlopen(QFile::encodeName(libraryPath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return {};
    void* address = ::dlsym(handle, symbol.toUtf8().constData());
    if (!address) {
        ::dlclose(handle);
        return {};
    }
    // The library stays loaded while the function can still be called.
    std::shared_ptr<void> keep(handle, [](void* h) { ::dlclose(h); });
    auto fn = reinterpret_cast<int (*)()>(address);
    return [keep, fn]() { return fn(); };
}

}  // namespace platform::linux_backend
