#pragma once
// The settings window and how it is presented: opened, or brought forward,
// centred in the visible frame of a chosen display, in front, and active.
//
// A request (show) records the target screen and that a presentation is
// pending; one main-queue turn later it either brings the live window
// forward or opens the window, which reports itself when it is shown and is
// then brought forward one more turn later. A bring-forward happens once
// per request, however many were scheduled.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "platform/displays.h"

class SettingsView;

class SettingsWindow {
public:
    static constexpr int defaultWidth = 720;
    static constexpr int defaultHeight = 470;

    // Opens the settings window, or brings it to the front, centred in the
    // visible frame of the screen with `displayID`; without an id or a screen
    // that has it, on the screen under the pointer, else on the main screen.
    // `openSettings` is called when no window is open; the window is then
    // made unless the action made it.
    static void show(const std::function<void()>& openSettings, std::optional<platform::DisplayID> displayID);

    // The plain settings link of the menu-bar item: opens the window, or
    // shows the open one, without placing it.
    static void openScene();

    // The window that hosts the settings; null until it was first shown.
    static QWidget* window();
    static SettingsView* view();
    // A window that now hosts the settings view (the view calls it when it
    // is shown); brought forward when a request is pending.
    static void viewDidMoveToWindow(QWidget* window);
    // Lets another window take over as the host (tests).
    static void setWindow(QWidget* window);
    // Closes and forgets the window and the presentation state (tests, shutdown).
    static void reset();

    // The screen a request with this id centres on.
    static std::optional<platform::Screen> targetScreen(std::optional<platform::DisplayID> displayID);
    // The screen the last request named (kept after it is done).
    static std::optional<platform::Screen> lastTargetScreen();
    static bool presentationPending();

private:
    static void requestPresentation(std::optional<platform::Screen> screen, std::function<void()> open);
    static void openOrFocus(const std::function<void()>& open);
    static void scheduleBringToFront(QWidget* window);
    static void bringToFront(const QPointer<QWidget>& window);
};
