#include "core/settings_model.h"

#include <array>

using platform::prefs::Kind;

namespace {

template <typename E, std::size_t N>
struct CaseNames {
    std::array<const char*, N> names;

    QString raw(E v) const {
        auto i = std::size_t(v);
        return i < N ? QString::fromLatin1(names[i]) : QString();
    }
    std::optional<E> parse(const QString& raw) const {
        for (std::size_t i = 0; i < N; ++i)
            if (raw == QLatin1String(names[i])) return E(i);
        return std::nullopt;
    }
    std::vector<E> all() const {
        std::vector<E> out;
        for (std::size_t i = 0; i < N; ++i) out.push_back(E(i));
        return out;
    }
};

constexpr CaseNames<AppearanceMode, 7> appearanceNames{
    {"system", "light", "dark", "neoSilver", "neoBlush", "neoCitrus", "neoIndigo"}};
constexpr CaseNames<SelectionColor, 10> selectionNames{{"darkGray", "lightGray", "blue", "burgundy", "blush", "cyan",
                                                         "terminalGreen", "amber", "cyberGinger", "deepPurple"}};
constexpr CaseNames<StartIconShape, 3> shapeNames{{"square", "roundedSquare", "circle"}};
constexpr CaseNames<AppLanguage, 3> languageNames{{"system", "english", "simplifiedChinese"}};
constexpr CaseNames<BarHeight, 3> barHeightNames{{"narrow", "medium", "tall"}};

}  // namespace

QString rawValue(AppearanceMode v) { return appearanceNames.raw(v); }
QString rawValue(SelectionColor v) { return selectionNames.raw(v); }
QString rawValue(StartIconShape v) { return shapeNames.raw(v); }
QString rawValue(AppLanguage v) { return languageNames.raw(v); }
QString rawValue(BarHeight v) { return barHeightNames.raw(v); }

template <> std::optional<AppearanceMode> fromRawValue<AppearanceMode>(const QString& raw) { return appearanceNames.parse(raw); }
template <> std::optional<SelectionColor> fromRawValue<SelectionColor>(const QString& raw) { return selectionNames.parse(raw); }
template <> std::optional<StartIconShape> fromRawValue<StartIconShape>(const QString& raw) { return shapeNames.parse(raw); }
template <> std::optional<AppLanguage> fromRawValue<AppLanguage>(const QString& raw) { return languageNames.parse(raw); }
template <> std::optional<BarHeight> fromRawValue<BarHeight>(const QString& raw) { return barHeightNames.parse(raw); }

template <> const std::vector<AppearanceMode>& allCases<AppearanceMode>() {
    static const auto all = appearanceNames.all();
    return all;
}
template <> const std::vector<SelectionColor>& allCases<SelectionColor>() {
    static const auto all = selectionNames.all();
    return all;
}
template <> const std::vector<StartIconShape>& allCases<StartIconShape>() {
    static const auto all = shapeNames.all();
    return all;
}
template <> const std::vector<AppLanguage>& allCases<AppLanguage>() {
    static const auto all = languageNames.all();
    return all;
}
template <> const std::vector<BarHeight>& allCases<BarHeight>() {
    static const auto all = barHeightNames.all();
    return all;
}

std::optional<platform::Appearance> appearanceFor(AppearanceMode mode) {
    switch (mode) {
        case AppearanceMode::system: return std::nullopt;
        case AppearanceMode::dark:
        case AppearanceMode::neoIndigo: return platform::Appearance::darkAqua;
        case AppearanceMode::light:
        case AppearanceMode::neoSilver:
        case AppearanceMode::neoBlush:
        case AppearanceMode::neoCitrus: return platform::Appearance::aqua;
    }
    return std::nullopt;
}

bool hasThemeColor(AppearanceMode mode) {
    switch (mode) {
        case AppearanceMode::neoSilver:
        case AppearanceMode::neoBlush:
        case AppearanceMode::neoCitrus:
        case AppearanceMode::neoIndigo: return true;
        default: return false;
    }
}

