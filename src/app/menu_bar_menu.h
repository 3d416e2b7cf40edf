#pragma once
// The menu-bar item's menu: settings, updates, quit. Its texts follow the
// language setting each time it opens; the update entry follows the update
// controller as it changes.
#include <QMenu>
#include <functional>

class QAction;

class MenuBarMenu : public QMenu {
    Q_OBJECT
public:
    MenuBarMenu(std::function<void()> openSettings, std::function<void()> quit, QWidget* parent = nullptr);

    QAction* openSettingsAction() const { return openSettings_; }
    QAction* checkForUpdatesAction() const { return checkForUpdates_; }
    QAction* quitAction() const { return quit_; }
    // Re-reads the language setting and the update state.
    void refresh();

private:
    QAction* openSettings_;
    QAction* checkForUpdates_;
    QAction* quit_;
};
