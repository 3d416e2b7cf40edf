#pragma once
// The folders that hold the installed applications, as the start menu's scan
// sees them: where to look, directory listings, existence tests, display
// names and bundle identifiers.
//
// On the simulated desktop the folders are a real directory tree of
// application bundles ("Name.app/Contents/Info.plist"). On a Linux desktop
// they are the XDG "applications" folders, and each desktop entry that a menu
// would show counts as one application: its file path is the application's
// path, its Name in the user's language the display name and its desktop-file
// id the identifier.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

namespace platform {

class ApplicationFolders {
public:
    virtual ~ApplicationFolders() = default;

    // The folders to scan, in order, each with one level of sub-folders.
    virtual QStringList roots() = 0;
    // Single applications scanned after the roots when they exist.
    virtual QStringList extras() = 0;

    // The names of a folder's entries in the file system's order; none when
    // the folder cannot be listed (missing, no permission, not a folder).
    virtual std::optional<QStringList> contentsOfDirectory(const QString& path) = 0;
    // Whether the path exists (symbolic links followed), and whether it is a
    // folder.
    virtual bool fileExists(const QString& path, bool* isDirectory = nullptr) = 0;
    // Whether the entry `name` of a listed folder is an application.
    virtual bool isApplicationEntry(const QString& folder, const QString& name) = 0;
    // The name a file manager shows for the path.
    virtual QString displayName(const QString& path) = 0;
    // The application's identifier; none when it cannot be read or declares
    // none.
    virtual std::optional<QString> bundleIdentifier(const QString& path) = 0;
    // The identifiers of this desktop's own everyday applications that are
    // installed (web browser, file manager, terminal, text editor, in that
    // order); none where the program's own list of them applies.
    virtual std::optional<QStringList> everydayApplications() { return std::nullopt; }

    // A mark of what a scan would find: asked before a scan, the same mark
    // again later means nothing the scan looks at changed in between, so the
    // list it found still holds. A change (or anything the backend cannot
    // vouch for) gives a new mark, never given before in this process by any
    // folders. None where the backend cannot tell: every scan lists the
    // folders again.
    virtual std::optional<std::uint64_t> contentsGeneration() { return std::nullopt; }
};

// Plain application bundles in real folders: an entry is an application when
// its name ends with ".app" (letter case counts), the display name is the
// last path component, and the identifier is "CFBundleIdentifier" of the
// bundle's "Contents/Info.plist" (XML or binary; read with a size cap, any
// malformed file gives none).
class BundleFolders : public ApplicationFolders {
public:
    BundleFolders(QStringList roots, QStringList extras);
    QStringList roots() override;
    QStringList extras() override;
    // Replaces where to look (safe while a scan runs elsewhere; that scan
    // keeps the locations it started with).
    void setLocations(QStringList roots, QStringList extras);
    std::optional<QStringList> contentsOfDirectory(const QString& path) override;
    bool fileExists(const QString& path, bool* isDirectory = nullptr) override;
    bool isApplicationEntry(const QString& folder, const QString& name) override;
    QString displayName(const QString& path) override;
    std::optional<QString> bundleIdentifier(const QString& path) override;

    // The bundle layout under a prefix: "<prefix>/Applications",
    // "<prefix>/System/Applications", "<home>/Applications" and the extra
    // "<prefix>/System/Library/CoreServices/Finder.app".
    static std::shared_ptr<BundleFolders> underPrefix(const QString& prefix, const QString& home);
    void setUnderPrefix(const QString& prefix, const QString& home);

private:
    mutable std::mutex mutex_;
    QStringList roots_;
    QStringList extras_;
};

// Largest information property list read from a bundle.
inline constexpr qint64 maximumInfoPlistSize = 1024 * 1024;

// The installed backend's folders.
ApplicationFolders& applicationFolders();

}  // namespace platform
