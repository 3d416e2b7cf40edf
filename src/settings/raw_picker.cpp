#include "settings/raw_picker.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QSignalBlocker>

#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/preferences.h"

SettingBinding* bindRawPicker(QComboBox* combo, const QString& key, std::vector<PickerRow> rows,
                              std::function<void(const QString&)> reaction) {
    {
        const QSignalBlocker block(combo);
        combo->clear();
        for (const auto& row : rows) combo->addItem(tr_(row.title), row.value);
    }
    // Measured again whenever a row's title changes (a language switch).
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* b = new SettingBinding(
        combo, key, [key] { return QVariant(settings::readString(key)); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setString(key, v.toString()); },
        // A text no row has shows the default the program uses in its place.
        [combo, key](const QVariant& v) {
            const int row = combo->findData(v);
            combo->setCurrentIndex(row >= 0 ? row : combo->findData(settings::defaultString(key)));
        },
        [reaction](const QVariant& v) {
            if (reaction) reaction(v.toString());
        });
    QObject::connect(combo, &QComboBox::activated, b, [b, combo](int index) {
        const QVariant value = combo->itemData(index);
        if (value.isValid()) b->userChose(value);
    });
    QObject::connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, b,
                     [combo, rows](const QString& changed) {
                         if (changed != settings::keys::appLanguage) return;
                         const QSignalBlocker block(combo);
                         for (const auto& row : rows)
                             if (const int i = combo->findData(row.value); i >= 0) combo->setItemText(i, tr_(row.title));
                     });
    return b;
}

SettingBinding* bindRawRadioGroup(QButtonGroup* group, const QString& key,
                                  std::vector<std::pair<QAbstractButton*, QString>> buttons,
                                  std::function<void(const QString&)> reaction) {
    for (auto& [button, value] : buttons) {
        button->setCheckable(true);
        if (!group->buttons().contains(button)) group->addButton(button);
    }
    QWidget* anchor = buttons.empty() ? nullptr : buttons.front().first;
    auto* b = new SettingBinding(
        anchor, key, [key] { return QVariant(settings::readString(key)); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setString(key, v.toString()); },
        [group, buttons](const QVariant& v) {
            // An exclusive group cannot uncheck its last button.
            group->setExclusive(false);
            for (auto& [button, value] : buttons) {
                const QSignalBlocker block(button);
                button->setChecked(value == v.toString());
            }
            group->setExclusive(true);
        },
        [reaction](const QVariant& v) {
            if (reaction) reaction(v.toString());
        });
    for (auto& [button, value] : buttons)
        QObject::connect(button, &QAbstractButton::clicked, b, [b, v = value] { b->userChose(v); });
    return b;
}
