#include "taskbar/overflow_button.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPointer>
#include <cmath>

#include "core/localization.h"
#include "platform/platform.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_style.h"
#include "taskbar/task_button.h"
#include "windows/pin_store.h"
#include "windows/window_service.h"

namespace {

QFont chevronFont() { return bar_style::font(15, QFont::DemiBold); }
QFont badgeFont() { return bar_style::font(9, QFont::DemiBold); }
const QString chevron = QStringLiteral("\u00BB");

}  // namespace

OverflowButtonView::OverflowButtonView(std::shared_ptr<WindowService> service, PinStore* pinStore, QWidget* parent)
    : QWidget(parent), service_(std::move(service)), pinStore_(pinStore) {
    setObjectName(QStringLiteral("OverflowButton"));
    setAttribute(Qt::WA_TranslucentBackground);
    catcher_ = new CatcherView(this);
    QPointer<OverflowButtonView> self(this);
    MouseCatcher bridge;
    bridge.onLeftClick = [] {};
    bridge.leftMenu = [self] { return self ? self->menuEntries() : std::vector<TaskMenuAction>{}; };
    bridge.menu = [] { return std::vector<TaskMenuAction>{}; };
    catcher_->apply(bridge);
    retranslate();
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& key) {
        if (key == settings::keys::appLanguage) retranslate();
    });
}

void OverflowButtonView::retranslate() {
    const QString tip = tr_("More apps");
    setToolTip(tip);
    catcher_->setToolTip(tip);
}

bool OverflowButtonView::setContent(const std::vector<TaskButtonItem>& items, double iconSize, double buttonHeight) {
    if (hasContent_ && items == items_ && iconSize == iconSize_ && buttonHeight == buttonHeight_) return false;
    // The face shows only the count: a change of the items' content alone
    // needs no repaint, the menu is built from them at the click.
    const bool faceChanged =
        !hasContent_ || items.size() != items_.size() || iconSize != iconSize_ || buttonHeight != buttonHeight_;
    hasContent_ = true;
    items_ = items;
    iconSize_ = iconSize;
    buttonHeight_ = buttonHeight;
    if (!faceChanged) return false;
    const int width = computeNaturalWidth();
    const bool widthChanged = width != naturalWidth_;
    naturalWidth_ = width;
    catcher_->setGeometry(buttonRect().toAlignedRect());
    update();
    return widthChanged;
}

QRectF OverflowButtonView::buttonRect() const {
    return QRectF(0, (height() - buttonHeight_) / 2.0, naturalWidth_, buttonHeight_);
}

int OverflowButtonView::computeNaturalWidth() const {
    double w = padding * 2 + iconSize_;
    if (!items_.empty()) {
        const QString count = currentLocale().toString(qlonglong(items_.size()));
        w += spacing + std::ceil(QFontMetricsF(badgeFont()).horizontalAdvance(count)) + 8;
    }
    return int(std::ceil(w));
}

void OverflowButtonView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    catcher_->setGeometry(buttonRect().toAlignedRect());
}

QString OverflowButtonView::entryName(const TaskButtonItem& item) {
    if (!item.label.isEmpty()) return item.label;
    if (item.bundleID) return AppIconProvider::shared().displayName(*item.bundleID);
    return QString();
}

std::vector<TaskMenuAction> OverflowButtonView::menuEntries() const {
    std::vector<TaskMenuAction> entries;
    entries.reserve(items_.size());
    for (const auto& item : items_) {
        const QString name = entryName(item);
        const QString title =
            item.badge >= 2 ? name + QStringLiteral(" (") + QString::number(item.badge) + QStringLiteral(")") : name;
        auto service = service_;
        QPointer<PinStore> pins(pinStore_);
        entries.push_back(TaskMenuAction{title, false, [item, name, service, pins] {
                                             itemAction(item, name, service, pins.data());
                                         }});
    }
    return entries;
}

void OverflowButtonView::itemAction(const TaskButtonItem& item, const QString& name,
                                    const std::shared_ptr<WindowService>& service, PinStore* pinStore) {
    if (item.isRunning) {
        // Always brings it forward, never hides: the user picked it from a list.
        if (service && service->isRunning()) service->activateApp(item);
        return;
    }
    if (!item.bundleID) return;
    TaskButtonView::openNotRunning(*item.bundleID, name, service, pinStore);
}

void OverflowButtonView::paintEvent(QPaintEvent*) {
    ++paintCount_;
    if (!hasContent_) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = buttonRect();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 0));  // white at 0.001 rounds to nothing in 8 bits
    p.drawRoundedRect(r, 6, 6);

    const QRectF square(r.left() + padding, r.center().y() - iconSize_ / 2.0, iconSize_, iconSize_);
    // In the bar's text colour, as the task buttons' labels and counts: white
    // would vanish on the light bar.
    const QColor text = bar_style::currentPalette().primary;
    p.setFont(chevronFont());
    p.setPen(text);
    p.drawText(square, Qt::AlignCenter, chevron);

    if (items_.empty()) return;
    const QFont font = badgeFont();
    const QFontMetricsF fm(font);
    const QString count = currentLocale().toString(qlonglong(items_.size()));
    const double w = std::ceil(fm.horizontalAdvance(count)) + 8;
    const double h = fm.height() + 2;
    const QRectF capsule(square.right() + spacing, r.center().y() - h / 2.0, w, h);
    QColor fill = text;
    fill.setAlphaF(0.16f * text.alphaF());
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(capsule, h / 2.0, h / 2.0);
    p.setFont(font);
    p.setPen(text);
    p.drawText(capsule, Qt::AlignCenter, count);
}
