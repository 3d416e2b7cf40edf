#include "platform/platform.h"
#include "services/launch_at_login_service.h"

#include "core/localization.h"
#include "platform/log.h"

namespace services {

using platform::LoginItemStatus;

LaunchAtLoginService::LaunchAtLoginService() : status_(platform::loginItems().status()) {}

LaunchAtLoginService& LaunchAtLoginService::shared() {
    static platform::SharedInstance<LaunchAtLoginService> instance;
    return *instance.get([] { return std::make_shared<LaunchAtLoginService>(); });
}

void LaunchAtLoginService::setStatus(LoginItemStatus status) {
    if (status_ == status) return;
    status_ = status;
    emit statusChanged();
}

void LaunchAtLoginService::setFailureMessage(std::optional<QString> message) {
    if (failureMessage_ == message) return;
    failureMessage_ = std::move(message);
    emit failureMessageChanged();
}

bool LaunchAtLoginService::isSwitchOn() const {
    return status_ == LoginItemStatus::enabled || status_ == LoginItemStatus::requiresApproval;
}

void LaunchAtLoginService::setEnabled(bool enabled) {
    setFailureMessage(std::nullopt);
    auto& items = platform::loginItems();
    const LoginItemStatus current = items.status();
    std::optional<QString> error;
    if (enabled) {
        if (current == LoginItemStatus::notRegistered || current == LoginItemStatus::notFound) error = items.registerItem();
    } else {
        if (current == LoginItemStatus::enabled || current == LoginItemStatus::requiresApproval)
            error = items.unregisterItem();
    }
    if (error) {
        // Descriptions the program knows are shown in the chosen language.
        setFailureMessage(tr_(error->toUtf8().constData()));
        platform::log(QStringLiteral("Quorvel: 更新开机自启失败: ") + *error);
    }
    setStatus(items.status());
}

}  // namespace services
