#pragma once
// One installed application, the scan of the application folders that finds
// them, and the small list helpers that go between application paths and
// application records.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace platform {
class ApplicationFolders;
}

struct InstalledApp {
    // The display name without a trailing ".app".
    QString name;
    // The path as the scan composed it (folder, "/", entry name); never
    // normalised or resolved. The identity of the application.
    QString path;
    // None when the bundle cannot be read or declares none.
    std::optional<QString> bundleID;

    const QString& id() const { return path; }
    friend bool operator==(const InstalledApp&, const InstalledApp&) = default;

    // The paths of `paths` that are members of `keep`, in list order
    // (duplicates stay).
    static QStringList filterPaths(const QStringList& paths, const QSet<QString>& keep);
    // For each identifier in order, the path of the first application whose
    // identifier it is exactly; identifiers no application has are skipped.
    static QStringList seedPaths(const QStringList& bundleIDs, const std::vector<InstalledApp>& apps);
    // Path to application; the first pair of a path wins.
    static QHash<QString, InstalledApp> indexByPath(const std::vector<InstalledApp>& apps);
    // The applications named by the paths, in path order; each path taken at
    // its first occurrence; paths without an application are skipped.
    static std::vector<InstalledApp> apps(const QStringList& paths, const std::vector<InstalledApp>& apps);
    // Stable, locale-aware and case-insensitive order by name; equal names
    // keep their input order.
    static std::vector<InstalledApp> sortByName(const std::vector<InstalledApp>& apps);
};

// The text without its last n characters (n not negative; all gone when it
// has fewer).
QString droppingLast(const QString& text, qsizetype n);

// The list with the first `moved` taken out and put back at the index the
// first `target` had; unchanged when the two are equal or either is missing.
QStringList movePath(const QStringList& list, const QString& moved, const QString& target);

namespace InstalledAppScanner {

using KnownIndex = QHash<QString, InstalledApp>;

// Shared by one run of `collect` and its `scanDirectory` calls.
struct ScanState {
    std::vector<InstalledApp> result;
    QSet<QString> seen;
    KnownIndex known;
    platform::ApplicationFolders* folders = nullptr;
};

// What one scan found, and the folders' mark it started from.
struct LastScan {
    std::optional<std::uint64_t> generation;
    std::vector<InstalledApp> apps;
};

// The entry point, called off the main thread: the installed backend's
// application folders, with the previous result as the known list.
std::vector<InstalledApp> scan(const std::vector<InstalledApp>& known);
// The same, given the last scan of the same caller: while the folders' mark
// is the one that scan started from, its list is handed back without looking
// at the folders; otherwise they are scanned and `last` updated.
std::vector<InstalledApp> scan(const std::vector<InstalledApp>& known, LastScan& last);
std::vector<InstalledApp> scan(const std::vector<InstalledApp>& known, LastScan& last,
                               platform::ApplicationFolders& folders);
// The applications in the roots (one level of sub-folders) and the extras,
// in discovery order. A known record with an identifier is reused without
// reading its bundle again.
std::vector<InstalledApp> collect(const QStringList& roots, const QStringList& extras,
                                  const std::vector<InstalledApp>& known);
std::vector<InstalledApp> collect(const QStringList& roots, const QStringList& extras,
                                  const std::vector<InstalledApp>& known, platform::ApplicationFolders& folders);
void scanDirectory(const QString& folder, int depth, ScanState& state);
InstalledApp makeApp(const QString& path, const KnownIndex& known, platform::ApplicationFolders& folders);

}  // namespace InstalledAppScanner
