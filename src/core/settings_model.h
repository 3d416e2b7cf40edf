#pragma once
// The shared setting enumerations with their stored texts, and the one table
// of every user-defaults key the program uses with its type and default.
//
// Enumerations are stored as their case name, compared exactly (no case
// folding, no trimming). A stored value that is missing, of another type or
// names no case reads as the setting's default.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

#include "platform/application.h"
#include "platform/preferences.h"

// ---- enumerations -----------------------------------------------------------

enum class AppearanceMode { system, light, dark, neoSilver, neoBlush, neoCitrus, neoIndigo };
enum class SelectionColor { darkGray, lightGray, blue, burgundy, blush, cyan, terminalGreen, amber, cyberGinger, deepPurple };
enum class StartIconShape { square, roundedSquare, circle };
enum class AppLanguage { system, english, simplifiedChinese };
// The bar-height texts; their sizes belong to the bar metrics.
enum class BarHeight { narrow, medium, tall };

QString rawValue(AppearanceMode v);
QString rawValue(SelectionColor v);
QString rawValue(StartIconShape v);
QString rawValue(AppLanguage v);
QString rawValue(BarHeight v);

// Text to case by exact match, or none. Specialised for the five enumerations.
template <typename E>
std::optional<E> fromRawValue(const QString& raw);
// Every case in declaration order.
template <typename E>
const std::vector<E>& allCases();

template <> std::optional<AppearanceMode> fromRawValue<AppearanceMode>(const QString& raw);
template <> std::optional<SelectionColor> fromRawValue<SelectionColor>(const QString& raw);
template <> std::optional<StartIconShape> fromRawValue<StartIconShape>(const QString& raw);
template <> std::optional<AppLanguage> fromRawValue<AppLanguage>(const QString& raw);
template <> std::optional<BarHeight> fromRawValue<BarHeight>(const QString& raw);
template <> const std::vector<AppearanceMode>& allCases<AppearanceMode>();
template <> const std::vector<SelectionColor>& allCases<SelectionColor>();
template <> const std::vector<StartIconShape>& allCases<StartIconShape>();
template <> const std::vector<AppLanguage>& allCases<AppLanguage>();
template <> const std::vector<BarHeight>& allCases<BarHeight>();

// The application appearance a mode asks for; none for `system` (follow the
// system's).
std::optional<platform::Appearance> appearanceFor(AppearanceMode mode);
// True for the themes that tint the bar (the four neo cases).
bool hasThemeColor(AppearanceMode mode);

namespace settings {

// ---- keys ---------------------------------------------------------------------

namespace keys {
inline const QString appearanceMode = QStringLiteral("appearanceMode");
inline const QString appearanceTransparency = QStringLiteral("appearanceTransparency");
inline const QString appearanceStartIconSymbol = QStringLiteral("appearanceStartIconSymbol");
inline const QString appearancePetFollowsPointer = QStringLiteral("appearancePetFollowsPointer");
inline const QString appearancePetIdleMotion = QStringLiteral("appearancePetIdleMotion");
inline const QString appearanceSelectionColor = QStringLiteral("appearanceSelectionColor");
inline const QString appearanceBarHeight = QStringLiteral("appearanceBarHeight");
inline const QString appearanceStartPet = QStringLiteral("appearanceStartPet");
inline const QString appearanceStartIconShape = QStringLiteral("appearanceStartIconShape");
inline const QString appearanceStartIconUseCustom = QStringLiteral("appearanceStartIconUseCustom");
inline const QString appearanceStartIconCustomName = QStringLiteral("appearanceStartIconCustomName");
inline const QString appLanguage = QStringLiteral("appLanguage");
inline const QString startMenuShowPowerRow = QStringLiteral("startMenuShowPowerRow");
inline const QString startMenuHotKeyCombo = QStringLiteral("startMenuHotKeyCombo");
inline const QString startMenuHotKeyEnabled = QStringLiteral("startMenuHotKeyEnabled");
inline const QString minimizeAllHotKeyCombo = QStringLiteral("minimizeAllHotKeyCombo");
inline const QString minimizeAllHotKeyEnabled = QStringLiteral("minimizeAllHotKeyEnabled");
inline const QString dockSetupCompleted = QStringLiteral("dockSetupCompleted");
inline const QString dockManageEnabled = QStringLiteral("dockManageEnabled");
inline const QString dockCoexistMode = QStringLiteral("dockCoexistMode");
inline const QString dockRevealDelay = QStringLiteral("dockRevealDelay");
inline const QString dockSavedOriginalState = QStringLiteral("DockSavedOriginalState");
inline const QString dockSavedOriginalStateV2 = QStringLiteral("DockSavedOriginalStateV2");
inline const QString dockIsManaging = QStringLiteral("DockIsManaging");
inline const QString barDisplayMode = QStringLiteral("barDisplayMode");
inline const QString interactionModel = QStringLiteral("interactionModel");
inline const QString clickActiveHides = QStringLiteral("clickActiveHides");
inline const QString showUnreadBadge = QStringLiteral("showUnreadBadge");
inline const QString showRunningIndicator = QStringLiteral("showRunningIndicator");
inline const QString taskStripAlwaysIconsOnly = QStringLiteral("taskStripAlwaysIconsOnly");
inline const QString trayShowTime = QStringLiteral("trayShowTime");
inline const QString trayShowDate = QStringLiteral("trayShowDate");
inline const QString trayShowBattery = QStringLiteral("trayShowBattery");
inline const QString pinnedBundleIDs = QStringLiteral("pinnedBundleIDs");
inline const QString activeOrder = QStringLiteral("activeOrder");
inline const QString blacklistedBundleIDs = QStringLiteral("blacklistedBundleIDs");
inline const QString launcherPinnedPaths = QStringLiteral("launcherPinnedPaths");
inline const QString launcherPinsSeeded = QStringLiteral("launcherPinsSeeded");
inline const QString launcherRecentPaths = QStringLiteral("launcherRecentPaths");
inline const QString tbdbg = QStringLiteral("TBDBG");
}  // namespace keys

// One row of the key table. Text arrays are `Kind::array` with a QStringList
// default; an absent default is an invalid QVariant.
struct KeySpec {
    QString key;
    platform::prefs::Kind kind;
    QVariant defaultValue;
};

const std::vector<KeySpec>& keyTable();
// The row of a key, or null for a key outside the table.
const KeySpec* findKey(const QString& key);

// ---- typed readers of the application's user defaults ---------------------------
// Each returns the stored value when it has the key's type, else the table's
// default (false, 0, "", an empty list or none for a key without one).

bool readBool(const QString& key);
qint64 readInteger(const QString& key);
QString readString(const QString& key);
// The table's default text of a key; empty when it has none or it is not text.
QString defaultString(const QString& key);
// The stored text, else the default text; none when the table has no default.
std::optional<QString> readOptionalString(const QString& key);
// An array whose every element is text; any other value reads as the default.
QStringList readStringArray(const QString& key);
std::optional<QByteArray> readData(const QString& key);

AppearanceMode readAppearanceMode();
SelectionColor readSelectionColor();
StartIconShape readStartIconShape();
AppLanguage readAppLanguage();
BarHeight readBarHeight();

}  // namespace settings
