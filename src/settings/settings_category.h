#pragma once
// The four categories of the settings window's sidebar, in sidebar order,
// with their titles, symbols and badge colours.
#include <QColor>
#include <QString>
#include <optional>
#include <vector>

#include "core/settings_model.h"

enum class SettingsCategory { general, appearance, taskBar, dock };

namespace settings_category {

const std::vector<SettingsCategory>& allCases();
QString rawValue(SettingsCategory category);
// The case with that raw text; none for any other text.
std::optional<SettingsCategory> fromRawValue(const QString& raw);
// The English title: the lookup key of the localised title.
const char* englishTitle(SettingsCategory category);
// The title in the given language's localisation bundle.
QString title(SettingsCategory category, AppLanguage language);
QString symbolName(SettingsCategory category);
QColor badgeColor(SettingsCategory category);

}  // namespace settings_category
