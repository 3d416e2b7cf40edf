#include "platform/application_folders.h"

#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/linux/property_list.h"

namespace platform {

BundleFolders::BundleFolders(QStringList roots, QStringList extras)
    : roots_(std::move(roots)), extras_(std::move(extras)) {}

QStringList BundleFolders::roots() {
    std::lock_guard lock(mutex_);
    return roots_;
}

QStringList BundleFolders::extras() {
    std::lock_guard lock(mutex_);
    return extras_;
}

void BundleFolders::setLocations(QStringList roots, QStringList extras) {
    std::lock_guard lock(mutex_);
    roots_ = std::move(roots);
    extras_ = std::move(extras);
}

std::shared_ptr<BundleFolders> BundleFolders::underPrefix(const QString& prefix, const QString& home) {
    auto folders = std::make_shared<BundleFolders>(QStringList{}, QStringList{});
    folders->setUnderPrefix(prefix, home);
    return folders;
}

void BundleFolders::setUnderPrefix(const QString& prefix, const QString& home) {
    setLocations({prefix + QStringLiteral("/Applications"), prefix + QStringLiteral("/System/Applications"),
                  home + QStringLiteral("/Applications")},
                 {prefix + QStringLiteral("/System/Library/CoreServices/Finder.app")});
}

std::optional<QStringList> BundleFolders::contentsOfDirectory(const QString& path) {
    DIR* dir = ::opendir(QFile::encodeName(path).constData());
    if (!dir) return std::nullopt;
    QStringList names;
    while (dirent* entry = ::readdir(dir)) {
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
        names << QFile::decodeName(n);
    }
    ::closedir(dir);
    return names;
}

bool BundleFolders::fileExists(const QString& path, bool* isDirectory) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool BundleFolders::isApplicationEntry(const QString&, const QString& name) {
    return name.endsWith(QStringLiteral(".app"), Qt::CaseSensitive);
}

QString BundleFolders::displayName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

std::optional<QString> BundleFolders::bundleIdentifier(const QString& path) {
    // The shared bounded reader: capped, and a FIFO or device in the bundle never stalls the scan.
    QByteArray bytes;
    if (readBoundedFile(path + QStringLiteral("/Contents/Info.plist"), maximumInfoPlistSize, &bytes) !=
        ReadOutcome::ok)
        return std::nullopt;
    const auto root = plist::parse(bytes);
    if (!root || root->typeId() != QMetaType::QVariantMap) return std::nullopt;
    const QVariant id = root->toMap().value(QStringLiteral("CFBundleIdentifier"));
    if (id.typeId() != QMetaType::QString) return std::nullopt;
    return id.toString();
}

}  // namespace platform
