#include "startmenu/start_menu_controller.h"

#include <QApplication>
#include <QBackingStore>
#include <QStringList>
#include <algorithm>
#include <numeric>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>

#include "core/clock_animation.h"
#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/platform.h"
#include "startmenu/launcher_search.h"
#include "startmenu/start_menu_view.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_panel.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/screen_geometry.h"
#include "windows/bar_metrics.h"

namespace {

platform::SharedInstance<StartMenuController>& sharedSlot() {
    static platform::SharedInstance<StartMenuController> slot;
    return slot;
}

// The applications whose bundles seed the pins on the first scan, in order,
// where the desktop names no everyday applications of its own.
const QStringList seedBundleIDs = {QStringLiteral("com.apple.finder"), QStringLiteral("com.apple.Safari"),
                                   QStringLiteral("com.apple.systempreferences"), QStringLiteral("com.apple.AppStore")};

}  // namespace

// ---- panel ---------------------------------------------------------------------

StartMenuPanel::StartMenuPanel(QWidget* parent)
    // No shadow opt-out: where a compositor draws window shadows the panel has one.
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setAttribute(Qt::WA_TranslucentBackground);
    setPalette(start_menu_palette::sameWhenInactive(palette()));
    setObjectName(QStringLiteral("StartMenuPanel"));
    setWindowTitle(QStringLiteral("Quorvel Start"));
}

void StartMenuPanel::setView(StartMenuView* view) {
    view_ = view;
    view->setParent(this);
    view->move(0, 0);
    view->show();  // a view kept from an earlier panel comes hidden
}

StartMenuView* StartMenuPanel::takeView() {
    StartMenuView* view = view_;
    view_ = nullptr;
    if (view) {
        view->hide();
        view->setParent(nullptr);
    }
    return view;
}

void StartMenuPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Our own context menus take no activation away from the panel.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !QApplication::activePopupWidget())
        emit resignedKey();
}

// ---- controller ----------------------------------------------------------------

StartMenuController& StartMenuController::shared() {
    return *sharedSlot().get([] { return std::make_shared<StartMenuController>(); });
}

void StartMenuController::resetShared() { sharedSlot().reset(); }

StartMenuController::StartMenuController()
    : launcherPins_(std::make_unique<LauncherPinStore>(&platform::prefs::userDefaults())),
      launcherRecents_(std::make_unique<LauncherRecentsStore>(&platform::prefs::userDefaults())),
      // The scans run one after another on one queue, so they share the last one unlocked.
      scanner_([last = std::make_shared<InstalledAppScanner::LastScan>()](const std::vector<InstalledApp>& known) {
          return InstalledAppScanner::scan(known, *last);
      }) {}

StartMenuController::~StartMenuController() {
    alive_.reset();
    stopWatching();
    if (fadeIn_) fadeIn_->stop();
    if (panel_) delete panel_.data();
    if (sparePanel_) delete sparePanel_.data();
    forgetKeptView();
}

void StartMenuController::forgetKeptView() {
    if (!keptView_) return;
    StartMenuView* kept = keptView_;
    keptView_ = nullptr;
    kept->detach();
    kept->deleteLater();
}

QRect StartMenuController::panelGeometry(const platform::Rect& screenFrame, double primaryHeight,
                                         double barThickness) {
    const platform::Rect frame = screenFrame.standardized();
    const platform::Rect content(frame.minX() + 8, frame.minY() + barThickness + 6, panelWidth, panelHeight);
    return screen_geometry::toQRect(screen_geometry::flipped(content, primaryHeight));
}

QRect StartMenuController::panelGeometryNextTo(const QRect& barFrame, const QRect& screenRect) {
    const int x = barFrame.x() + 8;
    // y + height: QRect's bottom() is one pixel short of the edge.
    if (barFrame.y() + barFrame.height() / 2 >= screenRect.y() + screenRect.height() / 2)
        return QRect(x, barFrame.y() - 6 - int(panelHeight), int(panelWidth), int(panelHeight));
    return QRect(x, barFrame.y() + barFrame.height() + 6, int(panelWidth), int(panelHeight));
}

std::optional<QRect> StartMenuController::barFrameOn(platform::DisplayID display) {
    if (display == 0) return std::nullopt;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* bar = qobject_cast<BarPanel*>(w); bar && bar->isVisible() && bar->displayID() == display)
            return bar->frameGeometry();
    return std::nullopt;
}

