#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <map>

#include "core/localization.h"
#include "platform/platform.h"
#include "platform/sim/manual_dispatcher.h"

using namespace platform;

namespace {

class ScriptedBundles : public Bundles {
public:
    QStringList preferred;
    std::optional<QString> mainBundleIdentifier() override { return prefs::applicationDomain; }
    std::optional<QVariant> mainInfoValue(const QString&) override { return std::nullopt; }
    QStringList preferredLocalizations() override { return preferred; }
    QStringList availableLocalizations() override { return {QStringLiteral("en"), QStringLiteral("zh-Hans")}; }
    std::optional<QString> bundleIdentifier(const QString&) override { return std::nullopt; }
    std::optional<QVariant> infoValue(const QString&, const QString&) override { return std::nullopt; }
};

// Texts of the program with their shipped Simplified Chinese translations.
constexpr const char* quitEnglish = "Quit Quorvel";
const QString quitChinese = QStringLiteral("退出 Quorvel");
constexpr const char* untranslated = "A text nobody has translated";

struct Languages : ::testing::Test {
    std::shared_ptr<ScriptedBundles> bundles = std::make_shared<ScriptedBundles>();
    void SetUp() override {
        localization::setTranslationFolder({});
        Services s;
        s.dispatcher = std::make_shared<sim::ManualDispatcher>();
        s.preferences = std::make_shared<prefs::MemoryBackend>();
        s.bundles = bundles;
        install(s);
    }
    void TearDown() override {
        uninstall();
        localization::setTranslationFolder({});
    }
    void choose(const char* raw) { prefs::userDefaults().setString(settings::keys::appLanguage, QString::fromUtf8(raw)); }
};

}  // namespace

TEST_F(Languages, TheSettingChoosesALanguageByExactText) {
    struct Row {
        const char* stored;  // null: missing
        AppLanguage expected;
    };
    const Row rows[] = {
        {nullptr, AppLanguage::system},       {"system", AppLanguage::system},
        {"english", AppLanguage::english},    {"simplifiedChinese", AppLanguage::simplifiedChinese},
        {"English", AppLanguage::system},     {"zh-Hans", AppLanguage::system},
        {"", AppLanguage::system},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.stored ? r.stored : "(missing)");
        if (r.stored) choose(r.stored);
        else prefs::userDefaults().remove(settings::keys::appLanguage);
        EXPECT_EQ(app_language::current(), r.expected);
    }
    prefs::userDefaults().setBool(settings::keys::appLanguage, true);  // wrong type
    EXPECT_EQ(app_language::current(), AppLanguage::system);
}

TEST_F(Languages, LocalesFollowTheLanguageAndTheMainBundlesFirstPreference) {
    EXPECT_EQ(app_language::localeIdentifier(AppLanguage::english), QStringLiteral("en"));
    EXPECT_EQ(app_language::localeIdentifier(AppLanguage::simplifiedChinese), QStringLiteral("zh-Hans"));
    bundles->preferred = {};
    EXPECT_EQ(app_language::localeIdentifier(AppLanguage::system), QStringLiteral("en"));
    bundles->preferred = {QStringLiteral("zh-Hans"), QStringLiteral("en")};
    EXPECT_EQ(app_language::localeIdentifier(AppLanguage::system), QStringLiteral("zh-Hans"));
    EXPECT_EQ(app_language::locale(AppLanguage::system).script(), QLocale::SimplifiedHanScript);
    EXPECT_EQ(app_language::locale(AppLanguage::english).language(), QLocale::English);
    EXPECT_EQ(app_language::locale(AppLanguage::simplifiedChinese).language(), QLocale::Chinese);
    choose("english");
    EXPECT_EQ(currentLocale().language(), QLocale::English);
}

