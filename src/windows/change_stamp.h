#pragma once
// What a poll needs to know to skip itself: the change counts of everything
// it reads (the workspace, the window list, the accessibility reads). Two
// equal stamps mean that nothing any of them reports can have changed in
// between, so the answer taken at the first is still the answer.
#include <cstdint>
#include <optional>

#include "platform/platform.h"

struct ChangeStamp {
    std::uint64_t workspace = 0;
    std::uint64_t windowList = 0;
    std::uint64_t accessibility = 0;
    friend bool operator==(const ChangeStamp&, const ChangeStamp&) = default;

    // The counts now; absent when any of the three cannot tell, and then
    // every poll does its work.
    static std::optional<ChangeStamp> now() {
        const auto workspace = platform::workspace().changeCount();
        const auto windowList = platform::windowServer().changeCount();
        const auto accessibility = platform::ax::api().changeCount();
        if (!workspace || !windowList || !accessibility) return std::nullopt;
        return ChangeStamp{*workspace, *windowList, *accessibility};
    }
    // True when both are known and equal.
    static bool unchanged(const std::optional<ChangeStamp>& then, const std::optional<ChangeStamp>& now) {
        return then && now && *then == *now;
    }
};
