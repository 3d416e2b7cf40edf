#pragma once
// The Task Bar pane: on which displays bars stand, how the task strip shows
// applications and what a second click does, the minimise-all shortcut, and
// the applications kept off the task strip.
#include <QSet>
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/workspace.h"
#include "settings/settings_pane.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class QVBoxLayout;
class HotKeyRecorder;

class TaskBarPane : public SettingsPane {
    Q_OBJECT
public:
    // One entry of the "Hide an app…" menu.
    struct AddableApp {
        QString id;    // bundle identifier
        QString name;  // shown as it is
        friend bool operator==(const AddableApp&, const AddableApp&) = default;
    };

    explicit TaskBarPane(QWidget* parent = nullptr);

    // The menu's entries from the running applications in the workspace's
    // order: regular applications other than this process, with a bundle
    // identifier that is not hidden, the first of each identifier, sorted by
    // name (case-insensitive, locale-aware, stable).
    static std::vector<AddableApp> addableApps(const std::vector<platform::RunningApplication>& running,
                                               const QSet<QString>& hidden, std::int32_t ownPid);
    // The same over the workspace's applications and the hidden list now.
    static std::vector<AddableApp> addableApps();

    QComboBox* displayModePicker() const { return displayMode_; }
    QComboBox* interactionPicker() const { return interaction_; }
    QCheckBox* iconsOnlySwitch() const { return iconsOnly_; }
    QCheckBox* clickAgainSwitch() const { return clickAgain_; }
    QCheckBox* unreadSwitch() const { return unread_; }
    QCheckBox* runningSwitch() const { return running_; }
    QCheckBox* minimizeAllSwitch() const { return minimizeAll_; }
    HotKeyRecorder* recorder() const { return recorder_; }
    QWidget* shortcutRow() const { return shortcutRow_; }
    QWidget* shortcutWarning() const { return shortcutWarning_; }
    // The hidden applications' rows (each with its remove button), or the
    // "No apps hidden" text.
    QWidget* hiddenList() const { return hiddenList_; }
    QToolButton* hideAppButton() const { return hideApp_; }
    QMenu* hideAppMenu() const { return hideMenu_; }
    // Fills the menu afresh (done each time it opens).
    void rebuildHideMenu();

protected:
    // The symbols are drawn in the palette's colours, so a new palette (light
    // or dark) draws them again.
    void changeEvent(QEvent* event) override;

private:
    void buildDisplaysSection();
    void showHideAppSymbol();
    void buildStripSection();
    void buildShowDesktopSection();
    void buildHiddenSection();
    void showClickAgainLabel();
    void showShortcutRows();
    void reregisterMinimizeAll();
    void showHiddenList();

    QComboBox* displayMode_ = nullptr;
    QComboBox* interaction_ = nullptr;
    QCheckBox* iconsOnly_ = nullptr;
    QCheckBox* clickAgain_ = nullptr;
    QCheckBox* unread_ = nullptr;
    QCheckBox* running_ = nullptr;
    QCheckBox* minimizeAll_ = nullptr;
    HotKeyRecorder* recorder_ = nullptr;
    QWidget* shortcutRow_ = nullptr;
    QWidget* shortcutWarning_ = nullptr;
    QWidget* hiddenList_ = nullptr;
    QVBoxLayout* hiddenRows_ = nullptr;
    QToolButton* hideApp_ = nullptr;
    QMenu* hideMenu_ = nullptr;
};
