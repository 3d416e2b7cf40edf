#pragma once
// The program's own bundle identity on this machine, the localisations it
// ships, the user's preferred ones (from the system locale), and the
// information dictionaries of application bundles on disk.
#include <QMap>
#include <mutex>

#include "platform/bundle.h"

namespace platform::linux_backend {

class HostBundles : public Bundles {
public:
    HostBundles();
    std::optional<QString> mainBundleIdentifier() override;
    std::optional<QVariant> mainInfoValue(const QString& key) override;
    QStringList preferredLocalizations() override;
    QStringList availableLocalizations() override;
    // Reads "<path>/Contents/Info.plist" (XML form).
    std::optional<QString> bundleIdentifier(const QString& path) override;
    std::optional<QVariant> infoValue(const QString& path, const QString& key) override;

    // The available localisations matching the user's languages (BCP 47 or
    // POSIX tags, best first); the development localisation "en" when none
    // matches.
    static QStringList matchLocalizations(const QStringList& userLanguages, const QStringList& available);

private:
    QVariantMap info_;
    std::once_flag preferredOnce_;
    QStringList preferred_;
};

}  // namespace platform::linux_backend
