#pragma once
// Binding a control to a user-defaults key. See settings/settings_pane.h for
// how a pane uses these; the rules, kept for every control:
// - the control shows the stored value (missing or wrongly typed: default);
// - a user change is stored, then the reaction runs;
// - a refresh (language switch, the key changed elsewhere) never writes;
// - choosing the value already stored writes nothing and runs no reaction.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <utility>
#include <vector>

#include "services/hot_key_combo.h"

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QSlider;
class HotKeyRecorder;

// One control tied to one key. Owned by the control; lives as long as it.
class SettingBinding : public QObject {
    Q_OBJECT
public:
    // read: the value to show (already defaulted); write: stores a value;
    // show: puts a value into the control (signals blocked while it runs).
    SettingBinding(QWidget* control, QString key, std::function<QVariant()> read,
                   std::function<void(const QVariant&)> write, std::function<void(const QVariant&)> show,
                   std::function<void(const QVariant&)> reaction);

    const QString& key() const { return key_; }
    // The value the control shows: the stored one, defaulted.
    QVariant value() const { return read_(); }
    // The person chose `chosen` in the control.
    void userChose(const QVariant& chosen);
    // Shows the stored value again; never writes.
    void refresh();
    // Runs with the shown value now, after every refresh and after every
    // user change (rows that depend on the value). Never writes.
    SettingBinding* onShown(std::function<void(const QVariant&)> apply);

private:
    QPointer<QWidget> control_;
    QString key_;
    std::function<QVariant()> read_;
    std::function<void(const QVariant&)> write_;
    std::function<void(const QVariant&)> show_;
    std::function<void(const QVariant&)> reaction_;
    std::vector<std::function<void(const QVariant&)>> shown_;
};

// A checkable button (check box, switch) and a boolean key.
SettingBinding* bindSwitch(QAbstractButton* button, const QString& key, std::function<void(bool)> reaction = {});

// One row of a picker or a radio group: the stored text and the English
// title (the localisation key) shown for it.
struct PickerRow {
    QString value;
    const char* title;
};
// A combo box over text values. A stored text that names no row shows the
// key's default row (the first row when the default names none either).
// The row titles follow the language switch by themselves.
SettingBinding* bindPicker(QComboBox* combo, const QString& key, std::vector<PickerRow> rows,
                           std::function<void(const QString&)> reaction = {});

// Radio buttons (or segment buttons), each standing for a stored text. The
// buttons' texts are the pane's (translated()).
SettingBinding* bindRadioGroup(QButtonGroup* group, const QString& key,
                               std::vector<std::pair<QAbstractButton*, QString>> buttons,
                               std::function<void(const QString&)> reaction = {});

// A slider and an integer key; values outside the slider's range show clamped
// (and stay stored as they are until the person moves the slider).
SettingBinding* bindSlider(QSlider* slider, const QString& key, std::function<void(int)> reaction = {});

// A shortcut recorder and a key stored as a HotKeyCombo's text; a missing or
// unparsable text shows `fallback`.
SettingBinding* bindRecorder(HotKeyRecorder* recorder, const QString& key, services::HotKeyCombo fallback,
                             std::function<void(services::HotKeyCombo)> reaction = {});

// The combo stored under `key`, or `fallback` when it is missing or does not parse.
services::HotKeyCombo readHotKeyCombo(const QString& key, services::HotKeyCombo fallback);
