#pragma once
// The one table between the system's virtual key codes (the positions of
// the ANSI keyboard, as shortcuts are stored) and X key symbols: the global
// shortcuts grab through it and the shortcut recorder records through it,
// so a recorded shortcut is exactly the one that gets grabbed.
#include <cstdint>
#include <optional>

namespace platform {

// The key symbol a virtual key code produces without modifiers; absent for
// codes the table does not have.
std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t keyCode);
// The virtual key code of an unshifted key symbol (letters in either case);
// absent for symbols no virtual key produces.
std::optional<std::uint32_t> virtualKeyForKeysym(std::uint32_t keysym);
// The symbol of the same key without Shift on the ANSI layout ("!" -> "1",
// "A" -> "a", the left tab -> Tab); other symbols unchanged.
std::uint32_t unshiftedKeysym(std::uint32_t keysym);

}  // namespace platform
