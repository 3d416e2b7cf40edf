#pragma once
// The Dock pane: whether the program keeps the system Dock out of the bar's
// way, at which edge the Dock then lives, and how long it waits before it
// shows. Every change is handed to the Dock controller at once. A desktop
// without a Dock keeps the settings and says plainly that they wait for one.
#include <functional>

#include "services/dock_state.h"
#include "settings/settings_pane.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

class DockPane : public SettingsPane {
    Q_OBJECT
public:
    using Applier = std::function<void(services::DockCoexistMode)>;
    // `apply` receives the mode to apply; by default the shared Dock controller's.
    explicit DockPane(Applier apply = {}, QWidget* parent = nullptr);

    // Hands the stored effective mode (off while management is off) to the applier.
    void applyDockMode();

    QCheckBox* manageSwitch() const { return manage_; }
    QWidget* positionRow() const { return positionRow_; }
    QRadioButton* rightEdge() const { return right_; }
    QRadioButton* leftEdge() const { return left_; }
    QRadioButton* keepPosition() const { return keep_; }
    QComboBox* delayPicker() const { return delay_; }
    QWidget* delayRow() const { return delayRow_; }
    QLabel* hideNote() const { return hideNote_; }
    QLabel* restoredNote() const { return restoredNote_; }
    QLabel* footer() const { return footer_; }
    // Shown on a desktop without a Dock.
    QLabel* noDockNote() const { return noDockNote_; }

private:
    void showRows();

    Applier apply_;
    QCheckBox* manage_ = nullptr;
    QWidget* positionRow_ = nullptr;
    QButtonGroup* position_ = nullptr;
    QRadioButton* right_ = nullptr;
    QRadioButton* left_ = nullptr;
    QRadioButton* keep_ = nullptr;
    QWidget* delayRow_ = nullptr;
    QComboBox* delay_ = nullptr;
    QLabel* hideNote_ = nullptr;
    QLabel* restoredNote_ = nullptr;
    QLabel* footer_ = nullptr;
    QLabel* noDockNote_ = nullptr;
};
