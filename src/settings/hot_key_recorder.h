#pragma once
// A small field that shows one global shortcut and records a new one.
//
// A click (or any focus) starts recording; the next key press that holds
// Control, Alt (option) or Super (command) becomes the shortcut and is handed
// to onCapture. Escape, a click elsewhere in the same window, the window
// losing activation or any other loss of focus end recording without a
// change. While recording, Tab and the application's own shortcuts come
// here, and a press of a registered global shortcut reaches the field
// through the shortcut monitor as that shortcut's combination.
#include <QWidget>
#include <functional>

#include "services/hot_key_combo.h"

class QKeyEvent;

class HotKeyRecorder : public QWidget {
    Q_OBJECT
public:
    static constexpr int fieldWidth = 150;
    static constexpr int fieldHeight = 24;

    explicit HotKeyRecorder(QWidget* parent = nullptr);
    ~HotKeyRecorder() override;

    services::HotKeyCombo combo() const { return combo_; }
    // Shows a combination; recording goes on.
    void setCombo(services::HotKeyCombo combo);
    void setOnCapture(std::function<void(services::HotKeyCombo)> onCapture) { onCapture_ = std::move(onCapture); }
    bool isRecording() const { return recording_; }

    QSize sizeHint() const override { return {fieldWidth, fieldHeight}; }

    // The virtual key code of a key press: through the desktop's keyboard
    // mapping when the event carries a native key, else from its key symbol
    // or its Qt key on the ANSI layout. Absent for keys without one.
    static std::optional<std::uint32_t> virtualKeyCode(const QKeyEvent& event);
    // The modifier mask of a key press (control, option, shift, command).
    static services::HotKeyModifiers modifierMask(Qt::KeyboardModifiers modifiers);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void startRecording();
    void stopRecording();
    void releaseHooks();
    // A combination from a key press or from the monitor: shown, handed on,
    // and recording ends.
    void capture(services::HotKeyCombo combo);
    void endRecording();

    services::HotKeyCombo combo_ = services::HotKeyCombo::defaultStartMenu();
    std::function<void(services::HotKeyCombo)> onCapture_;
    bool recording_ = false;
    bool monitoring_ = false;
};
