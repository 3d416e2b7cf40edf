#include "taskbar/task_button.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <cmath>

#include "core/localization.h"
#include "core/settings_model.h"
#include "platform/alerts.h"
#include "platform/dispatch.h"
#include "platform/workspace.h"
#include "core/selection_color.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_style.h"
#include "taskbar/bar_view.h"
#include "taskbar/label_fitting.h"
#include "taskbar/symbol_painter.h"
#include "windows/pin_store.h"
#include "windows/window_service.h"

namespace keys = settings::keys;

namespace {

QFont labelFont(const QString& barHeightRaw) {
    return bar_style::font(TaskStripLayout::labelFontSize(barHeightRaw));
}

QFont badgeFont() { return bar_style::font(9, QFont::DemiBold); }

QColor withOpacity(QColor c, double opacity) {
    c.setAlphaF(float(c.alphaF() * opacity));
    return c;
}

QColor systemRed(platform::Appearance scheme) {
    return scheme == platform::Appearance::darkAqua ? QColor(255, 69, 58) : QColor(255, 59, 48);
}

}  // namespace

TaskButtonSettings TaskButtonSettings::read() {
    return TaskButtonSettings{
        settings::readBool(keys::clickActiveHides),
        settings::readBool(keys::showUnreadBadge),
        settings::readBool(keys::showRunningIndicator),
        settings::readString(keys::appearanceBarHeight),
        settings::readString(keys::appearanceSelectionColor),
    };
}

TaskButtonView::TaskButtonView(std::shared_ptr<WindowService> service, PinStore* pinStore,
                               MouseCatcher::Reorder onReorder, QWidget* parent)
    : QWidget(parent), service_(std::move(service)), pinStore_(pinStore), onReorder_(std::move(onReorder)) {
    setObjectName(QStringLiteral("TaskButton"));
    setAttribute(Qt::WA_TranslucentBackground);
    catcher_ = new CatcherView(this);
}

TaskButtonView::~TaskButtonView() { retire(); }

void TaskButtonView::retire() {
    if (retired_) return;
    retired_ = true;
    const bool wasDragging = catcher_->isDragging();
    catcher_->apply(MouseCatcher{});  // no callback reaches a button that is going away
    catcher_->cancelPress();
    if (wasDragging && pinStore_ && item_.bundleID && pinStore_->draggingBundleID() == item_.bundleID)
        pinStore_->clearDragging();
}

double TaskButtonView::buttonHeight() const { return TaskStripLayout::buttonHeight(settings_.barHeightRaw); }

QRectF TaskButtonView::buttonRect() const {
    const double h = buttonHeight();
    return QRectF(0, (height() - h) / 2.0, naturalWidth_, h);
}

QString TaskButtonView::labelText() const { return labelText_; }

bool TaskButtonView::setContent(const TaskButtonItem& item, double labelCap, bool showLabel, double iconSize,
                                const TaskButtonSettings& settings) {
    if (hasContent_ && item == item_ && labelCap == labelCap_ && showLabel == showLabel_ && iconSize == iconSize_ &&
        settings == settings_)
        return false;
    const bool iconSourceChanged = !hasContent_ || item.isRunning != item_.isRunning || item.pid != item_.pid ||
                                   item.bundleID != item_.bundleID;
    const bool bundleChanged = !hasContent_ || item.bundleID != item_.bundleID;
    hasContent_ = true;
    item_ = item;
    labelCap_ = labelCap;
    showLabel_ = showLabel;
    iconSize_ = iconSize;
    settings_ = settings;

    if (!item_.label.isEmpty())
        labelText_ = item_.label;
    else if (item_.bundleID)
        labelText_ = AppIconProvider::shared().displayName(*item_.bundleID);
    else
        labelText_.clear();
    setToolTip(labelText_);
    catcher_->setToolTip(labelText_);
    if (iconSourceChanged) reloadIcon();
    if (bundleChanged) {
        // Another application now: a drag of the old one ends with it.
        if (catcher_->isDragging()) catcher_->cancelPress();
    }
    applyBridge();

    const bool draggedNow = pinStore_ && pinStore_->draggingBundleID() && item_.bundleID &&
                            *pinStore_->draggingBundleID() == *item_.bundleID;
    dragged_ = draggedNow;

    const int width = computeNaturalWidth();
    const bool widthChanged = width != naturalWidth_;
    naturalWidth_ = width;
    catcher_->setGeometry(buttonRect().toAlignedRect());
    update();
    return widthChanged;
}

