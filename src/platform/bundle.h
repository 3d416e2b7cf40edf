#pragma once
// Bundles: the program's own identity and information values, and those of
// other application bundles on disk.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace platform {

class Bundles {
public:
    virtual ~Bundles() = default;
    virtual std::optional<QString> mainBundleIdentifier() = 0;
    // A value of the main bundle's information dictionary (e.g. "SUFeedURL").
    virtual std::optional<QVariant> mainInfoValue(const QString& key) = 0;
    // The localisations the main bundle prefers for this user, best first.
    virtual QStringList preferredLocalizations() = 0;
    // Localisations that ship with the program ("en", "zh-Hans").
    virtual QStringList availableLocalizations() = 0;
    // Another bundle at a path: its identifier and information values.
    virtual std::optional<QString> bundleIdentifier(const QString& path) = 0;
    virtual std::optional<QVariant> infoValue(const QString& path, const QString& key) = 0;
};

Bundles& bundles();

}  // namespace platform
