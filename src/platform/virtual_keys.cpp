#include "platform/virtual_keys.h"

namespace platform {
namespace {

struct KeyName {
    std::uint32_t code;
    std::uint32_t keysym;
};

// Virtual key codes of the ANSI keyboard and the key symbols they produce
// without modifiers.
constexpr KeyName virtualKeys[] = {
    {0x00, 'a'}, {0x01, 's'}, {0x02, 'd'}, {0x03, 'f'}, {0x04, 'h'}, {0x05, 'g'}, {0x06, 'z'}, {0x07, 'x'},
    {0x08, 'c'}, {0x09, 'v'}, {0x0B, 'b'}, {0x0C, 'q'}, {0x0D, 'w'}, {0x0E, 'e'}, {0x0F, 'r'}, {0x10, 'y'},
    {0x11, 't'}, {0x12, '1'}, {0x13, '2'}, {0x14, '3'}, {0x15, '4'}, {0x16, '6'}, {0x17, '5'}, {0x18, '='},
    {0x19, '9'}, {0x1A, '7'}, {0x1B, '-'}, {0x1C, '8'}, {0x1D, '0'}, {0x1E, ']'}, {0x1F, 'o'}, {0x20, 'u'},
    {0x21, '['}, {0x22, 'i'}, {0x23, 'p'}, {0x24, 0xff0d /* Return */}, {0x25, 'l'}, {0x26, 'j'},
    {0x27, '\''}, {0x28, 'k'}, {0x29, ';'}, {0x2A, '\\'}, {0x2B, ','}, {0x2C, '/'}, {0x2D, 'n'}, {0x2E, 'm'},
    {0x2F, '.'}, {0x30, 0xff09 /* Tab */}, {0x31, ' '}, {0x32, '`'}, {0x33, 0xff08 /* BackSpace */},
    {0x35, 0xff1b /* Escape */}, {0x41, 0xffae /* KP_Decimal */}, {0x43, 0xffaa /* KP_Multiply */},
    {0x45, 0xffab /* KP_Add */}, {0x4B, 0xffaf /* KP_Divide */}, {0x4C, 0xff8d /* KP_Enter */},
    {0x4E, 0xffad /* KP_Subtract */}, {0x51, 0xffbd /* KP_Equal */}, {0x52, 0xffb0}, {0x53, 0xffb1},
    {0x54, 0xffb2}, {0x55, 0xffb3}, {0x56, 0xffb4}, {0x57, 0xffb5}, {0x58, 0xffb6}, {0x59, 0xffb7},
    {0x5B, 0xffb8}, {0x5C, 0xffb9},  // KP_0 ... KP_9
    {0x60, 0xffc2 /* F5 */}, {0x61, 0xffc3 /* F6 */}, {0x62, 0xffc4 /* F7 */}, {0x63, 0xffc0 /* F3 */},
    {0x64, 0xffc5 /* F8 */}, {0x65, 0xffc6 /* F9 */}, {0x67, 0xffc8 /* F11 */}, {0x69, 0xffca /* F13 */},
    {0x6B, 0xffcb /* F14 */}, {0x6D, 0xffc7 /* F10 */}, {0x6F, 0xffc9 /* F12 */}, {0x71, 0xffcc /* F15 */},
    {0x72, 0xff63 /* Insert (Help) */}, {0x73, 0xff50 /* Home */}, {0x74, 0xff55 /* Prior */},
    {0x75, 0xffff /* Delete */}, {0x76, 0xffc1 /* F4 */}, {0x77, 0xff57 /* End */}, {0x78, 0xffbf /* F2 */},
    {0x79, 0xff56 /* Next */}, {0x7A, 0xffbe /* F1 */}, {0x7B, 0xff51 /* Left */}, {0x7C, 0xff53 /* Right */},
    {0x7D, 0xff54 /* Down */}, {0x7E, 0xff52 /* Up */},
};

}  // namespace

std::optional<std::uint32_t> keysymForVirtualKey(std::uint32_t keyCode) {
    for (const auto& k : virtualKeys)
        if (k.code == keyCode) return k.keysym;
    return std::nullopt;
}

std::optional<std::uint32_t> virtualKeyForKeysym(std::uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z') keysym += 'a' - 'A';
    for (const auto& k : virtualKeys)
        if (k.keysym == keysym) return k.code;
    return std::nullopt;
}

std::uint32_t unshiftedKeysym(std::uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z') return keysym + ('a' - 'A');
    switch (keysym) {
        case '!': return '1';
        case '@': return '2';
        case '#': return '3';
        case '$': return '4';
        case '%': return '5';
        case '^': return '6';
        case '&': return '7';
        case '*': return '8';
        case '(': return '9';
        case ')': return '0';
        case '_': return '-';
        case '+': return '=';
        case '{': return '[';
        case '}': return ']';
        case '|': return '\\';
        case ':': return ';';
        case '"': return '\'';
        case '<': return ',';
        case '>': return '.';
        case '?': return '/';
        case '~': return '`';
        case 0xfe20: return 0xff09;  // ISO_Left_Tab: Shift+Tab
        default: return keysym;
    }
}

}  // namespace platform
