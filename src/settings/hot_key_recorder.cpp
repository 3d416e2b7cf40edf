#include "settings/hot_key_recorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include "core/localization.h"
#include "platform/platform.h"
#include "platform/virtual_keys.h"
#include "services/global_hot_key_monitor.h"

using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

constexpr std::uint32_t escapeKeyCode = 53;
constexpr std::uint32_t requiredModifiers =
    HotKeyModifiers::commandBit | HotKeyModifiers::optionBit | HotKeyModifiers::controlBit;

bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_ScrollLock:
        case Qt::Key_Mode_switch:
            return true;
        default:
            return false;
    }
}

// The X key symbol a Qt key stands for on the ANSI layout; 0 for none.
std::uint32_t keysymForQtKey(int key, bool keypad) {
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) return std::uint32_t(0xffb0 + (key - Qt::Key_0));
    if (key >= 0x20 && key <= 0x7e) return platform::unshiftedKeysym(std::uint32_t(key));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F15) return std::uint32_t(0xffbe + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Escape: return 0xff1b;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: return 0xff09;
        case Qt::Key_Backspace: return 0xff08;
        case Qt::Key_Return: return 0xff0d;
        case Qt::Key_Enter: return 0xff8d;
        case Qt::Key_Insert:
        case Qt::Key_Help: return 0xff63;
        case Qt::Key_Delete: return 0xffff;
        case Qt::Key_Home: return 0xff50;
        case Qt::Key_End: return 0xff57;
        case Qt::Key_PageUp: return 0xff55;
        case Qt::Key_PageDown: return 0xff56;
        case Qt::Key_Left: return 0xff51;
        case Qt::Key_Up: return 0xff52;
        case Qt::Key_Right: return 0xff53;
        case Qt::Key_Down: return 0xff54;
        default: return 0;
    }
}

}  // namespace

HotKeyRecorder::HotKeyRecorder(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(fieldWidth, fieldHeight);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

HotKeyRecorder::~HotKeyRecorder() { releaseHooks(); }

void HotKeyRecorder::setCombo(HotKeyCombo combo) {
    combo_ = combo;
    update();
}

std::optional<std::uint32_t> HotKeyRecorder::virtualKeyCode(const QKeyEvent& event) {
    // The physical key through the mapping the grabs use.
    if (event.nativeScanCode() != 0 && platform::isInstalled())
        if (auto code = platform::hotKeys().virtualKeyForNativeKey(event.nativeScanCode())) return code;
    if (event.nativeVirtualKey() != 0)
        if (auto code = platform::virtualKeyForKeysym(platform::unshiftedKeysym(event.nativeVirtualKey())))
            return code;
    const std::uint32_t keysym = keysymForQtKey(event.key(), event.modifiers() & Qt::KeypadModifier);
    if (keysym == 0) return std::nullopt;
    return platform::virtualKeyForKeysym(keysym);
}

HotKeyModifiers HotKeyRecorder::modifierMask(Qt::KeyboardModifiers modifiers) {
    std::uint32_t mask = 0;
    if (modifiers & Qt::MetaModifier) mask |= HotKeyModifiers::commandBit;
    if (modifiers & Qt::ShiftModifier) mask |= HotKeyModifiers::shiftBit;
    if (modifiers & Qt::AltModifier) mask |= HotKeyModifiers::optionBit;
    if (modifiers & Qt::ControlModifier) mask |= HotKeyModifiers::controlBit;
    return {mask};
}

bool HotKeyRecorder::event(QEvent* e) {
    if (recording_) {
        // The application's shortcuts and the focus keys come to the field.
        if (e->type() == QEvent::ShortcutOverride) {
            e->accept();
            return true;
        }
        if (e->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(e));
            return true;
        }
    }
    return QWidget::event(e);
}

void HotKeyRecorder::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void HotKeyRecorder::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (!recording_) return;
    if (isModifierKey(event->key())) {
        update();
        return;
    }
    const auto code = virtualKeyCode(*event);
    if (code && *code == escapeKeyCode) {
        endRecording();
        return;
    }
    const HotKeyModifiers mask = modifierMask(event->modifiers());
    if ((mask.rawValue & requiredModifiers) == 0 || !code) {
        // Shift alone is not enough; a key without a virtual code cannot be stored.
        if (platform::isInstalled()) platform::alerts().beep();
        return;
    }
    capture(HotKeyCombo{*code, mask});
}

void HotKeyRecorder::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (recording_) update();
}

void HotKeyRecorder::capture(HotKeyCombo combo) {
    combo_ = combo;
    update();
    if (onCapture_) onCapture_(combo);
    endRecording();
}

void HotKeyRecorder::endRecording() {
    stopRecording();
    // Also while the window is inactive: it keeps its focus widget then.
    if (hasFocus() || window()->focusWidget() == this) clearFocus();
}

void HotKeyRecorder::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    startRecording();
}

void HotKeyRecorder::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    stopRecording();
    // The window stays our window's focus widget while it is inactive; let
    // go of it so coming back does not start recording again.
    if (event->reason() == Qt::ActiveWindowFocusReason) clearFocus();
}

void HotKeyRecorder::hideEvent(QHideEvent* event) {
    // Off screen: the hand-off and the watchers go, the state stays.
    releaseHooks();
    QWidget::hideEvent(event);
}

void HotKeyRecorder::startRecording() {
    recording_ = true;
    update();
    if (platform::isInstalled()) {
        QPointer<HotKeyRecorder> weak(this);
        services::GlobalHotKeyMonitor::shared().beginRecording(this, [weak](HotKeyCombo combo) {
            if (weak) weak->capture(combo);
        });
    }
    if (!monitoring_) {
        monitoring_ = true;
        qApp->installEventFilter(this);
    }
}

void HotKeyRecorder::stopRecording() {
    recording_ = false;
    update();
    releaseHooks();
}

void HotKeyRecorder::releaseHooks() {
    if (platform::isInstalled()) services::GlobalHotKeyMonitor::shared().endRecording(this);
    if (monitoring_) {
        monitoring_ = false;
        qApp->removeEventFilter(this);
    }
}

bool HotKeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!recording_) return false;
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* target = qobject_cast<QWidget*>(watched);
        if ((mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton) && target &&
            target->window() == window()) {
            const QPoint local = mapFromGlobal(mouse->globalPosition().toPoint());
            // Only a press outside the field; the event goes on unchanged.
            if (!rect().contains(local)) endRecording();
        }
    } else if (event->type() == QEvent::WindowDeactivate && watched == window()) {
        endRecording();
    }
    return false;
}

void HotKeyRecorder::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QColor accent = pal.color(QPalette::Highlight);
    const QRectF shape = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath path;
    path.addRoundedRect(shape, 5, 5);
    QColor fill = accent;
    if (recording_)
        fill.setAlphaF(0.15);
    else
        fill = pal.color(QPalette::AlternateBase);
    p.fillPath(path, fill);
    p.setPen(QPen(recording_ ? accent : pal.color(QPalette::Mid), 1));
    p.drawPath(path);

    QFont font = this->font();
    font.setPixelSize(12);
    font.setWeight(recording_ ? QFont::Normal : QFont::Medium);
    p.setFont(font);
    QColor text = pal.color(QPalette::WindowText);
    if (recording_) text.setAlphaF(0.55);
    p.setPen(text);
    const QString label = recording_ ? tr_("Press your shortcut keys") : combo_.displayString();
    p.drawText(rect(), Qt::AlignCenter, label);
}
