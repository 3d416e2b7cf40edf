#include "app/demo/demo_tour.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "app/app_delegate.h"
#include "app/quorvel_app.h"
#include "core/settings_model.h"
#include "platform/platform.h"
#include "platform/sim/simulated_desktop.h"
#include "services/hot_key_combo.h"
#include "taskbar/task_button.h"
#include "windows/bar_metrics.h"

DemoTour::DemoTour(QuorvelApp& app, std::shared_ptr<platform::sim::SimulatedDesktop> desktop, QString outputFolder)
    : app_(app), desktop_(std::move(desktop)), output_(std::move(outputFolder)) {}

void DemoTour::at(double seconds, std::function<void()> step) {
    platform::MainQueue::asyncAfter(seconds, std::move(step));
}

void DemoTour::then(double seconds, std::function<void()> step) {
    steps_.push_back({seconds, std::move(step)});
}

void DemoTour::runFrom(std::size_t index) {
    if (index >= steps_.size()) return;
    // Each step waits for the one before it: timers of nearby due times may
    // fire in either order on a busy machine.
    const double after = index == 0 ? steps_[0].seconds : steps_[index].seconds - steps_[index - 1].seconds;
    at(after, [this, index] {
        steps_[index].run();
        runFrom(index + 1);
    });
}

void DemoTour::start() {
    QDir().mkpath(output_);
    then(2.0, [this] { screenshot(QStringLiteral("01-bars.png")); });
    auto pressStartMenuShortcut = [this](const char* why) {
        auto combo = services::HotKeyCombo::fromRawValue(
                         platform::prefs::userDefaults().stringValue(settings::keys::startMenuHotKeyCombo).value_or(
                             QString()))
                         .value_or(services::HotKeyCombo::defaultStartMenu());
        platform::log(QStringLiteral("tour: pressing the start-menu shortcut %1 %2").arg(combo.displayString(), why));
        desktop_->pressHotKey(combo.keyCode, combo.modifiers.rawValue);
    };
    then(2.5, [=] { pressStartMenuShortcut("to open the menu"); });
    then(3.5, [this] { screenshot(QStringLiteral("02-start-menu.png")); });
    then(3.6, [] {
        // A person types into the menu's search field, which has the keyboard.
        QWidget* field = QApplication::focusWidget();
        platform::log(QStringLiteral("tour: typing \"a\" into %1")
                          .arg(field ? field->objectName() : QStringLiteral("nothing")));
        if (!field) return;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(field, &press);
        QApplication::sendEvent(field, &release);
    });
    then(3.8, [this] { screenshot(QStringLiteral("02b-start-menu-search.png")); });
    then(4.0, [=] { pressStartMenuShortcut("to close it"); });
    // The shortcut reaches the menu on a later turn; a click before that
    // would close the menu first and the late shortcut open it again.
    then(4.4, [this] { clickFirstTaskButton(); });
    then(5.0, [this] { screenshot(QStringLiteral("03-task-button-clicked.png")); });
    then(5.5, [this] { maximiseFrontWindow(); });
    then(7.5, [this] { screenshot(QStringLiteral("04-window-fitted-above-bar.png")); });
    then(8.0, [this] {
        platform::log(QStringLiteral("tour: quitting"));
        app_.terminate();
    });
    runFrom(0);
}

void DemoTour::screenshot(const QString& name) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QString path = QDir(output_).filePath(name);
    if (screen->grabWindow(0).save(path))
        platform::log(QStringLiteral("tour: saved %1").arg(path));
    else
        platform::log(QStringLiteral("tour: could not save %1").arg(path));
}

void DemoTour::clickFirstTaskButton() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible()) continue;
        for (QWidget* w : top->findChildren<QWidget*>()) {
            auto* button = qobject_cast<TaskButtonView*>(w);
            // A click on the active button would change nothing to see.
            if (!button || !button->isVisible() || !button->item().isRunning || button->item().isActive) continue;
            // The press goes where a person's would: to the widget under the
            // button's centre (its mouse catcher lies over it).
            const QPoint middle(w->width() / 2, w->height() / 2);
            QWidget* target = w->childAt(middle) ? w->childAt(middle) : w;
            const QPointF global = w->mapToGlobal(QPointF(middle));
            const QPointF local = target->mapFromGlobal(global);
            QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                                Qt::NoModifier);
            QApplication::sendEvent(target, &press);
            QApplication::sendEvent(target, &release);
            platform::log(QStringLiteral("tour: clicked the task button of \"%1\"").arg(button->item().label));
            return;
        }
    }
    platform::log(QStringLiteral("tour: no task button to click"));
}

void DemoTour::maximiseFrontWindow() {
    // The front application with a window of its own (the start menu may have
    // made this program the frontmost one).
    std::int32_t pid = desktop_->frontmostPid();
    if (pid == desktop_->ownPid() || !desktop_->focusedWindow(pid)) {
        pid = 0;
        for (const auto& app : platform::workspace().runningApplications()) {
            if (app.pid == desktop_->ownPid() || app.isHidden || !desktop_->focusedWindow(app.pid)) continue;
            pid = app.pid;
            break;
        }
        if (pid) desktop_->activateApplication(pid);
    }
    const auto window = pid ? desktop_->focusedWindow(pid) : 0;
    auto screens = platform::displays().screens();
    if (!window || screens.empty()) {
        platform::log(QStringLiteral("tour: no front window to maximise"));
        return;
    }
    // Fill the display the window is on, below the menu bar, as a zoom would.
    auto frame = desktop_->window(window)->frame;
    platform::Screen target = screens.front();
    for (const auto& s : screens)
        if (s.bounds.contains(platform::Point{frame.midX(), frame.midY()})) target = s;
    const double menuBar = target.bounds == screens.front().bounds ? 25 : 0;
    platform::Rect filled(target.bounds.origin.x, target.bounds.origin.y + menuBar, target.bounds.size.width,
                          target.bounds.size.height - menuBar);
    desktop_->setWindowFrame(window, filled);
    platform::log(QStringLiteral("tour: maximised window %1 to %2x%3").arg(window).arg(filled.size.width).arg(
        filled.size.height));
    at(1.5, [this, window, target] {
        auto now = desktop_->window(window);
        if (!now) return;
        platform::log(QStringLiteral("tour: window %1 now ends at y=%2; the bar's top edge is y=%3")
                          .arg(window)
                          .arg(now->frame.maxY())
                          .arg(target.bounds.maxY() - BarMetrics::barThickness()));
    });
}
