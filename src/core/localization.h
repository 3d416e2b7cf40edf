#pragma once
// The interface language: which locale and which localisation bundle a text
// is looked up in.
//
// English text is the lookup key. Translations ship as compiled Qt Linguist
// files ":/i18n/<area>_<localisation>.qm", all in the context "Quorvel": the
// files of one localisation together are its one catalogue, split by area
// only to keep each file small. A text used in several areas ("Log Out" in
// the start menu and in its confirmation) therefore has one translation, and
// the files must agree on it (the test over resources/i18n checks this); add
// a translation to the file of the area that first shows the text. A
// localisation counts as present when at least one such file exists for it.
// English is always present: it is the text itself.
#include <QLocale>
#include <QString>
#include <QStringList>

#include "core/settings_model.h"

// A localisation bundle: the main bundle (whose language is the user's
// preferred one among those present) or the bundle of one localisation.
class LocalizationBundle {
public:
    static LocalizationBundle mainBundle() { return LocalizationBundle(QString()); }
    bool isMain() const { return identifier_.isEmpty(); }
    // "en", "zh-Hans"; empty for the main bundle.
    const QString& identifier() const { return identifier_; }
    // The translation of the English text in this bundle, or the English
    // text when it has none.
    QString localizedString(const char* english) const;
    bool operator==(const LocalizationBundle&) const = default;

private:
    friend LocalizationBundle localizationBundle(const QString& identifier);
    explicit LocalizationBundle(QString identifier) : identifier_(std::move(identifier)) {}
    QString identifier_;
};

namespace app_language {

// The "appLanguage" setting: "english" and "simplifiedChinese" choose those;
// a missing value, "system" and every other text give `system`.
AppLanguage current();
// "en", "zh-Hans", or for `system` the first of the main bundle's preferred
// localisations ("en" when it has none).
QString localeIdentifier(AppLanguage language);
QLocale locale(AppLanguage language);
// The bundle a language's texts come from: `system` the main bundle,
// `english` bundle("en"), `simplifiedChinese` bundle("zh-Hans").
LocalizationBundle bundleFor(AppLanguage language);

}  // namespace app_language

// The bundle of the localisation with this identifier when it is present,
// otherwise the main bundle.
LocalizationBundle localizationBundle(const QString& identifier);

// The locale of the chosen language, for dates and numbers.
QLocale currentLocale();

// The English text in the language chosen now (read at every call, so a
// change of the setting takes effect at once).
QString tr_(const char* english);

namespace localization {

// Which localisations have compiled translations (besides "en").
QStringList presentLocalizations();
// Reads the translation files from another folder (tests); an empty path
// goes back to ":/i18n".
void setTranslationFolder(const QString& folder);

}  // namespace localization
