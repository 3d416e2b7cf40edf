#pragma once
// Starting the program at login: the login item's status and the message of
// the last failed change, and switching the item on or off.
#include <QObject>
#include <QString>
#include <optional>

#include "platform/login_item.h"

namespace services {

class LaunchAtLoginService : public QObject {
    Q_OBJECT
public:
    // Reads the item's status at creation.
    LaunchAtLoginService();
    static LaunchAtLoginService& shared();

    platform::LoginItemStatus status() const { return status_; }
    const std::optional<QString>& failureMessage() const { return failureMessage_; }
    void setStatus(platform::LoginItemStatus status);
    void setFailureMessage(std::optional<QString> message);
    // What the switch in the settings shows.
    bool isSwitchOn() const;

    // Never fails outward: a refusal lands in failureMessage and the log, and
    // the status is read again so it shows what the system really has.
    void setEnabled(bool enabled);

signals:
    void statusChanged();
    void failureMessageChanged();

private:
    platform::LoginItemStatus status_;
    std::optional<QString> failureMessage_;
};

}  // namespace services
