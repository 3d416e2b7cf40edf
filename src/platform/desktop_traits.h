#pragma once
// What kind of desktop the program runs on, where that changes what it
// offers: whether there is a Dock to hide and give back, and how the desktop
// writes and picks its keyboard shortcuts.
namespace platform {

enum class ShortcutStyle {
    // Modifier symbols before the key ("⌃⌥⇧⌘A"); Option-Space and Control-D
    // are free for a program's global shortcuts.
    symbols,
    // Modifier words joined by '+' ("Ctrl+Alt+Shift+Super+A"); Alt+Space
    // and Ctrl+D belong to the window manager and the terminal, so a
    // program's global shortcuts default to the Super key.
    words,
};

struct DesktopTraits {
    bool hasDock = true;
    // The machine is a Mac: session texts name it, and a refused session
    // request points to the Automation permission. Elsewhere the texts say
    // "computer" and a failure gives the system's own reason.
    bool isMac = true;
    ShortcutStyle shortcutStyle = ShortcutStyle::symbols;
};

// The installed backend's traits; the defaults above when none is installed.
const DesktopTraits& desktopTraits();

}  // namespace platform
