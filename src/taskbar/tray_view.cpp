#include "taskbar/tray_view.h"

#include <QFontMetricsF>
#include <QPainter>

#include "core/settings_model.h"
#include "platform/platform.h"
#include "services/power_source_monitor.h"
#include "taskbar/bar_style.h"
#include "taskbar/clock_text.h"
#include "taskbar/symbol_painter.h"

namespace {

const QString kShowTime = QStringLiteral("trayShowTime");
const QString kShowDate = QStringLiteral("trayShowDate");
const QString kShowBattery = QStringLiteral("trayShowBattery");

bool readFlag(const QString& key) { return platform::prefs::userDefaults().boolValue(key).value_or(true); }

constexpr double kGroupSpacing = 10;
constexpr double kBatterySpacing = 3;
constexpr double kLevelFont = 13;
constexpr double kPowerFont = 9;
constexpr double kPercentFont = 10;
constexpr double kTimeFont = 12;

QSizeF textSize(const QString& text, const QFont& font) {
    QFontMetricsF m(font);
    return QSizeF(std::ceil(m.horizontalAdvance(text)), std::ceil(m.height()));
}

}  // namespace

TrayView::TrayView(QWidget* parent) : QWidget(parent), zone_(QTimeZone::systemTimeZone()) {
    setAttribute(Qt::WA_TranslucentBackground);
    now_ = [] { return QDateTime::currentDateTime(); };
    entry_ = MinuteAlignedSchedule::startOfMinute(now_(), zone_);
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, &TrayView::settingsChanged);
    scheduleNextMinute();
}

TrayView::~TrayView() {
    if (minuteTimer_) minuteTimer_->invalidate();
}

void TrayView::followPowerSourceMonitor() {
    auto& monitor = services::PowerSourceMonitor::shared();
    auto apply = [this, &monitor] {
        if (const auto& r = monitor.reading()) setBattery(Battery{r->percent, r->isCharging, r->isPluggedIn});
        else setBattery(std::nullopt);
    };
    connect(&monitor, &services::PowerSourceMonitor::readingChanged, this, apply);
    apply();
}

void TrayView::setBattery(std::optional<Battery> reading) {
    if (battery_ == reading) return;
    battery_ = reading;
    updateGeometry();
    update();
    emit contentChanged();
}

void TrayView::setWallClock(std::function<QDateTime()> now) {
    now_ = std::move(now);
    entry_ = MinuteAlignedSchedule::startOfMinute(now_(), zone_);
    scheduleNextMinute();
    updateGeometry();
    update();
    emit contentChanged();
}

void TrayView::setTimeZone(const QTimeZone& zone) {
    followsSystemZone_ = false;
    zone_ = zone;
    entry_ = MinuteAlignedSchedule::startOfMinute(now_(), zone_);
    scheduleNextMinute();
    updateGeometry();
    update();
    emit contentChanged();
}

void TrayView::settingsChanged(const QString& key) {
    // A language switch redraws the bar: its texts are formatted and measured again.
    if (key != kShowTime && key != kShowDate && key != kShowBattery && key != settings::keys::appLanguage) return;
    updateGeometry();
    update();
    emit contentChanged();
}

// Each tick measures the wait to the next minute afresh from the wall clock,
// so a late tick (a busy main thread, a sleeping machine) never makes the
// clock drift behind the minute boundary.
void TrayView::scheduleNextMinute() {
    if (minuteTimer_) minuteTimer_->invalidate();
    const double wait = MinuteAlignedSchedule::secondsToNextMinute(now_(), zone_);
    QPointer<TrayView> self(this);
    minuteTimer_ = platform::Timer::scheduled(wait, false, [self](platform::Timer&) {
        if (self) self->minuteTick();
    });
}

void TrayView::minuteTick() {
    ++ticks_;
    // The system's zone is read afresh: the user may have moved to another
    // zone since the bar was built.
    if (followsSystemZone_) zone_ = QTimeZone::systemTimeZone();
    entry_ = MinuteAlignedSchedule::startOfMinute(now_(), zone_);
    scheduleNextMinute();
    updateGeometry();
    update();
    emit contentChanged();
}

bool TrayView::showTime() const { return readFlag(kShowTime); }
bool TrayView::showDate() const { return readFlag(kShowDate); }
bool TrayView::showBattery() const { return readFlag(kShowBattery); }