bool StartMenuController::fadeApplies() {
    // Without a compositing manager a window's opacity is not shown, so a
    // fade would only delay the panel.
    return StartIconStore::shared().pet().has_value() && !platform::application().reduceMotion() &&
           platform::compositingActive();
}

void StartMenuController::loadAppsIfNeeded() {
    if (scanning_) return;
    scanning_ = true;
    std::weak_ptr<bool> weak = alive_;
    // One copy of the known list travels with the scans, shared by their
    // hops and by every scan until the list changes.
    if (!knownForScan_) knownForScan_ = std::make_shared<const std::vector<InstalledApp>>(apps_);
    auto known = knownForScan_;
    Scanner scanner = scanner_;
    // The desktop's own choice of applications is asked for (off the main
    // thread: it reads files) only while the pins still wait for their seed.
    const bool wantSeed = !launcherPins_->isSeeded();
    if (!scanQueue_) scanQueue_.emplace("app.quorvel.startmenu.scan");
    // Hop through the main queue first so the caller returns at once.
    platform::MainQueue::async([this, weak, known, scanner, wantSeed] {
        if (weak.expired()) return;
        scanQueue_->async([this, weak, known, scanner, wantSeed] {
            auto found = std::make_shared<std::vector<InstalledApp>>(scanner ? scanner(*known)
                                                                             : std::vector<InstalledApp>{});
            std::optional<QStringList> everyday;
            if (wantSeed && platform::installed().applicationFolders)
                everyday = platform::installed().applicationFolders->everydayApplications();
            platform::MainQueue::async([this, weak, found, everyday] {
                if (weak.expired()) return;
                if (everyday) seedBundleIDs_ = *everyday;
                applyScannedApps(std::move(*found));
            });
        });
    });
}

void StartMenuController::applyScannedApps(std::vector<InstalledApp> result) {
    scanning_ = false;
    if (result.empty()) {
        // The earlier list stays; an open menu that was still loading shows its empty state.
        if (didLoadApps_ || !menuModel_) return;
        menuModel_->setApps({});
        menuModel_->setIsLoadingApps(false);
        return;
    }
    const bool same = result == apps_;
    if (!same) {
        apps_ = std::move(result);
        knownForScan_.reset();
    }
    if (!didLoadApps_) {
        didLoadApps_ = true;
        emit didLoadAppsChanged();
    }
    prepareNextOpeningSoon();
    if (same) return;
    QSet<QString> paths;
    for (const auto& a : apps_) paths.insert(a.path);
    launcherPins_->prune(paths);
    launcherPins_->seedIfNeeded(InstalledApp::seedPaths(seedBundleIDs_ ? *seedBundleIDs_ : seedBundleIDs, apps_));
    launcherRecents_->prune(paths);
    // A changed list may bring the icons that were missing.
    AppIconProvider::shared().forgetMissingPathIcons();
    warmIcons();
    if (!menuModel_) return;
    menuModel_->setApps(apps_);
    menuModel_->setIsLoadingApps(false);
}

