// The shortcut recorder: what a key press records, what ends recording, and
// the hand-off of registered global shortcuts while it records.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "services/global_hot_key_monitor.h"
#include "settings/hot_key_recorder.h"
#include "settings_test_support.h"

using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

const HotKeyCombo optionSpace{49, HotKeyModifiers::option()};

class HotKeyRecorderTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        auto* layout = new QVBoxLayout(&window);
        // Takes the focus when the window becomes active, as the sidebar does
        // in the settings window.
        layout->addWidget(new QLineEdit(&window));
        other = new QLabel(QStringLiteral("elsewhere"), &window);
        other->setMinimumSize(200, 40);
        recorder = new HotKeyRecorder(&window);
        layout->addWidget(other);
        layout->addWidget(recorder);
        recorder->setOnCapture([this](HotKeyCombo c) { captured.push_back(c); });
        ASSERT_TRUE(showActive(window));
    }
    void startRecording() {
        QTest::mouseClick(recorder, Qt::LeftButton);
        ASSERT_TRUE(recorder->isRecording());
    }

    QWidget window;
    QLabel* other = nullptr;
    HotKeyRecorder* recorder = nullptr;
    std::vector<HotKeyCombo> captured;
};

TEST_F(HotKeyRecorderTest, KeyPressesWhileRecording) {
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::optional<HotKeyCombo> recorded;  // none: nothing recorded
        bool stillRecording;
        int beeps;
    };
    const auto ctrl = Qt::ControlModifier, alt = Qt::AltModifier, shift = Qt::ShiftModifier, meta = Qt::MetaModifier;
    const Case cases[] = {
        {"Shift+A", Qt::Key_A, shift, std::nullopt, true, 1},
        {"F5 alone", Qt::Key_F5, Qt::NoModifier, std::nullopt, true, 1},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, std::nullopt, false, 0},
        {"Super+Escape", Qt::Key_Escape, meta, std::nullopt, false, 0},
        {"all four modifiers and K", Qt::Key_K, ctrl | alt | meta | shift, HotKeyCombo{40, {0x1B00}}, false, 0},
        {"Alt+Space", Qt::Key_Space, alt, optionSpace, false, 0},
        {"Control+Shift+1 arrives as '!'", Qt::Key_Exclam, ctrl | shift, HotKeyCombo{18, {0x1200}}, false, 0},
        {"Control+Tab is taken, not a focus move", Qt::Key_Tab, ctrl, HotKeyCombo{48, {0x1000}}, false, 0},
        {"Tab alone: no focus move", Qt::Key_Tab, Qt::NoModifier, std::nullopt, true, 1},
        {"Control+F12", Qt::Key_F12, ctrl, HotKeyCombo{111, {0x1000}}, false, 0},
        {"Super+Left", Qt::Key_Left, meta, HotKeyCombo{123, {0x100}}, false, 0},
        {"Control+keypad 7", Qt::Key_7, ctrl | Qt::KeypadModifier, HotKeyCombo{89, {0x1000}}, false, 0},
        {"a key without a code", Qt::Key_VolumeUp, ctrl, std::nullopt, true, 1},
        {"Shift alone", Qt::Key_Shift, shift, std::nullopt, true, 0},
        {"Control alone", Qt::Key_Control, ctrl, std::nullopt, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        recorder->setCombo(optionSpace);
        captured.clear();
        startRecording();
        const int beepsBefore = sim->beepCount();
        QTest::keyClick(recorder, c.key, c.modifiers);
        EXPECT_EQ(sim->beepCount() - beepsBefore, c.beeps);
        EXPECT_EQ(recorder->isRecording(), c.stillRecording);
        EXPECT_EQ(recorder->hasFocus(), c.stillRecording);
        if (c.recorded) {
            ASSERT_EQ(captured.size(), 1u);
            EXPECT_EQ(captured[0], *c.recorded);
            EXPECT_EQ(recorder->combo(), *c.recorded);
        } else {
            EXPECT_TRUE(captured.empty());
            EXPECT_EQ(recorder->combo(), optionSpace);
        }
        if (recorder->isRecording()) QTest::keyClick(recorder, Qt::Key_Escape);
        EXPECT_FALSE(recorder->isRecording());
    }
}