TrayView::Layout TrayView::layout() const {
    Layout l;
    const QLocale locale;  // the region's locale, not the interface language
    const bool time = showTime();
    const bool date = showDate();
    const double height = this->height() > 0 ? this->height() : 44;

    // Measure the two groups first, then place them centred vertically.
    QSizeF batterySize;
    QSizeF levelSize, powerSize, percentSize;
    if (showBattery() && battery_) {
        l.levelSymbol = BatteryText::levelSymbol(battery_->percent);
        l.powerSymbol = BatteryText::powerSymbol(battery_->isCharging, battery_->isPluggedIn);
        l.percentText = BatteryText::percent(battery_->percent, locale);
        levelSize = symbols::SymbolPainter::sizeForFontSize(l.levelSymbol, kLevelFont);
        if (!l.powerSymbol.isEmpty()) powerSize = symbols::SymbolPainter::sizeForFontSize(l.powerSymbol, kPowerFont);
        percentSize = textSize(l.percentText, bar_style::font(kPercentFont));
        double w = levelSize.width() + kBatterySpacing + percentSize.width();
        if (!l.powerSymbol.isEmpty()) w += powerSize.width() + kBatterySpacing;
        batterySize = QSizeF(w, std::max({levelSize.height(), powerSize.height(), percentSize.height()}));
    }
    QSizeF clockSize, timeSize, dateSize;
    if (time || date) {
        if (time) {
            l.timeText = ClockText::time(entry_, locale, zone_);
            timeSize = textSize(l.timeText, bar_style::font(kTimeFont, QFont::Medium));
        }
        if (date) {
            l.dateText = ClockText::date(entry_, locale, zone_);
            l.dateFontSize = time ? 9 : 11;
            l.dateIsSecondary = time;
            dateSize = textSize(l.dateText, bar_style::font(l.dateFontSize));
        }
        clockSize = QSizeF(std::max(timeSize.width(), dateSize.width()), timeSize.height() + dateSize.height());
    }

    double x = 0;
    if (!batterySize.isEmpty()) {
        auto centred = [&](QSizeF s) { return QRectF(x, (height - s.height()) / 2, s.width(), s.height()); };
        l.levelRect = centred(levelSize);
        x += levelSize.width() + kBatterySpacing;
        if (!l.powerSymbol.isEmpty()) {
            l.powerRect = centred(powerSize);
            x += powerSize.width() + kBatterySpacing;
        }
        l.percentRect = centred(percentSize);
        x += percentSize.width();
    }
    if (!clockSize.isEmpty()) {
        if (x > 0) x += kGroupSpacing;
        double y = (height - clockSize.height()) / 2;
        const double right = x + clockSize.width();
        if (time) {
            l.timeRect = QRectF(right - timeSize.width(), y, timeSize.width(), timeSize.height());
            y += timeSize.height();
        }
        if (date) l.dateRect = QRectF(right - dateSize.width(), y, dateSize.width(), dateSize.height());
        x = right;
    }
    l.idealSize = QSizeF(x, std::max(batterySize.height(), clockSize.height()));
    return l;
}

QSize TrayView::sizeHint() const {
    const Layout l = layout();
    return QSize(int(std::ceil(l.idealSize.width())), int(std::ceil(l.idealSize.height())));
}

void TrayView::paintEvent(QPaintEvent*) {
    const Layout l = layout();
    const bar_style::Palette pal = bar_style::currentPalette();
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!l.levelSymbol.isEmpty()) {
        symbols::SymbolPainter::paint(p, l.levelSymbol, l.levelRect, pal.primary);
        if (!l.powerSymbol.isEmpty()) symbols::SymbolPainter::paint(p, l.powerSymbol, l.powerRect, pal.primary);
        p.setFont(bar_style::font(kPercentFont));
        p.setPen(pal.primary);
        p.drawText(l.percentRect, Qt::AlignCenter, l.percentText);
    }
    if (!l.timeText.isEmpty()) {
        p.setFont(bar_style::font(kTimeFont, QFont::Medium));
        p.setPen(pal.primary);
        p.drawText(l.timeRect, Qt::AlignRight | Qt::AlignVCenter, l.timeText);
    }
    if (!l.dateText.isEmpty()) {
        p.setFont(bar_style::font(l.dateFontSize));
        p.setPen(l.dateIsSecondary ? pal.secondary : pal.primary);
        p.drawText(l.dateRect, Qt::AlignRight | Qt::AlignVCenter, l.dateText);
    }
}