void StartMenuController::warmIcons() {
    const std::uint64_t generation = ++iconWarmGeneration_;
    // Only the rows a first opening shows: the pins, then the head of the
    // list in name order. The rows further down get their icons as they are
    // drawn; warming every one of a long list would cost seconds and keep
    // more icons than the cache holds. Only that head is put in order (ties
    // keep the scan's order, as in the list), not the whole list.
    std::vector<std::size_t> order(apps_.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    const auto head = order.begin() + std::ptrdiff_t(std::min(order.size(), std::size_t(iconWarmRows)));
    std::partial_sort(order.begin(), head, order.end(), [this](std::size_t a, std::size_t b) {
        const int byName = LauncherSearch::compareNames(apps_[a].name, apps_[b].name);
        return byName != 0 ? byName < 0 : a < b;
    });
    QStringList paths = launcherPins_->pinnedPaths();
    for (auto it = order.begin(); it != head; ++it) paths.append(apps_[*it].path);
    // Decoded off the main thread where the icon's file can be told there;
    // the rest through the icon theme here, a few a turn.
    std::weak_ptr<bool> weak = alive_;
    AppIconProvider::shared().preloadPathIcons(paths, [this, weak, generation](QStringList rest) {
        if (weak.expired() || generation != iconWarmGeneration_ || rest.isEmpty()) return;
        warmIconsFrom(std::make_shared<const QStringList>(std::move(rest)), 0, generation);
    });
}

void StartMenuController::warmIconsFrom(std::shared_ptr<const QStringList> paths, qsizetype from,
                                        std::uint64_t generation) {
    // A few icons a turn, each turn after whatever input came meanwhile, so
    // that the bar stays responsive while the menu's icons are decoded before
    // its first opening instead of during it.
    std::weak_ptr<bool> weak = alive_;
    platform::MainQueue::asyncAfter(iconWarmPause, [this, weak, paths, from, generation] {
        if (weak.expired() || generation != iconWarmGeneration_) return;
        const qsizetype end = std::min(from + iconWarmChunk, paths->size());
        for (qsizetype i = from; i < end; ++i) AppIconProvider::shared().iconForPath(paths->at(i));
        if (end < paths->size()) warmIconsFrom(paths, end, generation);
    });
}

StartMenuModel* StartMenuController::modelForOpening() {
    if (reusableModel_ && reusableModel_->apps() == apps_) return reusableModel_;
    if (StartMenuModel* old = reusableModel_) {
        if (lastPanel_) old->setParent(lastPanel_);
        else old->deleteLater();
    }
    // The views made over the replaced model go with it.
    dropSparePanel();
    forgetKeptView();
    reusableModel_ = new StartMenuModel(apps_, !didLoadApps_, launcherPins_.get(), launcherRecents_.get(), {}, 0, this);
    return reusableModel_;
}

StartMenuView* StartMenuController::viewFor(StartMenuModel& model) {
    // The view kept from the last opening over this model, else a new one.
    dropSparePanel();
    StartMenuView* view = nullptr;
    if (keptView_ && &keptView_->model() == &model) {
        view = keptView_;
        keptView_ = nullptr;
        view->prepareForOpening();
    }
    forgetKeptView();
    if (view) return view;
    std::weak_ptr<bool> weak = alive_;
    StartMenuView::Callbacks callbacks;
    callbacks.onLaunch = [this, weak](const InstalledApp& app) {
        if (weak.expired()) return;
        launchApp(app.path);
        close();
    };
    callbacks.onClose = [this, weak] {
        if (!weak.expired()) close();
    };
    callbacks.onSession = [this, weak](SessionAction action) {
        if (!weak.expired()) perform(action);
    };
    callbacks.openSettings = [this, weak](std::optional<platform::DisplayID> display) {
        if (!weak.expired() && openSettings_) openSettings_(display);
    };
    callbacks.presentedScreenID = [this, weak]() -> std::optional<platform::DisplayID> {
        return weak.expired() ? std::nullopt : presentedScreenID_;
    };
    return new StartMenuView(model, std::move(callbacks));
}

StartMenuPanel* StartMenuController::spareFor(const StartMenuModel* model) const {
    if (!sparePanel_ || !sparePanel_->view() || &sparePanel_->view()->model() != model) return nullptr;
    return sparePanel_;
}

void StartMenuController::dropSparePanel() {
    if (!sparePanel_) return;
    StartMenuPanel* spare = sparePanel_;
    sparePanel_ = nullptr;
    if (spare->view()) spare->view()->detach();
    spare->deleteLater();
}

void StartMenuController::prepareNextOpeningSoon() {
    std::weak_ptr<bool> weak = alive_;
    platform::MainQueue::asyncAfter(spareDelay, [this, weak] {
        if (!weak.expired()) prepareNextOpening();
    });
}

void StartMenuController::prepareNextOpening() {
    // Only while closed, and once the applications are known: the panel is
    // made for the list the next opening will show.
    if (panel_ || !didLoadApps_) return;
    StartMenuModel* model = modelForOpening();
    if (spareFor(model)) return;
    StartMenuView* view = viewFor(*model);
    auto* spare = new StartMenuPanel();
    spare->setView(view);
    spare->resize(int(panelWidth), int(panelHeight));
    // The window exists before it is needed, and the rows have been drawn
    // once, so their fonts and icons are ready: an opening only shows it.
    spare->winId();
    if (QBackingStore* store = spare->backingStore()) {
        // Written once now, the store's pages are in place: a new window's
        // first paint otherwise waits for the kernel to map each of them.
        store->resize(spare->size());
        const QRegion whole(QRect(QPoint(), spare->size()));
        store->beginPaint(whole);
        store->endPaint();
    }
    QImage warm(spare->size(), QImage::Format_ARGB32_Premultiplied);
    warm.fill(Qt::transparent);
    spare->render(&warm);
    sparePanel_ = spare;
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

    const auto screens = platform::displays().screens();

    // Every opening gets a fresh panel over a model in its opening state:
    // empty query, selection 0. The last model serves again while the
    // applications did not change, and with it the view that showed it; a
    // replaced model goes with the panel that still shows it.
    StartMenuModel* model = modelForOpening();
    model->setQuery({});
    model->setSelection(0);
    model->setIsLoadingApps(!didLoadApps_);
    menuModel_ = model;
    // The panel made ahead for this opening, when it still fits the model.
    StartMenuPanel* panel = spareFor(model);
    if (panel) {
        // Made ahead from the kept view, if there was one: none is kept now.
        sparePanel_ = nullptr;
        panel->view()->prepareForOpening();
    } else {
        panel = new StartMenuPanel();
        panel->setView(viewFor(*model));
    }
    // Next to the display's bar where its window manager put it (awesome
    // moves a dock below its own panel at the top); where it should be when
    // that display shows no bar.
    const double primaryHeight = screen_geometry::primaryHeight(screens);
    QRect place = panelGeometry(screen->frame, primaryHeight, BarMetrics::barThickness());
    if (auto bar = barFrameOn(screen->id))
        place = panelGeometryNextTo(*bar, screen_geometry::toQRect(screen_geometry::flipped(screen->frame, primaryHeight)));
    panel->setGeometry(place);
    std::weak_ptr<bool> weak = alive_;

    panel_ = panel;
    lastPanel_ = panel;
    std::optional<platform::DisplayID> id;
    if (screen->id != 0) id = screen->id;
    const bool idChanged = presentedScreenID_ != id;
    presentedScreenID_ = id;

    const bool fade = fadeApplies();
    panel->setWindowOpacity(fade ? fadeInStartOpacity : 1.0);
    panel->show();
    // Showing posts a repaint for every widget of the panel; sent now, they
    // join its first paint instead of drawing it all again after it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateLater);
    platform::application().activateIgnoringOtherApps();
    panel->raise();
    panel->activateWindow();
    if (fadeIn_) fadeIn_->stop();
    fadeIn_.reset();
    if (fade) {
        QPointer<StartMenuPanel> p(panel);
        fadeIn_ = motion::ClockAnimation::linear(fadeInDuration, [p](double v) {
            if (p) p->setWindowOpacity(fadeInStartOpacity + (1.0 - fadeInStartOpacity) * v);
        });
    }

    // What closes this opening; each acts only while this panel is the open one.
    QPointer<StartMenuPanel> mine(panel);
    popupClosing_ = false;
    // The keyboard passing between our own windows (from an open settings
    // window to the panel, while the shortcut's key grab ends) can show the
    // program inactive for a moment: a lost activation closes the menu only
    // once it has not come back within that moment.
    auto closeUnlessBack = [this, weak, mine] {
        platform::MainQueue::asyncAfter(activationRegainGrace, [this, weak, mine] {
            if (weak.expired() || !mine || panel_ != mine || popupClosing_ || QApplication::activePopupWidget())
                return;
            if (!mine->isActiveWindow() || QGuiApplication::applicationState() != Qt::ApplicationActive) close();
        });
    };
    observers_.push_back(connect(panel, &StartMenuPanel::resignedKey, this, [this, mine, closeUnlessBack] {
        if (mine && panel_ == mine && !popupClosing_) closeUnlessBack();
    }));
    observers_.push_back(connect(qApp, &QGuiApplication::applicationStateChanged, this,
                                 [this, mine, closeUnlessBack](Qt::ApplicationState state) {
                                     if (state != Qt::ApplicationActive && mine && panel_ == mine &&
                                         !popupClosing_ && !QApplication::activePopupWidget())
                                         closeUnlessBack();
                                 }));
    const auto ownPid = platform::workspace().ownProcessID();
    workspaceObserver_ = platform::workspace().addObserver([this, weak, mine, ownPid](const QString& name,
                                                                                       std::int32_t pid) {
        if (weak.expired() || name != platform::workspace_notifications::didActivateApplication) return;
        if (pid != ownPid && mine && panel_ == mine) close();
    });
    qApp->installEventFilter(this);
    clickMonitor_ = true;
    // Presses elsewhere on the desktop: other programs, the desktop itself.
    mouseDownMonitor_ = platform::displays().addMouseDownMonitor([this, weak, mine] {
        if (weak.expired() || !mine || panel_ != mine) return;
        if (!pointerIsOverPanel()) close();
    });

    emit panelChanged();
    if (idChanged) emit presentedScreenIDChanged();
}

bool StartMenuController::isInsidePanel(QWidget* widget) const {
    // The panel and everything it opened, such as its context menus, which
    // are windows of their own parented to a widget inside it.
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (w == panel_.data()) return true;
    return false;
}

bool StartMenuController::pointerIsOverPanel() const {
    const auto screens = platform::displays().screens();
    const platform::Point p = platform::displays().pointerLocation();
    const QPoint pos(int(p.x), int(screen_geometry::primaryHeight(screens) - p.y));
    if (panel_ && panel_->frameGeometry().contains(pos)) return true;
    QWidget* popup = QApplication::activePopupWidget();
    return popup && isInsidePanel(popup) && popup->frameGeometry().contains(pos);
}

bool StartMenuController::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::NonClientAreaMouseButtonPress) && panel_ &&
        watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (!isInsidePanel(widget)) close();
    }
    if (panel_ && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (type == QEvent::Hide && widget->isWindow() && widget != panel_.data() &&
            (widget->windowFlags() & Qt::Popup) == Qt::Popup && isInsidePanel(widget)) {
            // The focus the popup borrowed goes back to the panel.
            popupClosing_ = true;
            panel_->activateWindow();
        } else if (watched == panel_.data() && type == QEvent::WindowActivate) {
            popupClosing_ = false;
        }
    }
    return false;  // always passed on unchanged
}

