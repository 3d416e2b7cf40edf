#include "startmenu/start_search_field.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>
#include <QPointer>

#include "core/localization.h"
#include "platform/dispatch.h"
#include "startmenu/start_menu_view.h"
#include "taskbar/bar_style.h"

StartSearchField::StartSearchField(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("StartSearchField"));
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    applyColors();
    setFont(bar_style::font(15));
    updatePlaceholder();
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (actions_.onChangeText) actions_.onChangeText(text);
    });
    blinkTimeout_.setSingleShot(true);
    blinkTimeout_.setInterval(int(caretBlinkSeconds * 1000));
    connect(&blinkTimeout_, &QTimer::timeout, this, [this] { stopBlinking(); });
}

StartSearchField::~StartSearchField() { resumeBlinking(); }

// Like GTK's text fields, the caret stops blinking (and stays shown) some
// seconds after the last key press: an idle open menu then repaints nothing.
// The blink is the application's hint, so it is given back whenever the
// field is used again or loses the focus.
void StartSearchField::stopBlinking() {
    auto* hints = QGuiApplication::styleHints();
    if (!hasFocus() || stoppedFlashTime_ || hints->cursorFlashTime() <= 0) return;
    stoppedFlashTime_ = hints->cursorFlashTime();
    hints->setCursorFlashTime(0);
}

void StartSearchField::resumeBlinking() {
    if (!stoppedFlashTime_) return;
    QGuiApplication::styleHints()->setCursorFlashTime(*stoppedFlashTime_);
    stoppedFlashTime_.reset();
}

void StartSearchField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    blinkTimeout_.start();
}

void StartSearchField::focusOutEvent(QFocusEvent* event) {
    blinkTimeout_.stop();
    resumeBlinking();
    QLineEdit::focusOutEvent(event);
}

void StartSearchField::applyColors() {
    const auto colors = bar_style::currentPalette();
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::transparent);
    pal.setColor(QPalette::Text, colors.primary);
    pal.setColor(QPalette::PlaceholderText, colors.secondary);
    setPalette(start_menu_palette::sameWhenInactive(pal));
}

void StartSearchField::updatePlaceholder() { setPlaceholderText(tr_("Search apps")); }

void StartSearchField::requestFocusSoon() {
    QPointer<StartSearchField> self(this);
    platform::MainQueue::async([self] {
        if (!self || !self->window() || !self->isVisible()) return;
        self->setFocus(Qt::OtherFocusReason);
    });
}

namespace {

// Only the plain keys are menu commands; with Shift, Control, Alt or Meta
// they stay text editing (selecting, moving to the start or the end). The
// keypad's own Enter and arrows are plain keys too.
bool isMenuCommand(const QKeyEvent* event) {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    switch (event->key()) {
        case Qt::Key_Down:
        case Qt::Key_Up:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape: return true;
        default: return false;
    }
}

}  // namespace

void StartSearchField::keyPressEvent(QKeyEvent* event) {
    resumeBlinking();
    if (hasFocus()) blinkTimeout_.start();
    if (!isMenuCommand(event)) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    std::function<void()> action;
    switch (event->key()) {
        case Qt::Key_Down: action = actions_.onMoveDown; break;
        case Qt::Key_Up: action = actions_.onMoveUp; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: action = actions_.onSubmit; break;
        case Qt::Key_Escape: action = actions_.onCancel; break;
        default: break;
    }
    event->accept();
    if (action) action();
}

bool StartSearchField::event(QEvent* event) {
    // Escape and the arrows must reach keyPressEvent, not a shortcut.
    if (event->type() == QEvent::ShortcutOverride && isMenuCommand(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}
