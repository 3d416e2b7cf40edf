#pragma once
// The middle of the bar: the pinned group (icons only), a thin divider, the
// running group (labelled when there is room) and, when not every running
// button fits, the overflow button. The strip keeps no state of its own: it
// rebuilds from the running-applications store, the pin store, the excluded
// applications and its settings whenever any of them or its width changes.
// Buttons are kept by item identity, so a press, a drag or a hover on one
// survives a new snapshot, and a button whose item did not change is not
// repainted.
#include <QHash>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "platform/displays.h"
#include "taskbar/label_fitting.h"
#include "windows/window_types.h"

namespace motion {
class ClockAnimation;
}
class RunningAppsStore;
class WindowService;
class PinStore;
class TaskButtonView;
class OverflowButtonView;

class TaskStripView : public QWidget {
    Q_OBJECT
public:
    TaskStripView(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore,
                  std::optional<platform::DisplayID> displayID, QWidget* parent = nullptr);
    ~TaskStripView() override;

    RunningAppsStore* store() const { return store_; }
    const std::shared_ptr<WindowService>& service() const { return service_; }
    PinStore* pinStore() const { return pinStore_; }

    struct Groups {
        std::vector<TaskButtonItem> pinned;
        std::vector<TaskButtonItem> running;
    };
    // The items of the current stores and settings, split into the groups.
    Groups groups() const;

    // Moves the dragged identifier onto the target: among the pins, or in the
    // running order; never across the divider.
    void reorder(const QString& dragged, const QString& target);
    // The running applications' bundle identifiers in strip order, each once.
    QStringList currentRunningOrder() const;
    // Publishes and stores a changed running order.
    void persistActiveOrder(const QStringList& order);

    // ---- what is shown (tests and diagnostics)
    const TaskStripFit& lastFit() const { return fit_; }
    std::vector<TaskButtonView*> pinnedButtons() const;
    // The running buttons that are shown, in order.
    std::vector<TaskButtonView*> runningButtons() const;
    TaskButtonView* button(const QString& itemID) const { return buttons_.value(itemID, nullptr); }
    OverflowButtonView* overflowButton() const { return overflow_; }
    QWidget* divider() const { return divider_; }
    int rebuildCount() const { return rebuildCount_; }
    void rebuild();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void settingChanged(const QString& key);
    void layoutOnce();
    TaskButtonView* buttonFor(const TaskButtonItem& item);

    RunningAppsStore* store_;
    std::shared_ptr<WindowService> service_;
    PinStore* pinStore_;
    std::optional<platform::DisplayID> displayID_;

    QHash<QString, TaskButtonView*> buttons_;
    QStringList pinnedOrder_;
    QStringList runningOrder_;
    OverflowButtonView* overflow_ = nullptr;
    QWidget* divider_ = nullptr;
    TaskStripFit fit_;
    int rebuildCount_ = 0;
    // After a drop the moved buttons slide into their new places on a spring.
    QHash<QString, int> laidOutX_;
    std::shared_ptr<motion::ClockAnimation> dropSpring_;
    void slideFrom(const QHash<QString, int>& before);
    bool rebuilding_ = false;
    bool rebuildAgain_ = false;
};
