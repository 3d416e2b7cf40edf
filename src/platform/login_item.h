#pragma once
// The program's login item (start at login).
#include <QString>
#include <optional>

namespace platform {

enum class LoginItemStatus : int { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };

class LoginItems {
public:
    virtual ~LoginItems() = default;
    virtual LoginItemStatus status() = 0;
    // Absent on success, else the failure's localised description.
    virtual std::optional<QString> registerItem() = 0;
    virtual std::optional<QString> unregisterItem() = 0;
    virtual void openSystemSettingsLoginItems() = 0;
};

LoginItems& loginItems();

}  // namespace platform
