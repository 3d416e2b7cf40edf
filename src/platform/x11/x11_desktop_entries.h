#pragma once
// Installed applications as the freedesktop menu knows them: the .desktop
// files under the XDG data folders. They give running X11 clients their
// identifier, name, icon and a path to launch them again.
#include <QString>
#include <QStringList>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::x11 {

struct DesktopEntry {
    QString id;    // file name without ".desktop", sub-folders joined by '-'
    QString path;  // the .desktop file
    QString name;
    QString startupWMClass;
    QString icon;
    QString exec;
    bool terminal = false;  // Terminal=true: runs in a terminal window
    friend bool operator==(const DesktopEntry&, const DesktopEntry&) = default;
};

// Splits an Exec value into program and arguments
// (desktop_entry::execArguments).
QStringList desktopExecArguments(const QString& exec);

// Parses one file's [Desktop Entry] group; absent for anything that is not a
// shown application (wrong type, hidden, no name, unreadable, oversized).
std::optional<DesktopEntry> parseDesktopEntry(const QString& path, const QString& id);

class DesktopEntryIndex {
public:
    // "$XDG_DATA_HOME/applications" then each of "$XDG_DATA_DIRS/applications".
    static QStringList defaultDirectories();
    // The folders are walked again at most every `rescanInterval` seconds,
    // and only after a change in them.
    explicit DesktopEntryIndex(QStringList directories = defaultDirectories(), double rescanInterval = 10.0);
    ~DesktopEntryIndex();
    DesktopEntryIndex(const DesktopEntryIndex&) = delete;
    DesktopEntryIndex& operator=(const DesktopEntryIndex&) = delete;

    std::optional<DesktopEntry> byId(const QString& id);
    std::optional<DesktopEntry> byPath(const QString& path);
    // The entry of a running client: its GTK application id names the entry;
    // else an entry whose StartupWMClass is the WM_CLASS class (or instance);
    // else an entry whose id (or the last part of a dotted id) is the class
    // or instance, ignoring case.
    std::optional<DesktopEntry> match(const QString& gtkApplicationId, const QString& wmClassClass,
                                      const QString& wmClassInstance);
    std::size_t size();

private:
    void scanIfStale();
    // True when the folders may have changed since the last walk: a change
    // reported by the kernel, a lost report, a folder that appeared, or no
    // way to be told at all.
    bool foldersMayHaveChanged();
    void watch(const QString& dir);
    QStringList directories_;
    double rescanInterval_;
    std::mutex mutex_;
    std::vector<DesktopEntry> entries_;
    std::map<QString, std::size_t> byId_;
    double scannedAt_ = -1;
    // What each file read as at the last scan, by path, with its modification time.
    struct ReadEntry {
        qint64 modified = 0;
        std::optional<DesktopEntry> entry;
    };
    std::map<QString, ReadEntry> read_;
    // Lowest entry index under each key the client matching looks for.
    std::map<QString, std::size_t> byWMClass_, byFoldedId_, byFoldedIdTail_;
    // Change reports on every folder walked (-1: none to be had).
    int notifyFd_ = -1;
    bool watchFailed_ = false;
    QStringList missing_;  // configured folders absent at the last walk
};

}  // namespace platform::x11
