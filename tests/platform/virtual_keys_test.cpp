// The virtual-key table works both ways, so a recorded key is the key grabbed.
#include <gtest/gtest.h>

#include "platform/virtual_keys.h"

namespace {

TEST(VirtualKeys, EveryCodeComesBackFromItsSymbolAndShiftedSymbolsFindTheirKey) {
    int mapped = 0;
    for (std::uint32_t code = 0; code < 128; ++code) {
        const auto keysym = platform::keysymForVirtualKey(code);
        if (!keysym) continue;
        ++mapped;
        EXPECT_EQ(platform::virtualKeyForKeysym(*keysym), code) << code;
    }
    EXPECT_GT(mapped, 90);
    struct Case {
        std::uint32_t typed;
        std::uint32_t code;
    };
    // What Shift makes of a key on the ANSI layout still names that key.
    const Case cases[] = {{'K', 40}, {'!', 18}, {'_', 27}, {'?', 44}, {'~', 50}, {'"', 39}, {0xfe20, 48}};
    for (const auto& c : cases) EXPECT_EQ(platform::virtualKeyForKeysym(platform::unshiftedKeysym(c.typed)), c.code);
    EXPECT_FALSE(platform::virtualKeyForKeysym(0x1008ff13).has_value());  // a volume key
}

}  // namespace
