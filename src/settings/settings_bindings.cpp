#include "settings/settings_bindings.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QSignalBlocker>
#include <QSlider>

#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/preferences.h"
#include "settings/hot_key_recorder.h"

using services::HotKeyCombo;

SettingBinding::SettingBinding(QWidget* control, QString key, std::function<QVariant()> read,
                               std::function<void(const QVariant&)> write, std::function<void(const QVariant&)> show,
                               std::function<void(const QVariant&)> reaction)
    : QObject(control),
      control_(control),
      key_(std::move(key)),
      read_(std::move(read)),
      write_(std::move(write)),
      show_(std::move(show)),
      reaction_(std::move(reaction)) {
    // A change made elsewhere (another pane, the bar, another process that
    // rewrote the file) shows at once.
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& changed) {
        if (changed == key_) refresh();
    });
    refresh();
}

void SettingBinding::refresh() {
    const QVariant v = read_();
    if (control_) {
        const QSignalBlocker block(control_.data());
        show_(v);
    }
    for (const auto& apply : shown_) apply(v);
}

void SettingBinding::userChose(const QVariant& chosen) {
    if (chosen == read_()) {
        // Nothing changed: put the control back as it was, react to nothing.
        refresh();
        return;
    }
    write_(chosen);
    refresh();
    if (reaction_) reaction_(chosen);
}

SettingBinding* SettingBinding::onShown(std::function<void(const QVariant&)> apply) {
    apply(read_());
    shown_.push_back(std::move(apply));
    return this;
}

namespace {

// The stored text when one of `values` has it, else the default's, else the first.
QString shownText(const QString& key, const QStringList& values) {
    const auto stored = platform::prefs::userDefaults().stringValue(key);
    if (stored && values.contains(*stored)) return *stored;
    const QString fallback = settings::defaultString(key);
    if (values.contains(fallback)) return fallback;
    return values.isEmpty() ? QString() : values.first();
}

}  // namespace

SettingBinding* bindSwitch(QAbstractButton* button, const QString& key, std::function<void(bool)> reaction) {
    button->setCheckable(true);
    auto* b = new SettingBinding(
        button, key, [key] { return QVariant(settings::readBool(key)); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setBool(key, v.toBool()); },
        [button](const QVariant& v) { button->setChecked(v.toBool()); },
        [reaction](const QVariant& v) {
            if (reaction) reaction(v.toBool());
        });
    // `clicked` comes only from the person (keyboard or pointer), never from setChecked.
    QObject::connect(button, &QAbstractButton::clicked, b, [b](bool checked) { b->userChose(checked); });
    return b;
}

SettingBinding* bindPicker(QComboBox* combo, const QString& key, std::vector<PickerRow> rows,
                           std::function<void(const QString&)> reaction) {
    QStringList values;
    for (const auto& row : rows) values << row.value;
    {
        const QSignalBlocker block(combo);
        combo->clear();
        for (const auto& row : rows) combo->addItem(tr_(row.title), row.value);
    }
    // Measured again whenever a row's title changes (a language switch).
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* b = new SettingBinding(
        combo, key, [key, values] { return QVariant(shownText(key, values)); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setString(key, v.toString()); },
        [combo](const QVariant& v) { combo->setCurrentIndex(combo->findData(v)); },
        [reaction](const QVariant& v) {
            if (reaction) reaction(v.toString());
        });
    // `activated` is the person's choice, also of the row already chosen.
    QObject::connect(combo, &QComboBox::activated, b, [b, combo](int index) { b->userChose(combo->itemData(index)); });
    // The row titles follow the language.
    QObject::connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, b,
                     [combo, rows](const QString& changed) {
                         if (changed != settings::keys::appLanguage) return;
                         const QSignalBlocker block(combo);
                         for (int i = 0; i < int(rows.size()) && i < combo->count(); ++i)
                             combo->setItemText(i, tr_(rows[std::size_t(i)].title));
                     });
    return b;
}

SettingBinding* bindRadioGroup(QButtonGroup* group, const QString& key,
                               std::vector<std::pair<QAbstractButton*, QString>> buttons,
                               std::function<void(const QString&)> reaction) {
    QStringList values;
    group->setExclusive(true);
    for (auto& [button, value] : buttons) {
        button->setCheckable(true);
        if (!group->buttons().contains(button)) group->addButton(button);
        values << value;
    }
    QWidget* anchor = buttons.empty() ? nullptr : buttons.front().first;
    auto* b = new SettingBinding(
        anchor, key, [key, values] { return QVariant(shownText(key, values)); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setString(key, v.toString()); },
        [buttons](const QVariant& v) {
            for (auto& [button, value] : buttons) {
                const QSignalBlocker block(button);
                button->setChecked(value == v.toString());
            }
        },
        [reaction](const QVariant& v) {
            if (reaction) reaction(v.toString());
        });
    for (auto& [button, value] : buttons)
        QObject::connect(button, &QAbstractButton::clicked, b, [b, v = value] { b->userChose(v); });
    return b;
}

SettingBinding* bindSlider(QSlider* slider, const QString& key, std::function<void(int)> reaction) {
    auto* b = new SettingBinding(
        slider, key, [key] { return QVariant(qint64(settings::readInteger(key))); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setInteger(key, v.toLongLong()); },
        [slider](const QVariant& v) { slider->setValue(int(v.toLongLong())); },
        [reaction](const QVariant& v) {
            if (reaction) reaction(int(v.toLongLong()));
        });
    // valueChanged is blocked while a refresh sets the value, so only the person's moves arrive.
    QObject::connect(slider, &QSlider::valueChanged, b, [b](int v) { b->userChose(QVariant(qint64(v))); });
    return b;
}

HotKeyCombo readHotKeyCombo(const QString& key, HotKeyCombo fallback) {
    const auto text = platform::prefs::userDefaults().stringValue(key);
    if (!text) return fallback;
    return HotKeyCombo::fromRawValue(*text).value_or(fallback);
}

SettingBinding* bindRecorder(HotKeyRecorder* recorder, const QString& key, HotKeyCombo fallback,
                             std::function<void(HotKeyCombo)> reaction) {
    auto* b = new SettingBinding(
        recorder, key, [key, fallback] { return QVariant(readHotKeyCombo(key, fallback).rawValue()); },
        [key](const QVariant& v) { platform::prefs::userDefaults().setString(key, v.toString()); },
        // Recording is not interrupted by a refresh.
        [recorder, fallback](const QVariant& v) {
            recorder->setCombo(HotKeyCombo::fromRawValue(v.toString()).value_or(fallback));
        },
        [reaction, fallback](const QVariant& v) {
            if (reaction) reaction(HotKeyCombo::fromRawValue(v.toString()).value_or(fallback));
        });
    recorder->setOnCapture([b](HotKeyCombo combo) { b->userChose(combo.rawValue()); });
    return b;
}
