#pragma once
// Opening the settings window on a chosen display: it is created (or brought
// forward) centred in the visible frame of that display.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "platform/displays.h"

class SettingsWindow {
public:
    static constexpr int defaultWidth = 720;
    static constexpr int defaultHeight = 470;

    // Opens the settings window, or brings it to the front, centred in the
    // visible frame of the screen with `displayID`; without an id or a screen
    // that has it, on the screen under the pointer, else on the main screen.
    // `openSettings` is called when a new window has to be made.
    static void show(const std::function<void()>& openSettings, std::optional<platform::DisplayID> displayID);

    // The window that hosts the settings; null until it was first shown.
    static QWidget* window();
    // Lets the full settings view take over the hosting window.
    static void setWindow(QWidget* window);
    // Closes and forgets the window (tests, shutdown).
    static void reset();

    // The screen a request with this id centres on.
    static std::optional<platform::Screen> targetScreen(std::optional<platform::DisplayID> displayID);
};
