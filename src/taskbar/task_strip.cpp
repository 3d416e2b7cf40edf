#include "taskbar/task_strip.h"

#include "core/clock_animation.h"

#include <QPainter>
#include <QPointer>
#include <QSet>

#include "core/settings_model.h"
#include "platform/preferences.h"
#include "taskbar/overflow_button.h"
#include "taskbar/task_button.h"
#include "windows/blacklist_store.h"
#include "windows/pin_store.h"
#include "windows/running_apps_store.h"
#include "windows/task_items.h"
#include "windows/window_service.h"

namespace keys = settings::keys;

namespace {

// The thin line between the pinned and the running group.
class StripDivider : public QWidget {
public:
    explicit StripDivider(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("TaskStripDivider"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QColor white(255, 255, 255);
        white.setAlphaF(0.15f);
        p.fillRect(rect(), white);
    }
};

const QSet<QString>& watchedKeys() {
    static const QSet<QString> set{keys::interactionModel,       keys::appearanceBarHeight,
                                   keys::taskStripAlwaysIconsOnly, keys::clickActiveHides,
                                   keys::showUnreadBadge,         keys::showRunningIndicator,
                                   keys::appearanceSelectionColor, keys::appLanguage};
    return set;
}

std::vector<bool> wideFlags(const std::vector<TaskButtonItem>& items) {
    std::vector<bool> flags;
    flags.reserve(items.size());
    for (const auto& item : items) flags.push_back(TaskStripLayout::isWide(item.badge));
    return flags;
}

}  // namespace

TaskStripView::TaskStripView(RunningAppsStore* store, std::shared_ptr<WindowService> service, PinStore* pinStore,
                             std::optional<platform::DisplayID> displayID, QWidget* parent)
    : QWidget(parent), store_(store), service_(std::move(service)), pinStore_(pinStore), displayID_(displayID) {
    setObjectName(QStringLiteral("TaskStrip"));
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    divider_ = new StripDivider(this);
    divider_->hide();
    overflow_ = new OverflowButtonView(service_, pinStore_, this);
    overflow_->hide();

    if (store_) connect(store_, &RunningAppsStore::appsChanged, this, &TaskStripView::rebuild);
    if (pinStore_) {
        connect(pinStore_, &PinStore::pinnedBundleIDsChanged, this, &TaskStripView::rebuild);
        connect(pinStore_, &PinStore::activeOrderChanged, this, &TaskStripView::rebuild);
        connect(pinStore_, &PinStore::draggingBundleIDChanged, this, [this] {
            for (auto* button : std::as_const(buttons_)) button->refreshDragState();
        });
    }
    connect(&BlacklistStore::shared(), &BlacklistStore::blockedBundleIDsChanged, this, &TaskStripView::rebuild);
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this,
            &TaskStripView::settingChanged);
    rebuild();
}

TaskStripView::~TaskStripView() {
    // A running spring keeps itself alive until its last frame; one that can
    // no longer come (the strip or the desktop goes first) must not outlive us.
    if (dropSpring_) dropSpring_->stop();
    for (auto* button : std::as_const(buttons_)) button->retire();
}

void TaskStripView::settingChanged(const QString& key) {
    if (watchedKeys().contains(key)) rebuild();
}

TaskStripView::Groups TaskStripView::groups() const {
    Groups g;
    const bool perWindow = taskInteractionModelFromText(settings::readString(keys::interactionModel)) ==
                           TaskInteractionModel::perWindow;
    const QStringList& excludedList = BlacklistStore::shared().blockedBundleIDs();
    const QSet<QString> excluded(excludedList.begin(), excludedList.end());
    static const std::vector<AppItem> none;
    static const QStringList empty;
    auto items = TaskStripItems::build(store_ ? store_->apps() : none, perWindow, excluded,
                                       pinStore_ ? pinStore_->pinnedBundleIDs() : empty,
                                       pinStore_ ? pinStore_->activeOrder() : empty);
    for (auto& item : items) (item.isPinned ? g.pinned : g.running).push_back(std::move(item));
    return g;
}

TaskButtonView* TaskStripView::buttonFor(const TaskButtonItem& item) {
    if (auto* existing = buttons_.value(item.id, nullptr)) return existing;
    QPointer<TaskStripView> self(this);
    auto* button = new TaskButtonView(service_, pinStore_, [self](const QString& dragged, const QString& target) {
        if (self) self->reorder(dragged, target);
    }, this);
    buttons_.insert(item.id, button);
    return button;
}

void TaskStripView::rebuild() {
    // A reorder during a rebuild comes back through the stores' signals.
    if (rebuilding_) {
        rebuildAgain_ = true;
        return;
    }
    rebuilding_ = true;
    do {
        rebuildAgain_ = false;
        layoutOnce();
    } while (rebuildAgain_);
    rebuilding_ = false;
}

