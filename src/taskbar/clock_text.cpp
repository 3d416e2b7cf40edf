#include "taskbar/clock_text.h"

#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cmath>
#include <map>
#include <mutex>
#include <memory>

namespace {

icu::UnicodeString toIcu(const QString& s) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(s.utf16()), int32_t(s.size()));
}

QString fromIcu(const icu::UnicodeString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

icu::Locale icuLocale(const QLocale& locale) {
    // The BCP 47 name keeps the script ("zh-Hans"), which ICU understands.
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale loc = icu::Locale::forLanguageTag(locale.bcp47Name().toStdString(), status);
    if (U_FAILURE(status)) return icu::Locale(locale.name().toStdString().c_str());
    return loc;
}

QString format(const QDateTime& date, const QLocale& locale, const QTimeZone& zone, const QString& skeleton) {
    // Building a formatter loads the locale's and the zone's data, which costs
    // far more than a format; the clock asks every minute and every bar at
    // start, so the last formatter of each skeleton is kept until the locale
    // or the time zone it was built for changes. A formatter is not safe to
    // share between threads: the lock is held while it formats.
    struct Kept {
        QString key;
        std::unique_ptr<icu::SimpleDateFormat> formatter;
    };
    static std::mutex mutex;
    static std::map<QString, Kept> kept;
    const QByteArray zoneID = zone.isValid() ? zone.id() : QByteArray("UTC");
    const QString key = locale.bcp47Name() + QLatin1Char('|') + locale.name() + QLatin1Char('|') +
                        QString::fromLatin1(zoneID);
    std::lock_guard lock(mutex);
    Kept& slot = kept[skeleton];
    if (!slot.formatter || slot.key != key) {
        UErrorCode status = U_ZERO_ERROR;
        auto formatter = std::make_unique<icu::SimpleDateFormat>(toIcu(ClockText::pattern(skeleton, locale)),
                                                                 icuLocale(locale), status);
        if (U_FAILURE(status)) {
            slot = Kept{};
            return date.toTimeZone(zone).toString(Qt::ISODate);
        }
        formatter->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneID.constData())));
        slot = Kept{key, std::move(formatter)};
    }
    icu::UnicodeString out;
    slot.formatter->format(UDate(date.toMSecsSinceEpoch()), out);
    return fromIcu(out);
}

}  // namespace

QString ClockText::pattern(const QString& skeleton, const QLocale& locale) {
    // Building a pattern generator loads the locale's data; the best pattern
    // for a skeleton never changes for a locale, so it is kept.
    static std::mutex mutex;
    static std::map<std::pair<QString, QString>, QString> cache;
    const auto key = std::make_pair(locale.bcp47Name() + QLatin1Char('|') + locale.name(), skeleton);
    {
        std::lock_guard lock(mutex);
        if (auto it = cache.find(key); it != cache.end()) return it->second;
    }
    const QString best = bestPattern(skeleton, locale);
    std::lock_guard lock(mutex);
    cache[key] = best;
    return best;
}

QString ClockText::bestPattern(const QString& skeleton, const QLocale& locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(icuLocale(locale), status));
    if (U_FAILURE(status) || !generator) return skeleton;
    icu::UnicodeString best = generator->getBestPattern(toIcu(skeleton), status);
    if (U_FAILURE(status)) return skeleton;
    return fromIcu(best);
}

QString ClockText::time(const QDateTime& date, const QLocale& locale, const QTimeZone& zone) {
    return format(date, locale, zone, QStringLiteral("jmm"));
}

QString ClockText::date(const QDateTime& date, const QLocale& locale, const QTimeZone& zone) {
    return format(date, locale, zone, QStringLiteral("EEEMMMd"));
}

QDateTime MinuteAlignedSchedule::startOfMinute(const QDateTime& date, const QTimeZone& zone) {
    if (!date.isValid()) return date;
    QDateTime local = zone.isValid() ? date.toTimeZone(zone) : date;
    const QTime t = local.time();
    local.setTime(QTime(t.hour(), t.minute(), 0, 0));
    // A minute that does not exist in the zone (a gap) keeps the date itself.
    return local.isValid() ? local : date;
}

std::vector<QDateTime> MinuteAlignedSchedule::entries(const QDateTime& from, int count, const QTimeZone& zone) {
    std::vector<QDateTime> out;
    if (count <= 0) return out;
    QDateTime next = startOfMinute(from, zone);
    for (int i = 0; i < count; ++i) {
        out.push_back(next);
        next = next.addSecs(60);
    }
    return out;
}

double MinuteAlignedSchedule::secondsToNextMinute(const QDateTime& now, const QTimeZone& zone) {
    const QDateTime next = startOfMinute(now, zone).addSecs(60);
    const double seconds = double(now.msecsTo(next)) / 1000.0;
    // Guard against a clock that sits exactly on the boundary or an invalid
    // date: never schedule a zero or negative wait.
    if (!(seconds > 0) || !std::isfinite(seconds)) return 60.0;
    return seconds;
}

QString BatteryText::levelSymbol(int percent) {
    if (percent < 13) return QStringLiteral("battery.0");
    if (percent < 38) return QStringLiteral("battery.25");
    if (percent < 63) return QStringLiteral("battery.50");
    if (percent < 88) return QStringLiteral("battery.75");
    return QStringLiteral("battery.100");
}

QString BatteryText::powerSymbol(bool isCharging, bool isPluggedIn) {
    if (isCharging) return QStringLiteral("bolt.fill");
    if (isPluggedIn) return QStringLiteral("powerplug.fill");
    return {};
}

QString BatteryText::percent(int percent, const QLocale& locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> formatter(icu::NumberFormat::createPercentInstance(icuLocale(locale), status));
    if (U_FAILURE(status) || !formatter) return QString::number(percent) + QLatin1Char('%');
    icu::UnicodeString out;
    formatter->format(double(percent) / 100.0, out);
    return fromIcu(out);
}
