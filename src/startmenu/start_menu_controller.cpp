#include "startmenu/start_menu_controller.h"

#include <QPainter>
#include <QPainterPath>

#include "core/settings_model.h"
#include "platform/platform.h"
#include "windows/bar_metrics.h"
#include "taskbar/bar_style.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/screen_geometry.h"

namespace {
std::unique_ptr<StartMenuController>& sharedSlot() {
    static std::unique_ptr<StartMenuController> slot;
    return slot;
}
}  // namespace

StartMenuPanel::StartMenuPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("StartMenuPanel"));
}

void StartMenuPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    p.fillPath(path, bar_style::currentPalette().windowBackground);
    p.strokePath(path, QPen(bar_style::currentPalette().separator, 1));
}

StartMenuController& StartMenuController::shared() {
    static const bool resetWithBackend = (platform::registerSharedInstanceReset([] { resetShared(); }), true);
    (void)resetWithBackend;
    auto& slot = sharedSlot();
    if (!slot) slot = std::make_unique<StartMenuController>();
    return *slot;
}

void StartMenuController::resetShared() { sharedSlot().reset(); }

StartMenuController::StartMenuController() = default;

StartMenuController::~StartMenuController() {
    alive_.reset();
    if (panel_) delete panel_.data();
}

void StartMenuController::loadAppsIfNeeded() {
    if (scanning_) return;
    scanning_ = true;
    std::weak_ptr<bool> weak = alive_;
    const QStringList known = apps_;
    Scanner scanner = scanner_;
    if (!scanQueue_) scanQueue_.emplace("app.quorvel.startmenu.scan");
    // Hop through the main queue first so the caller returns at once.
    platform::MainQueue::async([this, weak, known, scanner] {
        if (weak.expired()) return;
        scanQueue_->async([this, weak, known, scanner] {
            QStringList found = scanner ? scanner(known) : QStringList{};
            platform::MainQueue::async([this, weak, found] {
                if (weak.expired()) return;
                scanning_ = false;
                applyScannedApps(found);
            });
        });
    });
}

void StartMenuController::applyScannedApps(const QStringList& apps) {
    if (apps.isEmpty()) return;
    apps_ = apps;
    if (!didLoadApps_) {
        didLoadApps_ = true;
        emit didLoadAppsChanged();
    }
}

void StartMenuController::toggle(bool fromClick) {
    if (isOpen()) {
        close();
        return;
    }
    // The click that closed the menu from outside must not reopen it.
    if (fromClick && platform::uptime() - lastClosedAt_ < reopenGuard) return;
    open();
}

std::optional<platform::Screen> StartMenuController::chooseScreen() const {
    auto& displays = platform::displays();
    const auto screens = displays.screens();
    if (screens.empty()) return std::nullopt;
    if (BarMetrics::displayMode() == BarDisplayMode::mainDisplay) {
        if (auto s = screen_geometry::screenWithID(screens, displays.mainDisplayID()); s && s->id != 0) return s;
        return screens.front();
    }
    if (auto s = screen_geometry::screenUnderPointer(screens, displays.pointerLocation())) return s;
    if (auto main = displays.mainScreen()) return main;
    return screens.front();
}

void StartMenuController::open() {
    loadAppsIfNeeded();
    const auto screen = chooseScreen();
    if (!screen) return;

    // Left edge 8 points in, bottom edge 6 points above the bar's top edge.
    const double thickness = BarMetrics::barThickness();
    const platform::Rect bounds = screen->bounds;
    const platform::Rect frame(bounds.minX() + 8, bounds.maxY() - thickness - 6 - panelHeight, panelWidth,
                               panelHeight);
    auto* panel = new StartMenuPanel();
    panel->setGeometry(screen_geometry::toQRect(frame));
    const bool fade = StartIconStore::shared().pet().has_value() && !platform::application().reduceMotion();
    panel->setWindowOpacity(fade ? 0.05 : 1.0);
    platform::application().activateIgnoringOtherApps();
    panel->show();
    panel->raise();
    panel->activateWindow();
    if (fade) {
        QPointer<StartMenuPanel> p(panel);
        platform::MainQueue::asyncAfter(0.18, [p] {
            if (p) p->setWindowOpacity(1.0);
        });
    }

    panel_ = panel;
    emit panelChanged();
    std::optional<platform::DisplayID> id;
    if (screen->id != 0) id = screen->id;
    if (presentedScreenID_ != id) {
        presentedScreenID_ = id;
        emit presentedScreenIDChanged();
    }
}

void StartMenuController::close() {
    if (!panel_) return;
    QPointer<StartMenuPanel> panel = panel_;
    panel_ = nullptr;
    emit panelChanged();
    if (presentedScreenID_) {
        presentedScreenID_.reset();
        emit presentedScreenIDChanged();
    }
    lastClosedAt_ = platform::uptime();
    const bool fade = StartIconStore::shared().pet().has_value() && !platform::application().reduceMotion();
    if (fade) {
        panel->setWindowOpacity(0.0);
        platform::MainQueue::asyncAfter(fadeOutDuration, [panel] {
            if (panel) panel->deleteLater();
        });
    } else {
        panel->hide();
        panel->deleteLater();
    }
}