void TaskButtonView::refreshDragState() {
    const bool draggedNow = pinStore_ && pinStore_->draggingBundleID() && item_.bundleID &&
                            *pinStore_->draggingBundleID() == *item_.bundleID;
    if (draggedNow == dragged_) return;
    dragged_ = draggedNow;
    update();
}

void TaskButtonView::reloadIcon() {
    if (item_.isRunning)
        icon_ = AppIconProvider::shared().icon(item_.pid);
    else if (item_.bundleID)
        icon_ = AppIconProvider::shared().iconForBundleID(*item_.bundleID);
    else
        icon_.reset();
}

int TaskButtonView::computeNaturalWidth() const {
    double w = (showLabel_ ? 8 : 5) * 2 + iconSize_;
    if (showLabel_) {
        const double text = QFontMetricsF(labelFont(settings_.barHeightRaw)).horizontalAdvance(labelText_);
        w += stackSpacing + std::min(std::ceil(text), std::max(0.0, labelCap_));
    }
    if (item_.badge >= 2) {
        const QString count = currentLocale().toString(qlonglong(item_.badge));
        w += stackSpacing + std::ceil(QFontMetricsF(badgeFont()).horizontalAdvance(count)) + 8;
    }
    return int(std::ceil(w));
}

void TaskButtonView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    catcher_->setGeometry(buttonRect().toAlignedRect());
}

void TaskButtonView::applyBridge() {
    QPointer<TaskButtonView> self(this);
    MouseCatcher bridge;
    bridge.onLeftClick = [self] {
        if (self) self->clickAction();
    };
    bridge.leftMenu = [self] { return self ? self->windowListEntries() : std::vector<TaskMenuAction>{}; };
    bridge.menu = [self] { return self ? self->contextMenuEntries() : std::vector<TaskMenuAction>{}; };
    bridge.dragBundleID = item_.bundleID;
    bridge.onReorder = onReorder_;
    QPointer<PinStore> pins(pinStore_);
    const auto bundleID = item_.bundleID;
    bridge.onDragBegan = [pins, bundleID] {
        if (pins) pins->setDraggingBundleID(bundleID);
    };
    bridge.onDragEnded = [pins] {
        if (pins) pins->setDraggingBundleID(std::nullopt);
    };
    catcher_->apply(bridge);
}

void TaskButtonView::clickAction() {
    if (item_.isRunning) {
        if (service_) service_->handleClick(item_, settings::readBool(keys::clickActiveHides));
        return;
    }
    if (!item_.bundleID) return;
    openNotRunning(*item_.bundleID, labelText_, service_, pinStore_);
}

void TaskButtonView::openNotRunning(const QString& bundleID, const QString& displayName,
                                    const std::shared_ptr<WindowService>& service, PinStore* pinStore) {
    if (service && service->isRunning()) {
        if (const auto url = platform::workspace().urlForApplication(bundleID)) {
            platform::workspace().openApplication(*url, [](platform::OpenResult result) {
                if (!result.ok) platform::MainQueue::async([] { platform::alerts().beep(); });
            });
            return;
        }
    }
    if (pinStore) BarView::offerUnpinAfterOpenFailure(bundleID, displayName, *pinStore);
}

std::vector<TaskMenuAction> TaskButtonView::windowListEntries() const {
    if (item_.kind.isWindow() || !item_.isRunning || item_.badge < 2 || !service_) return {};
    return service_->windowMenuItems(item_.pid);
}

std::vector<TaskMenuAction> TaskButtonView::contextMenuEntries() const {
    std::vector<TaskMenuAction> entries;
    if (item_.isRunning && service_) entries = service_->menuItems(item_.kind);
    if (item_.bundleID && pinStore_) {
        const QString bundleID = *item_.bundleID;
        const bool pinned = pinStore_->pinnedBundleIDs().contains(bundleID);
        QPointer<PinStore> pins(pinStore_);
        entries.push_back(TaskMenuAction{pinned ? tr_("Unpin") : tr_("Pin to taskbar"), !entries.empty(),
                                         [pins, bundleID] {
                                             if (pins) pins->togglePin(bundleID);
                                         }});
    }
    return entries;
}

