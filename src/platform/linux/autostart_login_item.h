#pragma once
// The program's login item as an XDG autostart entry: a desktop file in the
// user's autostart folder that starts the running executable at login.
#include <QString>
#include <memory>
#include <optional>

#include "platform/login_item.h"

namespace platform::linux_backend {

class AutostartLoginItems : public LoginItems {
public:
    static inline const QString entryFileName = QStringLiteral("app.quorvel.Quorvel.desktop");

    // `executable` absent: the program's location is unknown (status notFound).
    AutostartLoginItems(QString autostartFolder, std::optional<QString> executable);
    // The running executable and the user's autostart folder:
    // $QUORVEL_HOME/autostart when that is set (tests, demo), else
    // $XDG_CONFIG_HOME/autostart, else ~/.config/autostart.
    static std::shared_ptr<AutostartLoginItems> forCurrentUser();
    static QString defaultAutostartFolder();

    LoginItemStatus status() override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;
    void openSystemSettingsLoginItems() override {}

    QString entryPath() const;
    // The Exec value that starts the executable, quoted and escaped for a
    // desktop file; absent when the path cannot be written there safely.
    static std::optional<QString> execValue(const QString& executable);

private:
    QString folder_;
    std::optional<QString> executable_;
};

}  // namespace platform::linux_backend
