#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

#include "platform/linux/host_bundles.h"
#include "platform/linux/property_list.h"
#include "platform/linux/system_log.h"
#include "support/test_files.h"

using namespace platform;
using linux_backend::HostBundles;

TEST(HostBundles, PreferredLocalizationsFollowTheUsersLanguagesBestFirst) {
    const QStringList available{QStringLiteral("en"), QStringLiteral("zh-Hans")};
    struct Case {
        QStringList languages;
        QStringList expected;
    };
    const Case cases[] = {
        {{QStringLiteral("zh-CN"), QStringLiteral("zh-Hans-CN"), QStringLiteral("zh"), QStringLiteral("en-US")},
         {QStringLiteral("zh-Hans"), QStringLiteral("en")}},
        {{QStringLiteral("en-GB"), QStringLiteral("zh-SG")}, {QStringLiteral("en"), QStringLiteral("zh-Hans")}},
        {{QStringLiteral("zh_CN.UTF-8")}, {QStringLiteral("zh-Hans")}},
        // Traditional Chinese is not shipped: the development language stands in.
        {{QStringLiteral("zh-TW"), QStringLiteral("zh-Hant-HK")}, {QStringLiteral("en")}},
        {{QStringLiteral("de-DE"), QStringLiteral("zh-Hans")}, {QStringLiteral("zh-Hans")}},
        {{QStringLiteral("C")}, {QStringLiteral("en")}},
        {{}, {QStringLiteral("en")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.languages.join(',').toStdString());
        EXPECT_EQ(HostBundles::matchLocalizations(c.languages, available), c.expected);
    }
}

TEST(HostBundles, MainBundleAndOtherBundlesInfo) {
    HostBundles b;
    EXPECT_EQ(b.mainBundleIdentifier(), QStringLiteral("app.quorvel.Quorvel"));
    EXPECT_EQ(b.mainInfoValue(QStringLiteral("CFBundleIdentifier")), QVariant(QStringLiteral("app.quorvel.Quorvel")));
    EXPECT_EQ(b.mainInfoValue(QStringLiteral("SUFeedURL")), std::nullopt);
    EXPECT_EQ(b.availableLocalizations(), (QStringList{QStringLiteral("en"), QStringLiteral("zh-Hans")}));
    EXPECT_FALSE(b.preferredLocalizations().isEmpty());

    QTemporaryDir dir;
    const QString app = dir.filePath(QStringLiteral("Helper.app"));
    const QString info = app + QStringLiteral("/Contents/Info.plist");
    ASSERT_TRUE(writeFile(info, *plist::serialize(QVariantMap{
                                    {QStringLiteral("CFBundleIdentifier"), QStringLiteral("com.example.helper")},
                                    {QStringLiteral("LSUIElement"), true}})));
    EXPECT_EQ(b.bundleIdentifier(app), QStringLiteral("com.example.helper"));
    EXPECT_EQ(b.infoValue(app, QStringLiteral("LSUIElement")), QVariant(true));
    EXPECT_EQ(b.infoValue(app, QStringLiteral("LSBackgroundOnly")), std::nullopt);
    EXPECT_EQ(b.bundleIdentifier(dir.filePath(QStringLiteral("Missing.app"))), std::nullopt);
    // An identifier of the wrong type is no identifier.
    ASSERT_TRUE(writeFile(info, *plist::serialize(QVariantMap{{QStringLiteral("CFBundleIdentifier"), qint64(5)}})));
    EXPECT_EQ(b.bundleIdentifier(app), std::nullopt);
}

TEST(StderrLog, EachWriteIsOneLineEvenWithLineBreaksInside) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stderr.txt"));
    fflush(stderr);
    int saved = ::dup(STDERR_FILENO);
    FILE* capture = std::fopen(QFile::encodeName(path).constData(), "w");
    ::dup2(::fileno(capture), STDERR_FILENO);
    linux_backend::StderrLog log;
    log.write(QStringLiteral("[Quorvel] 第一行"));
    log.write(QStringLiteral("TBDBG title=evil\n[Quorvel] forged\r\nline"));
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::fclose(capture);
    EXPECT_EQ(QString::fromUtf8(readFile(path)),
              QStringLiteral("[Quorvel] 第一行\nTBDBG title=evil [Quorvel] forged  line\n"));
}
