// The binding helpers' rules: show the stored value, store then react,
// never write on a refresh, react to nothing when the stored value is chosen.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>

#include "core/settings_model.h"
#include "settings/hot_key_recorder.h"
#include "settings/settings_bindings.h"
#include "settings_test_support.h"

using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

class SettingsBindingsTest : public SettingsTest {
protected:
    // Writes to the user defaults from now on.
    std::unique_ptr<QSignalSpy> watchWrites() {
        return std::make_unique<QSignalSpy>(&defaults(), &platform::prefs::Domain::changed);
    }
};

TEST_F(SettingsBindingsTest, SwitchShowsStoredOrDefaultStoresThenReactsAndRefreshesWithoutWriting) {
    const QString key = settings::keys::startMenuShowPowerRow;  // default true
    struct Case {
        std::optional<QVariant> stored;
        bool shown;
    };
    const Case cases[] = {{std::nullopt, true}, {QVariant(false), false}, {QVariant(QStringLiteral("no")), true},
                          {QVariant(qint64(0)), true}};
    for (const auto& c : cases) {
        if (c.stored)
            defaults().set(key, *c.stored);
        else
            defaults().remove(key);
        QCheckBox box;
        bindSwitch(&box, key);
        EXPECT_EQ(box.isChecked(), c.shown) << (c.stored ? c.stored->toString().toStdString() : "missing");
    }

    defaults().remove(key);
    QCheckBox box;
    std::vector<std::pair<bool, std::optional<bool>>> reactions;  // (argument, stored when it ran)
    bindSwitch(&box, key, [&](bool on) { reactions.push_back({on, defaults().boolValue(key)}); });
    box.click();  // the person turns it off
    ASSERT_EQ(reactions.size(), 1u);
    EXPECT_EQ(reactions[0], std::make_pair(false, std::optional<bool>(false))) << "stored before the reaction";

    // Changed elsewhere: shown, no reaction, nothing written back.
    auto writes = watchWrites();
    defaults().setBool(key, true);
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(reactions.size(), 1u);
    EXPECT_EQ(writes->count(), 1);
}

TEST_F(SettingsBindingsTest, PickerKeepsAnUnknownStoredTextAndReactsOnlyToARealChange) {
    const QString key = settings::keys::appLanguage;
    defaults().setString(key, QStringLiteral("klingon"));
    QComboBox combo;
    int reactions = 0;
    QString lastReaction;
    bindPicker(&combo, key,
               {{QStringLiteral("system"), "Follow System"},
                {QStringLiteral("english"), "English"},
                {QStringLiteral("simplifiedChinese"), "Simplified Chinese"}},
               [&](const QString& v) {
                   ++reactions;
                   lastReaction = v;
               });
    // Shows the default row; the stored text stays as it is.
    EXPECT_EQ(combo.currentData().toString(), QStringLiteral("system"));
    auto writes = watchWrites();
    emit combo.activated(0);  // the row already shown
    EXPECT_EQ(reactions, 0);
    EXPECT_EQ(writes->count(), 0);
    EXPECT_EQ(defaults().stringValue(key), QStringLiteral("klingon"));

    emit combo.activated(2);
    EXPECT_EQ(reactions, 1);
    EXPECT_EQ(lastReaction, QStringLiteral("simplifiedChinese"));
    EXPECT_EQ(defaults().stringValue(key), QStringLiteral("simplifiedChinese"));
    // The rows follow the language just chosen, without writing.
    EXPECT_EQ(combo.itemText(1), QStringLiteral("English"));
    EXPECT_EQ(combo.itemText(2), QStringLiteral("简体中文"));
    EXPECT_EQ(combo.itemText(0), QStringLiteral("跟随系统"));
    EXPECT_EQ(writes->count(), 1);

    emit combo.activated(2);  // chosen again
    EXPECT_EQ(reactions, 1);
}

TEST_F(SettingsBindingsTest, RadioGroupStoresTheClickedButtonsText) {
    const QString key = settings::keys::appearanceBarHeight;  // default "medium"
    QRadioButton narrow, medium, tall;
    QButtonGroup group;
    int reactions = 0;
    bindRadioGroup(&group, key, {{&narrow, "narrow"}, {&medium, "medium"}, {&tall, "tall"}},
                   [&](const QString&) { ++reactions; });
    EXPECT_TRUE(medium.isChecked());
    medium.click();
    EXPECT_EQ(reactions, 0);
    EXPECT_FALSE(defaults().contains(key));
    tall.click();
    EXPECT_EQ(reactions, 1);
    EXPECT_EQ(defaults().stringValue(key), QStringLiteral("tall"));
    defaults().setString(key, QStringLiteral("narrow"));
    EXPECT_TRUE(narrow.isChecked());
    EXPECT_FALSE(tall.isChecked());
    EXPECT_EQ(reactions, 1);
}

TEST_F(SettingsBindingsTest, SliderStoresTheMovedValue) {
    const QString key = settings::keys::appearanceTransparency;
    defaults().setString(key, QStringLiteral("much"));  // wrongly typed: the default shows
    QSlider slider;
    slider.setRange(0, 10);
    std::vector<int> reactions;
    bindSlider(&slider, key, [&](int v) { reactions.push_back(v); });
    EXPECT_EQ(slider.value(), int(settings::readInteger(key)));
    slider.setValue(7);  // as a drag would
    EXPECT_EQ(defaults().integerValue(key), 7);
    EXPECT_EQ(reactions, std::vector<int>{7});
    defaults().setInteger(key, 2);
    EXPECT_EQ(slider.value(), 2);
    EXPECT_EQ(reactions.size(), 1u);
}

TEST_F(SettingsBindingsTest, RecorderStoresOnlyANewCombo) {
    const QString key = settings::keys::startMenuHotKeyCombo;
    const HotKeyCombo optionSpace{49, HotKeyModifiers::option()};
    defaults().setString(key, QStringLiteral("abc"));
    QWidget window;
    auto* recorder = new HotKeyRecorder(&window);
    std::vector<HotKeyCombo> reactions;
    std::vector<std::optional<QString>> storedWhenReacting;
    bindRecorder(recorder, key, optionSpace, [&](HotKeyCombo c) {
        reactions.push_back(c);
        storedWhenReacting.push_back(defaults().stringValue(key));
    });
    ASSERT_TRUE(showActive(window));
    auto writes = watchWrites();
    // Recording the combo in effect already: nothing stored, no reaction.
    recorder->setFocus();
    QTest::keyClick(recorder, Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(writes->count(), 0);
    EXPECT_EQ(defaults().stringValue(key), QStringLiteral("abc"));
    EXPECT_TRUE(reactions.empty());
    // A new one is stored, then the reaction runs with it.
    recorder->setFocus();
    QTest::keyClick(recorder, Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    const HotKeyCombo controlOptionK{40, HotKeyModifiers{0x1800}};
    EXPECT_EQ(defaults().stringValue(key), QStringLiteral("40:6144"));
    ASSERT_EQ(reactions.size(), 1u);
    EXPECT_EQ(reactions[0], controlOptionK);
    EXPECT_EQ(storedWhenReacting[0], QStringLiteral("40:6144"));
    // Changed elsewhere: shown without a reaction.
    defaults().setString(key, QStringLiteral("2:4096"));
    EXPECT_EQ(recorder->combo(), (HotKeyCombo{2, HotKeyModifiers::control()}));
    EXPECT_EQ(reactions.size(), 1u);
}

}  // namespace
