// Icons and names come from caches after the first look-up; a process's icon
// is forgotten when the process ends.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>
#include <set>

#include "support/forwarding_workspace.h"
#include "support/sim_fixture.h"
#include "qt_print.h"
#include "taskbar/app_icon_provider.h"

namespace {

using platform::sim::AppSpec;

// Forwards to the simulated workspace and counts the look-ups the provider makes.
class CountingWorkspace : public ForwardingWorkspace {
public:
    using ForwardingWorkspace::ForwardingWorkspace;
    int applicationQueries = 0, iconQueries = 0, fileIconQueries = 0, urlQueries = 0, nameQueries = 0;

    std::optional<platform::RunningApplication> application(std::int32_t pid) override {
        ++applicationQueries;
        return inner_->application(pid);
    }
    std::optional<QString> urlForApplication(const QString& bundleID) override {
        ++urlQueries;
        return inner_->urlForApplication(bundleID);
    }
    std::optional<QImage> iconForApplication(std::int32_t pid) override {
        ++iconQueries;
        if (auto it = iconOverride.find(pid); it != iconOverride.end()) return it->second;
        return inner_->iconForApplication(pid);
    }
    // Stands in for a new process that was given a reused process id.
    std::map<std::int32_t, QImage> iconOverride;
    std::set<QString> pathsWithoutIcon;
    QImage iconForFile(const QString& path) override {
        ++fileIconQueries;
        if (pathsWithoutIcon.count(path)) return {};
        return inner_->iconForFile(path);
    }
    // The image files the background may decode, by path.
    std::map<QString, QString> imageFiles;
    QString iconImageFile(const QString& path) override {
        auto it = imageFiles.find(path);
        return it == imageFiles.end() ? QString() : it->second;
    }
    QString displayName(const QString& path) override {
        ++nameQueries;
        return inner_->displayName(path);
    }
};

class AppIconProviderTest : public SimDesktopTest {
protected:
    void SetUp() override {
        SimDesktopTest::SetUp();
        auto services = sim->services();
        workspace = std::make_shared<CountingWorkspace>(services.workspace);
        services.workspace = workspace;
        platform::install(services);
        provider = std::make_unique<AppIconProvider>();
    }
    void TearDown() override {
        provider.reset();
        SimDesktopTest::TearDown();
    }
    std::int32_t app(const QString& id, bool hasIcon, const QString& bundlePath, std::int32_t pid = 0,
                     std::optional<QColor> color = std::nullopt) {
        AppSpec given;
        given.pid = pid;
        given.bundleID = id;
        given.name = id;
        given.hasIcon = hasIcon;
        given.bundlePath = bundlePath;
        given.iconColor = color;
        return sim->addApplication(given);
    }
    std::shared_ptr<CountingWorkspace> workspace;
    std::unique_ptr<AppIconProvider> provider;
};

TEST_F(AppIconProviderTest, SecondRequestForAProcessComesFromTheCache) {
    const auto pid = app("com.example.a", true, "/Applications/A.app");
    ASSERT_TRUE(provider->icon(pid));
    ASSERT_TRUE(provider->icon(pid));
    EXPECT_EQ(workspace->applicationQueries, 1);
    EXPECT_EQ(workspace->iconQueries, 1);
    EXPECT_FALSE(provider->icon(0));
    EXPECT_FALSE(provider->icon(-5));
    EXPECT_EQ(workspace->applicationQueries, 1);

    // Another process of the same application shares the decoded icon.
    const auto other = app("com.example.a", true, "/Applications/A.app");
    ASSERT_TRUE(provider->icon(other));
    EXPECT_EQ(workspace->iconQueries, 1);
    EXPECT_EQ(provider->cachedPidIcons(), 2);
}

TEST_F(AppIconProviderTest, AReusedProcessIDGetsItsOwnIcon) {
    const auto pid = app("com.example.red", true, "", 0, QColor(Qt::red));
    const QImage first = *provider->icon(pid);
    QImage blue(16, 16, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    workspace->iconOverride[pid] = blue;
    EXPECT_EQ(*provider->icon(pid), first);  // still cached while it runs

    // The process ends; a new one gets the same id.
    sim->postWorkspaceNotification(platform::workspace_notifications::didTerminateApplication, pid);
    sim->pump();  // the notification arrives on the main queue
    const auto second = provider->icon(pid);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, blue);
    EXPECT_EQ(workspace->iconQueries, 2);
}

TEST_F(AppIconProviderTest, FallsBackToTheBundleIconAndCachesOnlySuccess) {
    const auto withBundle = app("com.example.b", false, "/Applications/B.app");
    EXPECT_TRUE(provider->icon(withBundle));
    EXPECT_EQ(workspace->fileIconQueries, 1);

    const auto bare = app("com.example.bare", false, "");
    EXPECT_FALSE(provider->icon(bare));
    EXPECT_FALSE(provider->icon(bare));
    EXPECT_EQ(workspace->applicationQueries, 3);  // asked again: nothing was cached
    EXPECT_EQ(provider->cachedPidIcons(), 1);

    EXPECT_FALSE(provider->icon(99999));  // no such process
}

TEST_F(AppIconProviderTest, BundleAndPathIconsAndNames) {
    sim->addBundle("/Applications/Notes Plus.app", "com.example.notes");
    sim->setDisplayName("/Applications/Notes Plus.app", "Notes Plus.app");
    EXPECT_EQ(provider->displayName("com.example.notes"), "Notes Plus");
    EXPECT_EQ(provider->displayName("com.example.notes"), "Notes Plus");
    EXPECT_EQ(workspace->nameQueries, 1);

    // An unknown identifier names itself, and that answer is kept even once
    // an application with that identifier is installed.
    EXPECT_EQ(provider->displayName("com.example.later"), "com.example.later");
    sim->addBundle("/Applications/Later.app", "com.example.later");
    EXPECT_EQ(provider->displayName("com.example.later"), "com.example.later");

    EXPECT_TRUE(provider->iconForBundleID("com.example.notes"));
    EXPECT_TRUE(provider->iconForBundleID("com.example.notes"));
    EXPECT_EQ(workspace->fileIconQueries, 1);
    EXPECT_FALSE(provider->iconForBundleID("com.example.missing"));
    EXPECT_EQ(provider->cachedBundleIcons(), 1);

    const int before = workspace->fileIconQueries;
    EXPECT_FALSE(provider->iconForPath(""));
    EXPECT_EQ(provider->cachedPathIcons(), 0);
    EXPECT_EQ(workspace->fileIconQueries, before);
    EXPECT_TRUE(provider->iconForPath("/Applications/Notes Plus.app"));
    EXPECT_TRUE(provider->iconForPath("/Applications/Notes Plus.app"));
    EXPECT_EQ(workspace->fileIconQueries, before + 1);

    // A path without an icon is looked up once until told to look again.
    workspace->pathsWithoutIcon.insert("/Applications/Nowhere.app");
    EXPECT_FALSE(provider->iconForPath("/Applications/Nowhere.app"));
    EXPECT_FALSE(provider->iconForPath("/Applications/Nowhere.app"));
    EXPECT_EQ(workspace->fileIconQueries, before + 2);
    provider->forgetMissingPathIcons();
    EXPECT_FALSE(provider->iconForPath("/Applications/Nowhere.app"));
    EXPECT_EQ(workspace->fileIconQueries, before + 3);
    EXPECT_EQ(provider->cachedPathIcons(), 1);
}

TEST_F(AppIconProviderTest, PathCachesKeepOnlyTheMostRecentlyAskedPaths) {
    const int limit = AppIconProvider::pathCacheLimit;
    for (int i = 0; i < limit + 100; ++i) {
        workspace->pathsWithoutIcon.insert(QStringLiteral("/none/%1").arg(i));
        for (const char* folder : {"/none/%1", "/apps/%1"}) provider->iconForPath(QString::fromLatin1(folder).arg(i));
    }
    EXPECT_EQ(std::pair(provider->cachedPathIcons(), provider->cachedMissingPathIcons()), std::pair(limit, limit));
    const int queries = workspace->fileIconQueries;
    for (int i : {limit + 99, 0}) provider->iconForPath(QStringLiteral("/apps/%1").arg(i));
    EXPECT_EQ(workspace->fileIconQueries, queries + 1) << "the latest is kept, the oldest let go";
}

TEST_F(AppIconProviderTest, PreloadDecodesTheNamedFilesAndHandsBackTheRest) {
    QTemporaryDir dir;
    QImage big(128, 96, QImage::Format_ARGB32);
    big.fill(Qt::red);
    ASSERT_TRUE(big.save(dir.filePath("big.png")));
    workspace->imageFiles = {{"/apps/a.desktop", dir.filePath("big.png")}, {"/apps/b.desktop", dir.filePath("big.png")},
                             {"/apps/broken.desktop", dir.filePath("missing.png")},
                             {"/apps/early.desktop", dir.filePath("big.png")}};
    std::vector<QStringList> rests;
    auto keep = [&](QStringList rest) { rests.push_back(rest); };

    // A preload replaced before its results arrive leaves no trace.
    provider->preloadPathIcons({"/apps/a.desktop"}, keep);
    provider->preloadPathIcons(
        {"/apps/a.desktop", "/apps/broken.desktop", "/apps/plain.app", "/apps/early.desktop", "/apps/b.desktop"}, keep);
    // The main thread learnt this icon meanwhile: its answer stays.
    const auto early = provider->iconForPath("/apps/early.desktop");
    ASSERT_TRUE(early);
    sim->pump();
    ASSERT_EQ(rests.size(), 1u);
    EXPECT_EQ(rests[0], QStringList({"/apps/broken.desktop", "/apps/plain.app"}));
    const int queries = workspace->fileIconQueries;
    const auto a = provider->iconForPath("/apps/a.desktop");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->size(), QSize(64, 48)) << "scaled down to the row's size, aspect kept";
    EXPECT_EQ(provider->iconForPath("/apps/b.desktop")->cacheKey(), a->cacheKey()) << "one file, one image";
    EXPECT_EQ(provider->iconForPath("/apps/early.desktop")->cacheKey(), early->cacheKey());
    EXPECT_EQ(workspace->fileIconQueries, queries) << "both from the cache";
}

}  // namespace
