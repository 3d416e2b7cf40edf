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
    blinkTimeout_.setParent(this);  // among the field's children, where a test finds it
    blinkTimeout_.setSingleShot(true);
    blinkTimeout_.setInterval(int(caretBlinkSeconds * 1000));
    connect(&blinkTimeout_, &QTimer::timeout, this, [this] { stopBlinking(); });
}

StartSearchField::~StartSearchField() = default;

// Like GTK's text fields, the caret stops blinking (and stays shown) some
// seconds after the last key press: an idle open menu then repaints nothing.
// Only this field's blink stops: the blink timer's ticks to its own text
// control are dropped, while the application's flash time, which every
// other text field blinks by, stays as the user set it.
void StartSearchField::stopBlinking() {
    if (!hasFocus() || blinkStopped_ || QGuiApplication::styleHints()->cursorFlashTime() <= 0) return;
    if (!lineControl_) {
        for (QObject* child : children())
            if (qstrcmp(child->metaObject()->className(), "QWidgetLineControl") == 0) lineControl_ = child;
        if (!lineControl_) return;
        lineControl_->installEventFilter(this);
    }
    restartBlink();
    blinkStopped_ = true;
}

void StartSearchField::resumeBlinking() {
    if (!blinkStopped_) return;
    blinkStopped_ = false;
    restartBlink();
}

void StartSearchField::restartBlink() {
    // A field that turns read-only and back restarts its blink with the
    // caret shown; nothing else of it changes.
    const bool mac = testAttribute(Qt::WA_MacShowFocusRect);
    setReadOnly(true);
    setReadOnly(false);
    setAttribute(Qt::WA_MacShowFocusRect, mac);
}

bool StartSearchField::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineControl_ && blinkStopped_ && event->type() == QEvent::Timer) return true;
    return QLineEdit::eventFilter(watched, event);
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
