#pragma once
// The installed applications of a Linux desktop for the start menu's scan:
// the XDG "applications" folders ("$XDG_DATA_HOME/applications", then each
// of "$XDG_DATA_DIRS"), where every desktop entry a menu would show is one
// application. Its path is the entry's file, its display name the entry's
// Name in the user's language, its identifier the desktop-file id (the path
// below the folder, '/' replaced by '-', without ".desktop"). An entry whose
// id an earlier folder already has is shadowed by that one and not listed.
//
// Entries are read once and kept while the file's size, modification time
// and inode stay the same, so a rescan of unchanged folders reads no file;
// the folders are watched (inotify), so that while nothing in them changed a
// scan need not even list them.
// Safe to use from any thread.
#include <QHash>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/application_folders.h"
#include "platform/desktop_entry.h"
#include "platform/linux/folder_change_watch.h"

namespace platform::linux_backend {

class XdgApplicationFolders : public ApplicationFolders {
public:
    // The default folders, the user's locale from the environment.
    XdgApplicationFolders();
    XdgApplicationFolders(QStringList applicationFolders, QString messagesLocale, QStringList currentDesktops);

    static QStringList defaultApplicationFolders();

    QStringList roots() override { return roots_; }
    QStringList extras() override { return {}; }
    std::optional<QStringList> contentsOfDirectory(const QString& path) override;
    bool fileExists(const QString& path, bool* isDirectory = nullptr) override;
    bool isApplicationEntry(const QString& folder, const QString& name) override;
    QString displayName(const QString& path) override;
    std::optional<QString> bundleIdentifier(const QString& path) override;
    // Each the user's default where one is set: the handler of https (else
    // http), of folders and of plain text in the mimeapps.list files, the
    // system's x-www-browser and x-terminal-emulator; else the first shown
    // entry of the role's category (WebBrowser, FileManager,
    // TerminalEmulator, TextEditor). Roles with neither are left out.
    std::optional<QStringList> everydayApplications() override;
    // Changes with any change in the folders or their sub-folders (one level
    // down, as the scan goes); none while they cannot be watched.
    std::optional<std::uint64_t> contentsGeneration() override { return watch_->generation(); }

    // How many entry files were read so far (each read parses one file).
    int filesRead() const;

private:
    struct Entry {
        qint64 size = -1;
        qint64 mtimeNs = 0;
        quint64 inode = 0;
        bool shown = false;
        QString name;
        QStringList categories;
        QString program;  // the file name of the Exec program
    };
    // The shown entry of a desktop-file id, by its path; empty when none.
    QString pathOfId(const QString& id);
    // The first shown entry (roots in order, names sorted) that matches.
    QString firstEntry(const std::function<bool(const QString& id, const Entry&)>& match);
    // The root holding a path directly or one folder below, and the id.
    std::optional<std::pair<int, QString>> locate(const QString& path) const;
    bool shadowed(int rootIndex, const QString& id) const;
    std::optional<Entry> entry(const QString& path);

    QStringList roots_;
    QStringList locales_;
    QStringList desktops_;
    mutable std::mutex mutex_;
    QHash<QString, Entry> cache_;
    int filesRead_ = 0;
    std::unique_ptr<FolderChangeWatch> watch_;
};

}  // namespace platform::linux_backend
