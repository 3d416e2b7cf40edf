#pragma once
// The General pane: starting at login, the interface language, the Start
// Menu section (power row, shortcut switch, shortcut recorder, warning) and
// the About section (version, update check).
#include <QPointer>

#include "settings/settings_pane.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;
class HotKeyRecorder;
class SettingBinding;

class GeneralPane : public SettingsPane {
    Q_OBJECT
public:
    explicit GeneralPane(QWidget* parent = nullptr);
    ~GeneralPane() override;

    // "v" and the short version string; "—" when it is missing, not text or empty.
    static QString appVersion();
    // Reads the login item's status again and stores it when it differs.
    static void refreshStatus();

    QCheckBox* launchAtLoginSwitch() const { return launchAtLogin_; }
    QWidget* approvalWarning() const { return approvalWarning_; }
    QPushButton* openLoginItemsButton() const { return openLoginItems_; }
    QComboBox* languagePicker() const { return language_; }
    QCheckBox* powerRowSwitch() const { return powerRow_; }
    QCheckBox* hotKeySwitch() const { return hotKeyEnabled_; }
    HotKeyRecorder* recorder() const { return recorder_; }
    QWidget* shortcutRow() const { return shortcutRow_; }
    QWidget* shortcutWarning() const { return shortcutWarning_; }
    QLabel* versionLabel() const { return version_; }
    QPushButton* checkForUpdatesButton() const { return checkForUpdates_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildLoginSection();
    void buildLanguageSection();
    void buildStartMenuSection();
    void buildAboutSection();
    void showLoginStatus();
    void showShortcutRows();
    void presentFailureAlert();
    // The start-menu shortcut as stored now, registered again.
    void reregisterStartMenuShortcut();

    QCheckBox* launchAtLogin_ = nullptr;
    QWidget* approvalWarning_ = nullptr;
    QPushButton* openLoginItems_ = nullptr;
    QComboBox* language_ = nullptr;
    QCheckBox* powerRow_ = nullptr;
    QCheckBox* hotKeyEnabled_ = nullptr;
    HotKeyRecorder* recorder_ = nullptr;
    QWidget* shortcutRow_ = nullptr;
    QLabel* shortcutLabel_ = nullptr;
    QWidget* shortcutWarning_ = nullptr;
    QLabel* version_ = nullptr;
    QPushButton* checkForUpdates_ = nullptr;
    bool alertPending_ = false;
    int workspaceObserver_ = 0;
};
