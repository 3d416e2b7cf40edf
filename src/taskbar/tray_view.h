#pragma once
// The right-hand group of every bar: the battery state and a clock with time
// and date. Redraws when the battery reading or one of its three settings
// changes, and at the start of every minute.
#include <QDateTime>
#include <QPointer>
#include <QTimeZone>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Timer;
}

class TrayView : public QWidget {
    Q_OBJECT
public:
    struct Battery {
        int percent = 0;
        bool isCharging = false;
        bool isPluggedIn = false;
        friend bool operator==(const Battery&, const Battery&) = default;
    };

    // What is drawn and where, in widget coordinates.
    struct Layout {
        QString levelSymbol;  // empty: no battery group
        QString powerSymbol;  // empty: neither charging nor plugged in
        QString percentText;
        QString timeText;  // empty: time hidden
        QString dateText;  // empty: date hidden
        double dateFontSize = 0;
        bool dateIsSecondary = false;
        QRectF levelRect, powerRect, percentRect, timeRect, dateRect;
        QSizeF idealSize;
    };

    explicit TrayView(QWidget* parent = nullptr);
    ~TrayView() override;

    // Follows the shared power-source monitor when there is one.
    void followPowerSourceMonitor();
    void setBattery(std::optional<Battery> reading);
    std::optional<Battery> battery() const { return battery_; }

    // The wall clock and the zone the clock shows; tests pin both. Until a
    // zone is pinned the clock shows the system's, re-read every minute.
    void setWallClock(std::function<QDateTime()> now);
    void setTimeZone(const QTimeZone& zone);

    // The timeline entry the clock shows (the start of the current minute).
    QDateTime currentEntry() const { return entry_; }
    int minuteTicks() const { return ticks_; }

    Layout layout() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // What the tray shows changed; its ideal size may differ.
    void contentChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void settingsChanged(const QString& key);
    void scheduleNextMinute();
    void minuteTick();
    bool showTime() const;
    bool showDate() const;
    bool showBattery() const;

    std::optional<Battery> battery_;
    std::function<QDateTime()> now_;
    QTimeZone zone_;
    bool followsSystemZone_ = true;
    QDateTime entry_;
    int ticks_ = 0;
    std::shared_ptr<platform::Timer> minuteTimer_;
};
