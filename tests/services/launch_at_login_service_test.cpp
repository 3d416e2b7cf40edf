#include "platform/preferences.h"
#include "services/launch_at_login_service.h"
#include "services_fixture.h"

using platform::LoginItemStatus;
using services::LaunchAtLoginService;

namespace {

class LaunchAtLoginTest : public services_test::ServicesTest {};

// Which call each wanted state makes from each status.
TEST_F(LaunchAtLoginTest, StateRules) {
    struct Case {
        LoginItemStatus from;
        bool wanted;
        int registers, unregisters;
    };
    const Case cases[] = {
        {LoginItemStatus::notRegistered, true, 1, 0},    {LoginItemStatus::notFound, true, 1, 0},
        {LoginItemStatus::enabled, true, 0, 0},          {LoginItemStatus::requiresApproval, true, 0, 0},
        {LoginItemStatus::enabled, false, 0, 1},         {LoginItemStatus::requiresApproval, false, 0, 1},
        {LoginItemStatus::notRegistered, false, 0, 0},   {LoginItemStatus::notFound, false, 0, 0},
    };
    for (const auto& c : cases) {
        loginItems->current = c.from;
        loginItems->registers = loginItems->unregisters = 0;
        LaunchAtLoginService service;
        service.setFailureMessage(QStringLiteral("earlier"));
        service.setEnabled(c.wanted);
        EXPECT_EQ(loginItems->registers, c.registers) << int(c.from) << c.wanted;
        EXPECT_EQ(loginItems->unregisters, c.unregisters) << int(c.from) << c.wanted;
        EXPECT_FALSE(service.failureMessage());
        EXPECT_EQ(service.status(), loginItems->current);
    }
}

TEST_F(LaunchAtLoginTest, SwitchShowsOnForEnabledAndApproval) {
    for (auto [s, on] : {std::pair{LoginItemStatus::enabled, true}, {LoginItemStatus::requiresApproval, true},
                         {LoginItemStatus::notRegistered, false}, {LoginItemStatus::notFound, false}}) {
        loginItems->current = s;
        EXPECT_EQ(LaunchAtLoginService().isSwitchOn(), on);
    }
}

TEST_F(LaunchAtLoginTest, FailureIsReportedAndStatusReRead) {
    LaunchAtLoginService service;
    int statusChanges = 0, messageChanges = 0;
    QObject::connect(&service, &LaunchAtLoginService::statusChanged, [&] { ++statusChanges; });
    QObject::connect(&service, &LaunchAtLoginService::failureMessageChanged, [&] { ++messageChanges; });

    loginItems->registerError = QStringLiteral("The operation couldn’t be completed.");
    service.setEnabled(true);
    EXPECT_EQ(service.failureMessage(), QStringLiteral("The operation couldn’t be completed."));
    EXPECT_EQ(service.status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(statusChanges, 0);
    EXPECT_EQ(log->take(), QStringList{QStringLiteral("Quorvel: 更新开机自启失败: The operation couldn’t be completed.")});

    // The system asks for approval on success: that is what is shown.
    loginItems->registerError.reset();
    loginItems->statusAfterRegister = LoginItemStatus::requiresApproval;
    service.setEnabled(true);
    EXPECT_FALSE(service.failureMessage());
    EXPECT_EQ(service.status(), LoginItemStatus::requiresApproval);
    EXPECT_EQ(statusChanges, 1);
    EXPECT_EQ(messageChanges, 2);
    EXPECT_TRUE(log->take().isEmpty());

    // The status changed behind the service's back: re-read even without a call.
    loginItems->current = LoginItemStatus::enabled;
    service.setEnabled(true);
    EXPECT_EQ(loginItems->registers, 2);
    EXPECT_EQ(service.status(), LoginItemStatus::enabled);
}

}  // namespace

namespace {

TEST_F(LaunchAtLoginTest, KnownFailureShownInTheChosenLanguage) {
    platform::prefs::userDefaults().setString(QStringLiteral("appLanguage"), QStringLiteral("simplifiedChinese"));
    loginItems->registerError = QStringLiteral("The autostart entry could not be written.");
    LaunchAtLoginService service;
    service.setEnabled(true);
    EXPECT_EQ(service.failureMessage(), QStringLiteral("无法写入自动启动项。"));
    // The log keeps the system's own description.
    EXPECT_EQ(log->take(), QStringList{QStringLiteral("Quorvel: 更新开机自启失败: The autostart entry could not be written.")});
}

}  // namespace