TEST_F(Languages, TextsAreLookedUpInTheChosenLanguageAndSwitchAtOnce) {
    ASSERT_TRUE(localization::presentLocalizations().contains(QStringLiteral("zh-Hans")));
    struct Row {
        const char* setting;
        QStringList systemPreference;
        QString expected;
    };
    const Row rows[] = {
        {"english", {QStringLiteral("zh-Hans")}, QString::fromUtf8(quitEnglish)},
        {"simplifiedChinese", {QStringLiteral("en")}, quitChinese},
        {"system", {QStringLiteral("zh-Hans"), QStringLiteral("en")}, quitChinese},
        {"system", {QStringLiteral("en"), QStringLiteral("zh-Hans")}, QString::fromUtf8(quitEnglish)},
        // A preferred localisation we do not ship falls through to the next.
        {"system", {QStringLiteral("fr"), QStringLiteral("zh-Hans")}, quitChinese},
        {"system", {}, QString::fromUtf8(quitEnglish)},
        {"English", {QStringLiteral("zh-Hans")}, quitChinese},  // names no case: follows the system
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.setting) + " / " + r.systemPreference.join(',').toStdString());
        bundles->preferred = r.systemPreference;
        choose(r.setting);
        EXPECT_EQ(tr_(quitEnglish), r.expected);
    }
    // A text without a translation shows in English in every language.
    for (const char* setting : {"english", "simplifiedChinese", "system"}) {
        choose(setting);
        EXPECT_EQ(tr_(untranslated), QString::fromUtf8(untranslated));
    }
}

TEST_F(Languages, AMissingChineseLocalisationFallsBackToTheMainBundleInEnglish) {
    QTemporaryDir empty;
    localization::setTranslationFolder(empty.path());
    EXPECT_TRUE(localization::presentLocalizations().isEmpty());
    EXPECT_TRUE(localizationBundle(QStringLiteral("zh-Hans")).isMain());
    EXPECT_FALSE(localizationBundle(QStringLiteral("en")).isMain());
    bundles->preferred = {QStringLiteral("zh-Hans")};
    choose("simplifiedChinese");
    EXPECT_EQ(app_language::bundleFor(AppLanguage::simplifiedChinese), LocalizationBundle::mainBundle());
    EXPECT_EQ(tr_(quitEnglish), QString::fromUtf8(quitEnglish));
    // The locale still follows the choice.
    EXPECT_EQ(currentLocale().language(), QLocale::Chinese);
}

TEST(LanguagesWithoutPlatform, EnglishWhenNothingIsInstalled) {
    uninstall();
    EXPECT_EQ(app_language::current(), AppLanguage::system);
    EXPECT_EQ(tr_(quitEnglish), QString::fromUtf8(quitEnglish));
}

// Every translation file feeds one catalogue, so a source text translated
// two ways would show whichever file happens to load first.
TEST(ShippedTranslations, EachTextHasOneTranslationInTheOneContext) {
    const QDir folder(QStringLiteral(QUORVEL_TEST_SOURCE_DIR "/resources/i18n"));
    const QStringList files = folder.entryList({QStringLiteral("*.ts")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty());
    std::map<QString, std::pair<QString, QString>> seen;  // source -> (file, translation)
    for (const QString& name : files) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        QXmlStreamReader xml(&file);
        QString context, source;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            if (xml.name() == QLatin1String("name")) context = xml.readElementText();
            else if (xml.name() == QLatin1String("source")) source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                const QString translation = xml.readElementText();
                EXPECT_EQ(context, QStringLiteral("Quorvel")) << name.toStdString() << ": " << source.toStdString();
                const auto [it, fresh] = seen.try_emplace(source, name, translation);
                EXPECT_TRUE(fresh || it->second.second == translation)
                    << '"' << source.toStdString() << "\" is \"" << it->second.second.toStdString() << "\" in "
                    << it->second.first.toStdString() << " but \"" << translation.toStdString() << "\" in "
                    << name.toStdString();
            }
        }
        EXPECT_FALSE(xml.hasError()) << name.toStdString() << ": " << xml.errorString().toStdString();
    }
}
