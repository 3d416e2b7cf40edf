#pragma once
// How to write a settings pane
// ----------------------------
// 1. Derive from SettingsPane. In the constructor add sections with
//    addSection("Title") (nullptr: no header) and rows to the returned form:
//        QFormLayout* form = addSection("Clock");
//        auto* time = translated(new QCheckBox, "Show time");
//        form->addRow(time);
//        bindSwitch(time, settings::keys::trayShowTime);
// 2. Tie every control to its user-defaults key with one bind* helper
//    (settings/settings_bindings.h): bindSwitch (QAbstractButton that is
//    checkable), bindPicker (QComboBox; each row a stored text and its English
//    title), bindRadioGroup (buttons with their stored texts), bindSlider
//    (QSlider and an integer key), bindRecorder (HotKeyRecorder and a
//    HotKeyCombo key). Another control: construct a SettingBinding with its
//    read, write and show functions and call userChose() from its signal. An optional reaction runs after a
//    user change was stored: post a notification, re-register a shortcut,
//    call the service concerned.
//        bindPicker(combo, settings::keys::appearanceBarHeight,
//                   {{"narrow", "Narrow"}, {"medium", "Medium"}, {"tall", "Tall"}},
//                   [](const QString&) { notifyBarHeightChanged(); });
//    The helpers keep these rules for every pane: the control shows the stored
//    value (missing or wrongly typed: the default); a user change is stored,
//    then its reaction runs; a refresh (language switch, the value changed
//    elsewhere) only redraws and never writes back; choosing the value that is
//    already stored writes nothing and runs no reaction. Rows that depend on a
//    value (shown only while a switch is on) use binding->onShown(...), which
//    runs after every refresh and user change and never writes.
// 3. Texts: translated(widget, "English text") sets a label's, button's or
//    group box's text now and again on every language switch; onRetranslate()
//    takes anything else. Every pane is retranslated by the window at once
//    when "appLanguage" changes.
// 4. Register the pane for its category in registerSettingsPanes()
//    (settings/settings_panes.cpp): one line, a factory that makes the pane.
//    Until a category has a pane the window shows an empty one.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <functional>
#include <type_traits>
#include <vector>

#include "core/localization.h"
#include "settings/settings_category.h"

class QFormLayout;
class QVBoxLayout;

class SettingsPane : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPane(QWidget* parent = nullptr);

    // Sets every registered text again in the language chosen now. The window
    // calls it when "appLanguage" changes; panes rarely need to call it.
    void retranslate();

    // Sets the text of a label, a button or a group box to the English text
    // in the chosen language, now and after every language switch.
    template <typename W>
    W* translated(W* widget, const char* english) {
        auto apply = [widget, english] {
            if constexpr (std::is_base_of_v<QGroupBox, W>)
                widget->setTitle(tr_(english));
            else
                widget->setText(tr_(english));
        };
        apply();
        retranslators_.push_back(apply);
        return widget;
    }
    // Runs now and after every language switch.
    void onRetranslate(std::function<void()> apply);

protected:
    // A grouped section: a box with an optional header (an English text)
    // holding a form layout, appended below the sections before it.
    QFormLayout* addSection(const char* englishTitle = nullptr);
    // The column the sections stack in (for anything that is not a section).
    QVBoxLayout* column() const { return column_; }

private:
    QVBoxLayout* column_;
    std::vector<std::function<void()>> retranslators_;
};

// Which pane each category shows. A category without a factory shows an
// empty pane.
namespace settings_panes {
using Factory = std::function<SettingsPane*()>;
void registerPane(SettingsCategory category, Factory factory);
// Null when the category has no pane yet.
SettingsPane* make(SettingsCategory category);
}  // namespace settings_panes

// The panes this program ships, one line each (settings/settings_panes.cpp).
void registerSettingsPanes();