void StartMenuController::stopWatching() {
    for (const auto& c : observers_) disconnect(c);
    observers_.clear();
    if (workspaceObserver_ && platform::isInstalled()) platform::workspace().removeObserver(workspaceObserver_);
    workspaceObserver_ = 0;
    if (mouseDownMonitor_ && platform::isInstalled()) platform::displays().removeMouseDownMonitor(mouseDownMonitor_);
    mouseDownMonitor_ = 0;
    if (clickMonitor_ && qApp) qApp->removeEventFilter(this);
    clickMonitor_ = false;
}

void StartMenuController::close() {
    if (!panel_) return;
    QPointer<StartMenuPanel> panel = panel_;
    stopWatching();
    panel_ = nullptr;
    const bool idChanged = presentedScreenID_.has_value();
    presentedScreenID_.reset();
    menuModel_ = nullptr;
    lastClosedAt_ = platform::uptime();
    if (fadeIn_) fadeIn_->stop();
    fadeIn_.reset();

    if (fadeApplies()) {
        // The closed view no longer follows the model, which may serve the next opening.
        if (panel->view()) panel->view()->detach();
        // The fading panel takes no more typing: the keyboard focus leaves it first.
        if (QWidget* focused = panel->focusWidget()) focused->clearFocus();
        const double from = panel->windowOpacity();
        motion::ClockAnimation::linear(
            fadeOutDuration,
            [panel, from](double v) {
                if (panel) panel->setWindowOpacity(from * (1.0 - v));
            },
            [panel] {
                if (!panel) return;
                panel->hide();
                panel->deleteLater();
            });
    } else {
        panel->hide();
        // The view is kept for the next opening, its state reset while nobody looks.
        forgetKeptView();
        keptView_ = panel->takeView();
        panel->deleteLater();
        std::weak_ptr<bool> weak = alive_;
        platform::MainQueue::async([this, weak] {
            if (weak.expired() || !keptView_ || !reusableModel_) return;
            if (&keptView_->model() == reusableModel_.data()) keptView_->prepareForOpening();
        });
    }
    prepareNextOpeningSoon();
    emit panelChanged();
    if (idChanged) emit presentedScreenIDChanged();
}

void StartMenuController::launchApp(const QString& path) {
    launcherRecents_->record(path);
    const auto known = std::find_if(apps_.begin(), apps_.end(), [&](const InstalledApp& a) { return a.path == path; });
    const QString name = known != apps_.end() ? known->name : platform::workspace().displayName(path);
    // A launch that fails says why, as the power row's failures do: the
    // reason is the system's own (a missing program, say), shown as it is.
    platform::workspace().openApplication(path, [name](platform::OpenResult result) {
        if (!result.ok)
            session_action::showFailureAlert(tr_(QT_TRANSLATE_NOOP("Quorvel", "Couldn't open %1")).arg(name),
                                             result.errorDescription);
    });
}

void StartMenuController::perform(SessionAction action) {
    // The menu is gone before any confirmation shows.
    std::weak_ptr<bool> weak = alive_;
    sessionActions_.perform(action, [this, weak] {
        if (!weak.expired()) close();
    });
}
