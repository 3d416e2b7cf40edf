#pragma once
// The start menu's search field: one line of text that takes the keyboard
// focus as soon as the menu shows it, reports every edit, and turns Down, Up,
// Return and Escape into start-menu actions instead of editing. Those four
// keys, pressed without a modifier, are always consumed, also while an action
// is not set; with a modifier they edit as in any field.
#include <QLineEdit>
#include <QTimer>
#include <functional>

class StartSearchField : public QLineEdit {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(const QString&)> onChangeText;
        std::function<void()> onMoveDown;
        std::function<void()> onMoveUp;
        std::function<void()> onSubmit;
        std::function<void()> onCancel;
    };

    // Seconds after the last key press (or the focus) that the caret stops blinking.
    static constexpr double caretBlinkSeconds = 10.0;

    explicit StartSearchField(QWidget* parent = nullptr);
    ~StartSearchField() override;
    bool isCaretBlinking() const { return !blinkStopped_; }
    // Copies the actions in (every update copies them again).
    void setActions(Actions actions) { actions_ = std::move(actions); }
    // Looks the placeholder up again in the language chosen now; the typed text stays.
    void updatePlaceholder();
    // Text colours of the appearance in effect now.
    void applyColors();
    // Asks for the keyboard focus on a later turn of the main queue, once the
    // field is in a window.
    void requestFocusSoon();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void stopBlinking();
    void resumeBlinking();
    Actions actions_;
    // Shows the caret and starts its blink anew.
    void restartBlink();
    QTimer blinkTimeout_;
    // The line edit's own text control, whose timer blinks the caret; null
    // where this Qt has none, and then the caret just keeps blinking.
    QObject* lineControl_ = nullptr;
    bool blinkStopped_ = false;
};