namespace settings {

const std::vector<KeySpec>& keyTable() {
    static const std::vector<KeySpec> table = [] {
        const QVariant absent;
        const QVariant emptyList = QVariant(QStringList());
        auto text = [](const char* s) { return QVariant(QString::fromLatin1(s)); };
        auto flag = [](bool b) { return QVariant(b); };
        return std::vector<KeySpec>{
            {keys::appearanceMode, Kind::text, text("system")},
            {keys::appearanceTransparency, Kind::integer, QVariant(qint64(3))},
            {keys::appearanceStartIconSymbol, Kind::text, text("square.grid.2x2.fill")},
            {keys::appearancePetFollowsPointer, Kind::boolean, flag(true)},
            {keys::appearancePetIdleMotion, Kind::boolean, flag(true)},
            {keys::appearanceSelectionColor, Kind::text, text("blue")},
            {keys::appearanceBarHeight, Kind::text, text("medium")},
            {keys::appearanceStartPet, Kind::text, absent},
            {keys::appearanceStartIconShape, Kind::text, text("roundedSquare")},
            {keys::appearanceStartIconUseCustom, Kind::boolean, flag(false)},
            {keys::appearanceStartIconCustomName, Kind::text, absent},
            {keys::appLanguage, Kind::text, text("system")},
            {keys::startMenuShowPowerRow, Kind::boolean, flag(true)},
            // Key code 49 (Space) with option (2048).
            {keys::startMenuHotKeyCombo, Kind::text, text("49:2048")},
            {keys::startMenuHotKeyEnabled, Kind::boolean, flag(true)},
            // Key code 2 (D) with control (4096).
            {keys::minimizeAllHotKeyCombo, Kind::text, text("2:4096")},
            {keys::minimizeAllHotKeyEnabled, Kind::boolean, flag(true)},
            {keys::dockSetupCompleted, Kind::boolean, flag(false)},
            {keys::dockManageEnabled, Kind::boolean, flag(true)},
            {keys::dockCoexistMode, Kind::text, text("moveRight")},
            {keys::dockRevealDelay, Kind::text, text("systemDefault")},
            {keys::dockSavedOriginalState, Kind::data, absent},
            {keys::dockSavedOriginalStateV2, Kind::data, absent},
            {keys::dockIsManaging, Kind::boolean, flag(false)},
            {keys::barDisplayMode, Kind::text, text("allDisplays")},
            {keys::interactionModel, Kind::text, text("perWindow")},
            {keys::clickActiveHides, Kind::boolean, flag(true)},
            {keys::showUnreadBadge, Kind::boolean, flag(true)},
            {keys::showRunningIndicator, Kind::boolean, flag(true)},
            {keys::taskStripAlwaysIconsOnly, Kind::boolean, flag(false)},
            {keys::trayShowTime, Kind::boolean, flag(true)},
            {keys::trayShowDate, Kind::boolean, flag(true)},
            {keys::trayShowBattery, Kind::boolean, flag(true)},
            {keys::pinnedBundleIDs, Kind::array, emptyList},
            {keys::activeOrder, Kind::array, emptyList},
            {keys::blacklistedBundleIDs, Kind::array, emptyList},
            {keys::launcherPinnedPaths, Kind::array, emptyList},
            {keys::launcherPinsSeeded, Kind::boolean, flag(false)},
            {keys::launcherRecentPaths, Kind::array, emptyList},
            {keys::tbdbg, Kind::boolean, flag(false)},
        };
    }();
    return table;
}

const KeySpec* findKey(const QString& key) {
    for (const auto& given : keyTable())
        if (given.key == key) return &given;
    return nullptr;
}

namespace {

QVariant defaultOf(const QString& key) {
    const KeySpec* given = findKey(key);
    return given ? given->defaultValue : QVariant();
}

}  // namespace

bool readBool(const QString& key) {
    if (auto v = platform::prefs::userDefaults().boolValue(key)) return *v;
    const QVariant d = defaultOf(key);
    return d.typeId() == QMetaType::Bool && d.toBool();
}

qint64 readInteger(const QString& key) {
    if (auto v = platform::prefs::userDefaults().integerValue(key)) return *v;
    const QVariant d = defaultOf(key);
    return d.typeId() == QMetaType::LongLong ? d.toLongLong() : 0;
}

std::optional<QString> readOptionalString(const QString& key) {
    if (auto v = platform::prefs::userDefaults().stringValue(key)) return *v;
    const QVariant d = defaultOf(key);
    if (d.typeId() == QMetaType::QString) return d.toString();
    return std::nullopt;
}

QString readString(const QString& key) { return readOptionalString(key).value_or(QString()); }

QString defaultString(const QString& key) {
    const QVariant d = defaultOf(key);
    return d.typeId() == QMetaType::QString ? d.toString() : QString();
}

QStringList readStringArray(const QString& key) {
    if (auto v = platform::prefs::userDefaults().stringArrayValue(key)) return *v;
    const QVariant d = defaultOf(key);
    return d.typeId() == QMetaType::QStringList ? d.toStringList() : QStringList();
}

std::optional<QByteArray> readData(const QString& key) {
    if (auto v = platform::prefs::userDefaults().dataValue(key)) return *v;
    const QVariant d = defaultOf(key);
    if (d.typeId() == QMetaType::QByteArray) return d.toByteArray();
    return std::nullopt;
}

namespace {

template <typename E>
E readEnum(const QString& key, E fallback) {
    return fromRawValue<E>(readString(key)).value_or(fallback);
}

}  // namespace

AppearanceMode readAppearanceMode() { return readEnum(keys::appearanceMode, AppearanceMode::system); }
SelectionColor readSelectionColor() { return readEnum(keys::appearanceSelectionColor, SelectionColor::blue); }
StartIconShape readStartIconShape() { return readEnum(keys::appearanceStartIconShape, StartIconShape::roundedSquare); }
AppLanguage readAppLanguage() { return readEnum(keys::appLanguage, AppLanguage::system); }
BarHeight readBarHeight() { return readEnum(keys::appearanceBarHeight, BarHeight::medium); }

}  // namespace settings
