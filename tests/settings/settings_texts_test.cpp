// Every text the settings window shows has a Simplified Chinese translation.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <set>

#include "core/localization.h"
#include "support/sim_fixture.h"
#include "support/test_files.h"

namespace {

class SettingsTextsTest : public SimDesktopTest {};

// The English keys in the settings' sources: arguments of the lookups, the
// helpers that look texts up, picker rows and the category titles.
std::set<QString> englishKeys() {
    const QRegularExpression patterns[] = {
        QRegularExpression(QString::fromUtf8(R"re((?:tr_|addSection|warningRow\(this,)\s*\(?\s*"([^"]+)")re")),
        QRegularExpression(QString::fromUtf8(R"re(translated\([^;]*?,\s*"([^"]+)"\))re")),
        QRegularExpression(QString::fromUtf8(R"re(QStringLiteral\("[^"]*"\),\s*"([^"]+)"\})re")),
        QRegularExpression(QString::fromUtf8(R"re(case SettingsCategory::\w+: return "([^"]+)")re")),
    };
    std::set<QString> keys;
    QDir dir(QStringLiteral(QUORVEL_TEST_SOURCE_DIR "/src/settings"));
    for (const QString& name : dir.entryList({QStringLiteral("*.cpp")})) {
        const QString text = QString::fromUtf8(readFile(dir.filePath(name)));
        for (const auto& re : patterns)
            for (auto it = re.globalMatch(text); it.hasNext();) keys.insert(it.next().captured(1));
    }
    return keys;
}

TEST_F(SettingsTextsTest, EveryTextHasAChineseTranslation) {
    const auto keys = englishKeys();
    ASSERT_GT(keys.size(), 15u) << "the sources were not found";
    const LocalizationBundle chinese = localizationBundle(QStringLiteral("zh-Hans"));
    ASSERT_FALSE(chinese.isMain());
    for (const QString& key : keys) {
        if (key == QStringLiteral("English")) continue;  // the language's own name
        EXPECT_NE(chinese.localizedString(key.toUtf8().constData()), key) << key.toStdString();
    }
}

}  // namespace