void TaskStripView::layoutOnce() {
    ++rebuildCount_;

    const Groups g = groups();
    const QString barHeight = settings::readString(keys::appearanceBarHeight);
    const double x = TaskStripLayout::iconSize(barHeight);
    const bool iconsOnly = settings::readBool(keys::taskStripAlwaysIconsOnly);
    const auto buttonSettings = TaskButtonSettings::read();

    long long widePinned = 0;
    for (const auto& item : g.pinned) widePinned += TaskStripLayout::isWide(item.badge) ? 1 : 0;
    const double pinnedWidth = TaskStripLayout::naturalWidth(static_cast<long long>(g.pinned.size()), widePinned, x);
    const double gap = !g.pinned.empty() && !g.running.empty() ? TaskStripLayout::dividerGap : 0;
    fit_ = TaskStripLayout::fit(wideFlags(g.running), iconsOnly, double(width()) - pinnedWidth - gap, x);
    const std::size_t shown = fit_.overflow ? std::size_t(std::max(0, fit_.visibleCount)) : g.running.size();

    // Apply the new descriptions; buttons whose identity left are retired.
    QSet<QString> keep;
    QStringList pinnedOrder, runningOrder;
    for (const auto& item : g.pinned) {
        buttonFor(item)->setContent(item, 0, false, x, buttonSettings);
        keep.insert(item.id);
        pinnedOrder.push_back(item.id);
    }
    for (std::size_t i = 0; i < shown && i < g.running.size(); ++i) {
        const auto& item = g.running[i];
        buttonFor(item)->setContent(item, fit_.labelWidth, fit_.showLabels, x, buttonSettings);
        keep.insert(item.id);
        runningOrder.push_back(item.id);
    }
    for (auto it = buttons_.begin(); it != buttons_.end();) {
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        TaskButtonView* gone = it.value();
        it = buttons_.erase(it);
        gone->retire();
        gone->hide();
        gone->deleteLater();
    }
    pinnedOrder_ = pinnedOrder;
    runningOrder_ = runningOrder;

    std::vector<TaskButtonItem> hidden(g.running.begin() + std::ptrdiff_t(std::min(shown, g.running.size())),
                                       g.running.end());

    // Place the row: padding, pinned, divider, shown running, overflow.
    const int h = height();
    double pos = TaskStripLayout::rowPadding;
    laidOutX_.clear();
    auto place = [&](QWidget* w, int width) {
        const QRect target(int(pos), 0, width, h);
        if (auto* b = qobject_cast<TaskButtonView*>(w)) laidOutX_.insert(buttons_.key(b), target.x());
        if (w->geometry() != target) w->setGeometry(target);
        if (!w->isVisibleTo(this)) w->show();
        pos += width + TaskStripLayout::spacing;
    };
    for (const auto& id : pinnedOrder_) place(buttons_.value(id), buttons_.value(id)->naturalWidth());
    if (!g.pinned.empty() && !g.running.empty()) {
        const QRect target(int(pos), int((h - TaskStripLayout::dividerHeight) / 2), int(TaskStripLayout::dividerWidth),
                           int(TaskStripLayout::dividerHeight));
        if (divider_->geometry() != target) divider_->setGeometry(target);
        divider_->show();
        pos += TaskStripLayout::dividerWidth + TaskStripLayout::spacing;
    } else {
        divider_->hide();
    }
    for (const auto& id : runningOrder_) place(buttons_.value(id), buttons_.value(id)->naturalWidth());
    if (!hidden.empty()) {
        overflow_->setContent(hidden, x, TaskStripLayout::overflowButtonHeight(barHeight));
        place(overflow_, overflow_->naturalWidth());
    } else {
        overflow_->hide();
    }
}

void TaskStripView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    rebuild();
}

std::vector<TaskButtonView*> TaskStripView::pinnedButtons() const {
    std::vector<TaskButtonView*> out;
    for (const auto& id : pinnedOrder_) out.push_back(buttons_.value(id));
    return out;
}

std::vector<TaskButtonView*> TaskStripView::runningButtons() const {
    std::vector<TaskButtonView*> out;
    for (const auto& id : runningOrder_) out.push_back(buttons_.value(id));
    return out;
}

void TaskStripView::slideFrom(const QHash<QString, int>& before) {
    QHash<QString, int> offsets;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (laidOutX_.contains(it.key()) && laidOutX_.value(it.key()) != it.value())
            offsets.insert(it.key(), it.value() - laidOutX_.value(it.key()));
    if (dropSpring_) dropSpring_->stop();
    if (offsets.isEmpty()) return;
    QPointer<TaskStripView> self(this);
    dropSpring_ = motion::ClockAnimation::spring({0.18, 0.85}, [self, offsets](double v) {
        if (!self) return;
        for (auto it = offsets.begin(); it != offsets.end(); ++it) {
            TaskButtonView* b = self->buttons_.value(it.key(), nullptr);
            if (b && self->laidOutX_.contains(it.key()))
                b->move(self->laidOutX_.value(it.key()) + int(std::lround(it.value() * (1.0 - v))), b->y());
        }
    });
}

void TaskStripView::reorder(const QString& dragged, const QString& target) {
    if (dragged == target || !pinStore_) return;
    const QHash<QString, int> before = laidOutX_;
    struct Slide {
        TaskStripView* strip;
        const QHash<QString, int>& before;
        ~Slide() { strip->slideFrom(before); }
    } slide{this, before};
    const QStringList& pins = pinStore_->pinnedBundleIDs();
    const bool draggedPinned = pins.contains(dragged);
    if (draggedPinned != pins.contains(target)) return;  // never across the divider
    if (draggedPinned) {
        const qsizetype i = pins.indexOf(target);
        if (i < 0) return;
        pinStore_->movePin(dragged, i);
        return;
    }
    if (auto order = TaskStripLayout::reorderedRunning(currentRunningOrder(), dragged, target))
        persistActiveOrder(*order);
}

QStringList TaskStripView::currentRunningOrder() const {
    QStringList order;
    QSet<QString> seen;
    for (const auto& item : groups().running) {
        if (!item.bundleID || seen.contains(*item.bundleID)) continue;
        seen.insert(*item.bundleID);
        order.push_back(*item.bundleID);
    }
    return order;
}

void TaskStripView::persistActiveOrder(const QStringList& order) {
    if (!pinStore_ || order == pinStore_->activeOrder()) return;
    pinStore_->persistActiveOrder(order);
}
