#include "core/localization.h"

#include <QDir>
#include <QTranslator>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/platform.h"

namespace {

const QString englishIdentifier = QStringLiteral("en");
const QString chineseIdentifier = QStringLiteral("zh-Hans");
const char* const context = "Quorvel";

// The translators of every localisation, loaded once per folder.
class Catalog {
public:
    static Catalog& shared() {
        static Catalog c;
        return c;
    }

    void setFolder(const QString& folder) {
        std::lock_guard lock(mutex_);
        folder_ = folder.isEmpty() ? QStringLiteral(":/i18n") : folder;
        loaded_ = false;
        translators_.clear();
    }

    bool has(const QString& identifier) {
        if (identifier == englishIdentifier) return true;
        std::lock_guard lock(mutex_);
        ensureLoaded();
        return translators_.count(identifier) > 0;
    }

    QStringList identifiers() {
        std::lock_guard lock(mutex_);
        ensureLoaded();
        QStringList out;
        for (const auto& [id, list] : translators_) out << id;
        return out;
    }

    QString translate(const QString& identifier, const char* english) {
        std::lock_guard lock(mutex_);
        ensureLoaded();
        auto it = translators_.find(identifier);
        if (it != translators_.end()) {
            for (const auto& t : it->second) {
                QString s = t->translate(context, english);
                if (!s.isEmpty()) return s;
            }
        }
        return QString::fromUtf8(english);
    }

private:
    void ensureLoaded() {
        if (loaded_) return;
        loaded_ = true;
        QDir dir(folder_);
        const QStringList files = dir.entryList({QStringLiteral("*.qm")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            // "<area>_<language>[_<script>].qm": the localisation is what
            // follows the area name, e.g. "services_zh_Hans.qm" -> "zh-Hans".
            const QString stem = file.chopped(3);
            const int cut = stem.indexOf(QLatin1Char('_'));
            if (cut <= 0) continue;
            const QString identifier = stem.mid(cut + 1).replace(QLatin1Char('_'), QLatin1Char('-'));
            auto translator = std::make_unique<QTranslator>();
            if (!translator->load(dir.filePath(file)) || translator->isEmpty()) continue;
            translators_[identifier].push_back(std::move(translator));
        }
    }

    std::mutex mutex_;
    QString folder_ = QStringLiteral(":/i18n");
    bool loaded_ = false;
    std::map<QString, std::vector<std::unique_ptr<QTranslator>>> translators_;
};

QStringList mainPreferredLocalizations() {
    const auto& services = platform::installed();
    if (!services.bundles) return {};
    return services.bundles->preferredLocalizations();
}

// The localisation the main bundle speaks: the first preferred one that is
// present, else English.
QString mainLocalization() {
    for (const QString& id : mainPreferredLocalizations())
        if (Catalog::shared().has(id)) return id;
    return englishIdentifier;
}

}  // namespace

QString LocalizationBundle::localizedString(const char* english) const {
    const QString id = isMain() ? mainLocalization() : identifier_;
    if (id == englishIdentifier) return QString::fromUtf8(english);
    return Catalog::shared().translate(id, english);
}

LocalizationBundle localizationBundle(const QString& identifier) {
    if (!identifier.isEmpty() && Catalog::shared().has(identifier)) return LocalizationBundle(identifier);
    return LocalizationBundle::mainBundle();
}

namespace app_language {

AppLanguage current() {
    if (!platform::installed().preferences) return AppLanguage::system;
    return settings::readAppLanguage();
}

QString localeIdentifier(AppLanguage language) {
    switch (language) {
        case AppLanguage::english: return englishIdentifier;
        case AppLanguage::simplifiedChinese: return chineseIdentifier;
        case AppLanguage::system: break;
    }
    const QStringList preferred = mainPreferredLocalizations();
    return preferred.isEmpty() ? englishIdentifier : preferred.first();
}

QLocale locale(AppLanguage language) {
    QString id = localeIdentifier(language);
    return QLocale(id.replace(QLatin1Char('-'), QLatin1Char('_')));
}

LocalizationBundle bundleFor(AppLanguage language) {
    switch (language) {
        case AppLanguage::english: return localizationBundle(englishIdentifier);
        case AppLanguage::simplifiedChinese: return localizationBundle(chineseIdentifier);
        case AppLanguage::system: break;
    }
    return LocalizationBundle::mainBundle();
}

}  // namespace app_language

QLocale currentLocale() { return app_language::locale(app_language::current()); }

QString tr_(const char* english) { return app_language::bundleFor(app_language::current()).localizedString(english); }

namespace localization {

QStringList presentLocalizations() { return Catalog::shared().identifiers(); }

void setTranslationFolder(const QString& folder) { Catalog::shared().setFolder(folder); }

}  // namespace localization