TEST_F(HotKeyRecorderTest, ApplicationShortcutsGoToTheRecorderWhileItRecords) {
    int triggered = 0;
    auto* action = new QAction(&window);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    window.addAction(action);
    QObject::connect(action, &QAction::triggered, [&] { ++triggered; });
    startRecording();
    QTest::keyClick(recorder, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(triggered, 0);
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0], (HotKeyCombo{40, HotKeyModifiers::control()}));
    // Not recording: the shortcut works again.
    QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(triggered, 1);
}

TEST_F(HotKeyRecorderTest, ClicksAndDeactivation) {
    // Inside the field: recording goes on.
    startRecording();
    QTest::mouseClick(recorder, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(recorder->isRecording());
    // Elsewhere in the same window, on something that takes no focus: it ends, unchanged.
    QTest::mouseClick(other, Qt::RightButton);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(recorder->hasFocus());
    EXPECT_TRUE(captured.empty());

    // A click in another window of the program does not end it by itself.
    QWidget bar;
    bar.resize(300, 40);
    bar.show();
    startRecording();
    QTest::mouseClick(&bar, Qt::LeftButton);
    EXPECT_TRUE(recorder->isRecording());

    // The window stops being active (another window or program): it ends,
    // and coming back does not start it again.
    QLineEdit elsewhere;
    ASSERT_TRUE(showActive(elsewhere));

    EXPECT_FALSE(recorder->isRecording());
    ASSERT_TRUE(showActive(window));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(services::GlobalHotKeyMonitor::shared().recordingOwner(), nullptr);
}

TEST_F(HotKeyRecorderTest, RegisteredShortcutPressedWhileRecordingIsRecordedInsteadOfRun) {
    auto& monitor = services::GlobalHotKeyMonitor::shared();
    int startMenuToggles = 0, minimiseAlls = 0;
    monitor.start([&] { ++startMenuToggles; }, [&] { ++minimiseAlls; });
    ASSERT_TRUE(monitor.registerCombo(optionSpace, true, false));
    ASSERT_TRUE(monitor.registerCombo(HotKeyCombo{2, HotKeyModifiers::control()}, true, true));

    struct Case {
        const char* what;
        HotKeyCombo pressed;
    };
    const Case cases[] = {{"the start-menu shortcut", optionSpace},
                          {"the minimise-all shortcut", HotKeyCombo{2, HotKeyModifiers::control()}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        recorder->setCombo(HotKeyCombo{0, HotKeyModifiers::command()});
        captured.clear();
        startRecording();
        EXPECT_EQ(monitor.recordingOwner(), recorder);
        ASSERT_TRUE(sim->pressHotKey(c.pressed.keyCode, c.pressed.modifiers.rawValue));
        sim->pump();
        EXPECT_EQ(startMenuToggles, 0);
        EXPECT_EQ(minimiseAlls, 0);
        ASSERT_EQ(captured.size(), 1u);
        EXPECT_EQ(captured[0], c.pressed);
        EXPECT_EQ(recorder->combo(), c.pressed);
        EXPECT_FALSE(recorder->isRecording());
        EXPECT_EQ(monitor.recordingOwner(), nullptr);
    }
    // Not recording: the shortcuts run their actions again.
    sim->pressHotKey(49, 0x800);
    sim->pump();
    EXPECT_EQ(startMenuToggles, 1);

    // A recorder that goes away while recording leaves no hand-off behind.
    startRecording();
    delete recorder;
    recorder = nullptr;
    EXPECT_EQ(monitor.recordingOwner(), nullptr);
    sim->pressHotKey(49, 0x800);
    sim->pump();
    EXPECT_EQ(startMenuToggles, 2);
    monitor.stop();
}

}  // namespace