void TaskButtonView::paintEvent(QPaintEvent*) {
    ++paintCount_;
    if (!hasContent_) return;
    // The icon is looked up as the button is drawn: one that was missing
    // may have arrived since (the provider keeps only found icons).
    if (!icon_) reloadIcon();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (item_.isDimmed) p.setOpacity(dimmedOpacity);

    const auto scheme = bar_style::currentAppearance();
    const auto palette = bar_style::palette(scheme);
    const auto selection = selection_color::color(
        fromRawValue<SelectionColor>(settings_.selectionColorRaw).value_or(SelectionColor::blue), scheme);
    const auto style =
        TaskButtonStyle::colors(TaskButtonStyle::state(dragged_, item_.isActive), selection, palette.primary);

    const QRectF r = buttonRect();
    p.setPen(Qt::NoPen);
    p.setBrush(style.fill);
    p.drawRoundedRect(r, cornerRadius, cornerRadius);

    // Icon, vertically centred, after the leading padding.
    const double pad = showLabel_ ? 8 : 5;
    const QRectF iconRect(r.left() + pad, r.center().y() - iconSize_ / 2.0, iconSize_, iconSize_);
    if (icon_ && !icon_->isNull())
        p.drawImage(iconRect, *icon_);
    else
        symbols::SymbolPainter::paint(p, QStringLiteral("app.dashed"), iconRect, palette.secondary);

    if (item_.hasUnread && settings_.showUnreadBadge) {
        const QPointF c(iconRect.right() - 3.5 + 2, iconRect.top() + 3.5 - 2);
        p.setBrush(palette.windowBackground);
        p.drawEllipse(c, 3.5, 3.5);
        p.setBrush(systemRed(scheme));
        p.drawEllipse(c, 2.5, 2.5);
    }
    if (item_.isPinned && item_.isRunning && settings_.showRunningIndicator) {
        const double offset = TaskStripLayout::runningDotOffset(
            TaskStripLayout::runningDotReferenceHeight(settings_.barHeightRaw), iconSize_);
        const QPointF c(iconRect.center().x(), iconRect.bottom() - 1.75 + offset);
        p.setBrush(palette.secondary);
        p.drawEllipse(c, 1.75, 1.75);
    }

    double x = iconRect.right() + stackSpacing;
    if (showLabel_) {
        const QFont font = labelFont(settings_.barHeightRaw);
        const QFontMetricsF fm(font);
        const double width = std::min(std::ceil(fm.horizontalAdvance(labelText_)), std::max(0.0, labelCap_));
        p.setFont(font);
        p.setPen(item_.isDimmed ? palette.secondary : palette.primary);
        const QString shown = fm.elidedText(labelText_, Qt::ElideRight, width);
        p.drawText(QRectF(x, r.top(), width, r.height()), Qt::AlignLeft | Qt::AlignVCenter, shown);
        x += width + stackSpacing;
    }
    if (item_.badge >= 2) {
        const QFont font = badgeFont();
        const QFontMetricsF fm(font);
        const QString count = currentLocale().toString(qlonglong(item_.badge));
        const double w = std::ceil(fm.horizontalAdvance(count)) + 8;
        const double h = fm.height() + 2;
        const QRectF capsule(x, r.center().y() - h / 2.0, w, h);
        p.setPen(Qt::NoPen);
        p.setBrush(withOpacity(palette.primary, 0.16));
        p.drawRoundedRect(capsule, h / 2.0, h / 2.0);
        p.setFont(font);
        p.setPen(palette.primary);
        p.drawText(capsule, Qt::AlignCenter, count);
    }

    // The outline lies over the content.
    if (style.outline.alpha() > 0) {
        const double half = style.outlineWidth / 2.0;
        p.setPen(QPen(style.outline, style.outlineWidth));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(half, half, -half, -half), cornerRadius, cornerRadius);
    }
}
