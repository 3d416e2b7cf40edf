#pragma once
// Texts of the tray: the clock's time and date in the region's own format,
// the battery's level symbol and percentage, and the minute-aligned schedule
// on which the clock redraws.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <vector>

class ClockText {
public:
    // Formats with the region's best pattern for the skeleton "jmm" (hour in
    // the region's 12- or 24-hour cycle, minutes).
    static QString time(const QDateTime& date, const QLocale& locale, const QTimeZone& zone);
    // Formats with the region's best pattern for the skeleton "EEEMMMd".
    static QString date(const QDateTime& date, const QLocale& locale, const QTimeZone& zone);
    // Best localised pattern for a skeleton; exposed for tests.
    static QString pattern(const QString& skeleton, const QLocale& locale);

private:
    static QString bestPattern(const QString& skeleton, const QLocale& locale);
};

// Entries at the start of every minute.
class MinuteAlignedSchedule {
public:
    // The start of the minute (in `zone`) that contains `date`.
    static QDateTime startOfMinute(const QDateTime& date, const QTimeZone& zone);
    // The first `count` entries from `date`: the start of its minute, then
    // every 60 s after it.
    static std::vector<QDateTime> entries(const QDateTime& from, int count, const QTimeZone& zone);
    // Seconds from `now` to the start of the next minute; always > 0.
    static double secondsToNextMinute(const QDateTime& now, const QTimeZone& zone);
};

class BatteryText {
public:
    // "battery.0" ... "battery.100" by charge.
    static QString levelSymbol(int percent);
    // "bolt.fill" while charging, "powerplug.fill" on mains power, else empty.
    static QString powerSymbol(bool isCharging, bool isPluggedIn);
    // The charge in the locale's percent style ("80%", "80 %", ...).
    static QString percent(int percent, const QLocale& locale);
};
