#include "platform/linux/host_bundles.h"

#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include "platform/linux/property_list.h"
#include "platform/preferences.h"

namespace platform::linux_backend {
namespace {

const QString english = QStringLiteral("en");
const QString simplifiedChinese = QStringLiteral("zh-Hans");

// The localisation a language tag asks for, or empty for one we do not know.
QString localizationFor(QString tag) {
    tag.replace(QLatin1Char('_'), QLatin1Char('-'));
    tag = tag.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);  // "zh_CN.UTF-8@x"
    if (tag.isEmpty() || tag == QLatin1String("C") || tag == QLatin1String("POSIX")) return {};
    QLocale locale(tag);
    switch (locale.language()) {
        case QLocale::English: return english;
        case QLocale::Chinese:
            // QLocale fills in the likely script: "zh" and "zh-CN" are
            // simplified, "zh-TW" and "zh-HK" traditional.
            return locale.script() == QLocale::SimplifiedHanScript ? simplifiedChinese : QStringLiteral("zh-Hant");
        default: return QLocale::languageToCode(locale.language());
    }
}

std::optional<QVariantMap> readInfo(const QString& bundlePath) {
    QByteArray document;
    if (readBoundedFile(QDir(bundlePath).filePath(QStringLiteral("Contents/Info.plist")), plist::maximumDocumentSize,
                        &document) != ReadOutcome::ok)
        return std::nullopt;
    auto value = plist::parse(document);
    if (!value || prefs::kindOf(*value) != prefs::Kind::dictionary) return std::nullopt;
    return value->toMap();
}

}  // namespace

HostBundles::HostBundles() {
    info_.insert(QStringLiteral("CFBundleIdentifier"), prefs::applicationDomain);
    info_.insert(QStringLiteral("CFBundleName"), QStringLiteral("Quorvel"));
    info_.insert(QStringLiteral("CFBundleDisplayName"), QStringLiteral("Quorvel"));
    info_.insert(QStringLiteral("CFBundleShortVersionString"), QStringLiteral("0.1.0"));
    info_.insert(QStringLiteral("CFBundleVersion"), QStringLiteral("1"));
    info_.insert(QStringLiteral("CFBundleDevelopmentRegion"), english);
    info_.insert(QStringLiteral("LSUIElement"), true);
}

std::optional<QString> HostBundles::mainBundleIdentifier() { return prefs::applicationDomain; }

std::optional<QVariant> HostBundles::mainInfoValue(const QString& key) {
    auto it = info_.constFind(key);
    if (it == info_.constEnd()) return std::nullopt;
    return it.value();
}

QStringList HostBundles::availableLocalizations() { return {english, simplifiedChinese}; }

QStringList HostBundles::preferredLocalizations() {
    // Asked at every text lookup; the user's languages are fixed for the run.
    std::call_once(preferredOnce_, [this] {
        preferred_ = matchLocalizations(QLocale::system().uiLanguages(), availableLocalizations());
    });
    return preferred_;
}

QStringList HostBundles::matchLocalizations(const QStringList& userLanguages, const QStringList& available) {
    QStringList out;
    for (const auto& tag : userLanguages) {
        const QString l10n = localizationFor(tag);
        if (!l10n.isEmpty() && available.contains(l10n) && !out.contains(l10n)) out << l10n;
    }
    if (out.isEmpty()) out << english;
    return out;
}

std::optional<QString> HostBundles::bundleIdentifier(const QString& path) {
    auto v = infoValue(path, QStringLiteral("CFBundleIdentifier"));
    if (!v || prefs::kindOf(*v) != prefs::Kind::text) return std::nullopt;
    return v->toString();
}

std::optional<QVariant> HostBundles::infoValue(const QString& path, const QString& key) {
    auto info = readInfo(path);
    if (!info) return std::nullopt;
    auto it = info->constFind(key);
    if (it == info->constEnd()) return std::nullopt;
    return it.value();
}

}  // namespace platform::linux_backend
