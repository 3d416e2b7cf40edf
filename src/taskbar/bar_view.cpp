#include "taskbar/bar_view.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/platform.h"
#include "services/global_hot_key_monitor.h"
#include "taskbar/start_menu_port.h"
#include "taskbar/bar_style.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/start_button.h"
#include "taskbar/task_strip.h"
#include "taskbar/tray_view.h"
#include "windows/pin_store.h"
#include "windows/window_service.h"

namespace {

namespace keys = settings::keys;

// The hairline along the top edge, drawn over everything below it.
class Hairline : public QWidget {
public:
    explicit Hairline(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setObjectName(QStringLiteral("BarHairline"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), bar_style::currentPalette().separator);
    }
};

services::HotKeyCombo minimizeAllCombo() {
    const auto stored = platform::prefs::userDefaults().stringValue(keys::minimizeAllHotKeyCombo);
    if (stored)
        if (auto combo = services::HotKeyCombo::fromRawValue(*stored)) return *combo;
    return services::HotKeyCombo::defaultMinimizeAll();
}

}  // namespace

BarView::BarView(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore,
                 StartIconStore& iconStore, StartMenuPort& startMenu,
                 std::optional<platform::DisplayID> displayID, QWidget* parent)
    : QWidget(parent),
      store_(store),
      service_(std::move(service)),
      pinStore_(pinStore),
      iconStore_(iconStore),
      startMenu_(startMenu),
      displayID_(displayID) {
    setObjectName(QStringLiteral("BarView"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setFocusPolicy(Qt::NoFocus);

    startButton_ = new StartButton(iconStore_, startMenu_, displayID_, this);
    taskStrip_ = new TaskStripView(store_, service_, pinStore_, displayID_, this);
    tray_ = new TrayView(this);
    tray_->followPowerSourceMonitor();
    hairline_ = new Hairline(this);

    connect(&iconStore_, &StartIconStore::petChanged, this, &BarView::relayout);
    // The tray's width follows the minute, the battery and its settings.
    connect(tray_, &TrayView::contentChanged, this, &BarView::relayout);
    connect(startButton_, &StartButton::faceChanged, this, &BarView::relayout);
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, &BarView::settingChanged);
    QPointer<BarView> self(this);
    appearanceObserver_ = platform::application().addObserver([self] {
        if (!self) return;
        self->update();
        for (QWidget* child : self->findChildren<QWidget*>()) child->update();
    });
    // A compositor that starts or stops changes how the background is drawn.
    compositorObservation_ = std::make_unique<platform::CompositorObservation>([self] {
        if (self) self->update();
    });
    relayout();
}

BarView::~BarView() {
    if (platform::isInstalled() && platform::installed().application)
        platform::application().removeObserver(appearanceObserver_);
    if (lastMenu_) delete lastMenu_.data();
}

void BarView::settingChanged(const QString& key) {
    if (key == keys::appearanceTransparency || key == keys::appearanceMode || key == keys::appLanguage) update();
}

QColor BarView::backgroundColor() const {
    return bar_style::backgroundColor(settings::readString(keys::appearanceMode),
                                      settings::readInteger(keys::appearanceTransparency),
                                      bar_style::currentAppearance(), bar_style::composited());
}

void BarView::relayout() {
    const bool pet = iconStore_.pet().has_value();
    const int leading = pet ? leadingPaddingWithPet : leadingPaddingWithoutPet;
    const int startTrailing = pet ? startTrailingWithPet : startTrailingWithoutPet;
    const QSize startSize = startButton_->sizeHint();
    startButton_->setGeometry(leading, (height() - startSize.height()) / 2, startSize.width(), startSize.height());

    const QSize traySize = tray_->sizeHint();
    const int trayX = width() - trailingPadding - traySize.width();
    tray_->setGeometry(trayX, 0, traySize.width(), height());

    const int stripX = startButton_->geometry().right() + 1 + startTrailing;
    const int stripWidth = std::max(0, trayX - stripTrailing - stripX);
    taskStrip_->setGeometry(stripX, 0, stripWidth, height());

    hairline_->setGeometry(0, 0, width(), 1);
    hairline_->raise();
    startButton_->placePetView();
}

void BarView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void BarView::paintEvent(QPaintEvent*) {
    // The panel is cleared to transparent; the background blends over what
    // lies behind the bar.
    QPainter p(this);
    p.fillRect(rect(), backgroundColor());
}

std::optional<QKeySequence> BarView::keyboardShortcut(const services::HotKeyCombo& combo) {
    int key = 0;
    switch (combo.keyCode) {
        case 36: key = Qt::Key_Return; break;
        case 48: key = Qt::Key_Tab; break;
        case 49: key = Qt::Key_Space; break;
        case 51: key = Qt::Key_Backspace; break;
        case 53: key = Qt::Key_Escape; break;
        case 115: key = Qt::Key_Home; break;
        case 116: key = Qt::Key_PageUp; break;
        case 117: key = Qt::Key_Delete; break;
        case 119: key = Qt::Key_End; break;
        case 121: key = Qt::Key_PageDown; break;
        case 123: key = Qt::Key_Left; break;
        case 124: key = Qt::Key_Right; break;
        case 125: key = Qt::Key_Down; break;
        case 126: key = Qt::Key_Up; break;
        default: {
            const QString name = combo.keyName();
            if (name.size() >= 2 && name.size() <= 3 && name.startsWith(QLatin1Char('F'))) {
                bool ok = false;
                const int n = name.mid(1).toInt(&ok);
                if (ok && n >= 1 && n <= 12 && name.mid(1) == QString::number(n)) key = Qt::Key_F1 + (n - 1);
            }
            if (!key && name.size() == 1) {
                // Qt names a character key by its upper-case code point.
                key = name.at(0).toUpper().unicode();
            }
            if (!key) return std::nullopt;
        }
    }
    int mods = 0;
    const auto m = combo.modifiers;
    if (m.contains(services::HotKeyModifiers::control())) mods |= Qt::ControlModifier;
    if (m.contains(services::HotKeyModifiers::option())) mods |= Qt::AltModifier;
    if (m.contains(services::HotKeyModifiers::shift())) mods |= Qt::ShiftModifier;
    if (m.contains(services::HotKeyModifiers::command())) mods |= Qt::MetaModifier;
    return QKeySequence(QKeyCombination(Qt::KeyboardModifiers(mods), Qt::Key(key)));
}

QMenu* BarView::makeContextMenu() {
    auto* menu = new QMenu();
    menu->setObjectName(QStringLiteral("BarContextMenu"));
    QPointer<BarView> self(this);

    QAction* settingsAction = menu->addAction(tr_("Settings…"));
    connect(settingsAction, &QAction::triggered, this, [self] {
        if (self && self->openSettings_) self->openSettings_(self->displayID_);
    });

    QAction* minimizeAll = menu->addAction(tr_("Minimize All Windows"));
    if (settings::readBool(keys::minimizeAllHotKeyEnabled) &&
        !services::GlobalHotKeyMonitor::shared().lastMinimizeAllRegistrationFailed()) {
        const auto combo = minimizeAllCombo();
        if (auto shortcut = keyboardShortcut(combo)) {
            minimizeAll->setShortcut(*shortcut);
            minimizeAll->setShortcutContext(Qt::WidgetShortcut);  // shown, never a live shortcut
            minimizeAll->setShortcutVisibleInContextMenu(true);
            // Qt would write the Super key "Meta": the menu shows the
            // desktop's own spelling after the tab instead.
            if (platform::desktopTraits().shortcutStyle == platform::ShortcutStyle::words)
                minimizeAll->setText(minimizeAll->text() + u'\t' + combo.displayString());
        }
    }
    connect(minimizeAll, &QAction::triggered, this, [self] {
        if (self && self->service_) self->service_->minimizeAll();
    });

    menu->addSeparator();
    QAction* quit = menu->addAction(tr_("Quit Quorvel"));
    connect(quit, &QAction::triggered, this, [] {
        // Let the menu close first.
        platform::MainQueue::async([] { platform::application().terminate(); });
    });
    return menu;
}

void BarView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    ++contextMenuRequests_;
    if (lastMenu_) lastMenu_->deleteLater();
    QMenu* menu = makeContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    lastMenu_ = menu;
    bar_style::popUpAboveBar(menu, event->globalPos(), event->pos(), this);
}

void BarView::offerUnpinAfterOpenFailure(const QString& bundleID, const QString& displayName, PinStore& pinStore) {
    platform::Alert alert;
    alert.style = platform::AlertStyle::warning;
    alert.messageText = tr_("Couldn't open “%@”").replace(QStringLiteral("%@"), displayName);
    alert.buttons = {tr_("Unpin"), tr_("Cancel")};
    platform::application().activateIgnoringOtherApps();
    const int result = platform::alerts().runModal(alert);
    if (result == platform::alertFirstButtonReturn && pinStore.pinnedBundleIDs().contains(bundleID))
        pinStore.togglePin(bundleID);
}

QMenu* BarView::lastContextMenu() const { return lastMenu_.data(); }
