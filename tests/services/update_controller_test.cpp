#include <thread>

#include "services/update_controller.h"
#include "services_fixture.h"

using services::UpdateController;
namespace feed = services::UpdateFeedCheck;

namespace {

const QString key32 = QString::fromLatin1(QByteArray(32, '\x07').toBase64());  // 44 characters
const QString good = QStringLiteral("https://updates.example.com/quorvel/stable/v1/appcast.xml");

TEST(UpdateFeedCheckTest, FeedTable) {
    struct Case {
        std::optional<QString> url;
        bool valid;
    };
    const Case cases[] = {
        {good, true},
        {QStringLiteral("https://example.com/stable/v1/"), true},
        {QStringLiteral("https://example.com:8443/x/stable/v1/feed"), true},
        {QStringLiteral("https://example.com/a%20b/stable/v1/feed"), true},
        {std::nullopt, false},
        {QStringLiteral(""), false},
        {QStringLiteral("http://example.com/stable/v1/feed"), false},
        {QStringLiteral("HTTPS://example.com/stable/v1/feed"), false},
        {QStringLiteral("ftp://example.com/stable/v1/feed"), false},
        {QStringLiteral("https:///stable/v1/feed"), false},
        {QStringLiteral("https:/stable/v1/feed"), false},
        {QStringLiteral("/stable/v1/feed"), false},
        {QStringLiteral("https://user@example.com/stable/v1/feed"), false},
        {QStringLiteral("https://user:pw@example.com/stable/v1/feed"), false},
        {QStringLiteral("https://:pw@example.com/stable/v1/feed"), false},
        {QStringLiteral("https://example.com/stable/v1/feed?x=1"), false},
        {QStringLiteral("https://example.com/stable/v1/feed?"), false},
        {QStringLiteral("https://example.com/stable/v1/feed#top"), false},
        {QStringLiteral("https://example.com/stable/v1"), false},
        {QStringLiteral("https://example.com/stable/v12/feed"), false},
        {QStringLiteral("https://example.com/beta/v1/feed"), false},
        {QStringLiteral("https://example.com/Stable/v1/feed"), false},
        {QStringLiteral("https://example.com/xstable/v1/feed"), false},
        {QStringLiteral("https://stable/v1/"), false},  // the host is not part of the path
        {QStringLiteral("https://exa mple.com/stable/v1/feed"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(feed::isValidFeedURL(c.url, key32, QStringLiteral("stable"), 1), c.valid)
            << (c.url ? c.url->toStdString() : "(none)");
}

TEST(UpdateFeedCheckTest, KeyTable) {
    struct Case {
        std::optional<QString> key;
        bool valid;
    };
    const QString k31 = QString::fromLatin1(QByteArray(31, 'a').toBase64());
    const QString k33 = QString::fromLatin1(QByteArray(33, 'a').toBase64());
    const QString urlSafe = QString::fromLatin1(QByteArray(32, '\xfb').toBase64(QByteArray::Base64UrlEncoding));
    const Case cases[] = {
        {key32, true},
        {QString::fromLatin1(QByteArray(32, '\xfb').toBase64()), true},
        {k31, false},
        {k33, false},
        {std::nullopt, false},
        {QStringLiteral(""), false},
        {key32.chopped(1), false},               // padding missing
        {key32 + QStringLiteral("\n"), false},   // no whitespace
        {QStringLiteral(" ") + key32, false},
        {urlSafe, false},                        // '-' and '_' are not standard base64
        {QStringLiteral("not base64 at all!!!!!!!!!!!!!!!!!!!!!!!!!!!"), false},
        {key32.left(20) + QStringLiteral("=") + key32.mid(21), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(feed::isValidFeedURL(good, c.key, QStringLiteral("stable"), 1), c.valid)
            << (c.key ? c.key->toStdString() : "(none)");
}

class UpdateControllerTest : public services_test::ServicesTest {
protected:
    void configureValidFeed() {
        const QString url = QStringLiteral("https://updates.example.com/") + UpdateController::releaseChannel() +
                            QStringLiteral("/v") + QString::number(UpdateController::majorVersion()) +
                            QStringLiteral("/appcast.xml");
        bundles->info[QStringLiteral("SUFeedURL")] = url;
        bundles->info[QStringLiteral("SUPublicEDKey")] = key32;
    }
    void setUpController() {
        controller.setUp([this] { ++prepares; }, [this] { ++resumes; });
        pump();
    }
    UpdateController controller;
    int prepares = 0, resumes = 0;
};

TEST_F(UpdateControllerTest, InvalidOrMissingFeedDisablesUpdates) {
    for (int variant = 0; variant < 3; ++variant) {
        UpdateController c;
        bundles->info.clear();
        if (variant == 1) {
            configureValidFeed();
            bundles->info[QStringLiteral("SUPublicEDKey")] = QVariant(QByteArray(32, 'a'));  // not text
        } else if (variant == 2) {
            configureValidFeed();
            bundles->info[QStringLiteral("SUFeedURL")] = QStringLiteral("http://example.com/stable/v0/");
        }
        updater->canCheck = true;
        c.setUp([] {}, [] {});
        pump();
        EXPECT_FALSE(c.hasUpdater());
        EXPECT_FALSE(c.canCheckForUpdates());
        c.checkForUpdates();
    }
    EXPECT_EQ(updater->starts, 0);
    EXPECT_EQ(updater->checks, 0);
}

TEST_F(UpdateControllerTest, ValidFeedStartsAndMirrorsCanCheckFromAnyThread) {
    configureValidFeed();
    updater->canCheck = true;
    setUpController();
    EXPECT_TRUE(controller.hasUpdater());
    EXPECT_EQ(updater->starts, 1);
    EXPECT_TRUE(controller.canCheckForUpdates());  // the initial value arrives at once

    std::thread other([this] { updater->changeCanCheck(false); });
    other.join();
    EXPECT_TRUE(controller.canCheckForUpdates());  // applied on the main thread only
    pump();
    EXPECT_FALSE(controller.canCheckForUpdates());

    controller.checkForUpdates();
    EXPECT_EQ(updater->checks, 1);
    // A second set-up does nothing.
    controller.setUp(nullptr, nullptr);
    EXPECT_EQ(updater->starts, 1);
}

TEST_F(UpdateControllerTest, UpdaterThatCannotStartLeavesUpdatesDisabled) {
    configureValidFeed();
    updater->canCheck = true;
    updater->startSucceeds = false;
    setUpController();
    EXPECT_FALSE(controller.hasUpdater());
    EXPECT_FALSE(controller.canCheckForUpdates());
}

TEST_F(UpdateControllerTest, InstallationBracket) {
    configureValidFeed();
    setUpController();
    std::vector<bool> flagAtHook;
    controller.setUp(nullptr, nullptr);  // ignored: hooks stay

    // End of a cycle without a will-install call: nothing.
    updater->delegate.didFinishUpdateCycle();
    updater->delegate.didAbort();
    EXPECT_EQ(resumes, 0);

    updater->delegate.willInstallUpdate();
    updater->delegate.willInstallUpdate();
    EXPECT_EQ(prepares, 1);
    EXPECT_TRUE(controller.isPreparingInstallation());
    updater->delegate.didAbort();
    EXPECT_EQ(resumes, 1);
    EXPECT_FALSE(controller.isPreparingInstallation());
    updater->delegate.didFinishUpdateCycle();
    EXPECT_EQ(resumes, 1);

    updater->delegate.willInstallUpdate();
    updater->delegate.didFinishUpdateCycle();
    EXPECT_EQ(prepares, 2);
    EXPECT_EQ(resumes, 2);
}

TEST_F(UpdateControllerTest, FlagChangesBeforeTheHookRuns) {
    configureValidFeed();
    std::vector<bool> seen;
    controller.setUp([&] { seen.push_back(controller.isPreparingInstallation()); },
                     [&] { seen.push_back(controller.isPreparingInstallation()); });
    pump();
    updater->delegate.willInstallUpdate();
    updater->delegate.didFinishUpdateCycle();
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(UpdateControllerTest, NoHooksOnceTerminating) {
    configureValidFeed();
    setUpController();
    updater->delegate.willInstallUpdate();
    ASSERT_EQ(prepares, 1);
    int published = 0;
    QObject::connect(&controller, &UpdateController::isPreparingInstallationChanged, [&](bool) { ++published; });
    controller.markTerminating();
    EXPECT_FALSE(controller.isPreparingInstallation());
    EXPECT_EQ(published, 1);
    updater->delegate.didFinishUpdateCycle();
    updater->delegate.willInstallUpdate();
    updater->delegate.didAbort();
    EXPECT_EQ(prepares, 1);
    EXPECT_EQ(resumes, 0);
}

}  // namespace
