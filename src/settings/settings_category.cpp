#include "settings/settings_category.h"

#include "core/localization.h"

namespace settings_category {

const std::vector<SettingsCategory>& allCases() {
    static const std::vector<SettingsCategory> cases = {SettingsCategory::general, SettingsCategory::appearance,
                                                        SettingsCategory::taskBar, SettingsCategory::dock};
    return cases;
}

QString rawValue(SettingsCategory category) {
    switch (category) {
        case SettingsCategory::general: return QStringLiteral("general");
        case SettingsCategory::appearance: return QStringLiteral("appearance");
        case SettingsCategory::taskBar: return QStringLiteral("taskBar");
        case SettingsCategory::dock: return QStringLiteral("dock");
    }
    return {};
}

std::optional<SettingsCategory> fromRawValue(const QString& raw) {
    for (auto c : allCases())
        if (rawValue(c) == raw) return c;
    return std::nullopt;
}

const char* englishTitle(SettingsCategory category) {
    switch (category) {
        case SettingsCategory::general: return "General";
        case SettingsCategory::appearance: return "Appearance";
        case SettingsCategory::taskBar: return "Task Bar";
        case SettingsCategory::dock: return "Dock";
    }
    return "";
}

QString title(SettingsCategory category, AppLanguage language) {
    return app_language::bundleFor(language).localizedString(englishTitle(category));
}

QString symbolName(SettingsCategory category) {
    switch (category) {
        case SettingsCategory::general: return QStringLiteral("gearshape.fill");
        case SettingsCategory::appearance: return QStringLiteral("paintpalette.fill");
        case SettingsCategory::taskBar: return QStringLiteral("rectangle.bottomthird.inset.filled");
        case SettingsCategory::dock: return QStringLiteral("dock.rectangle");
    }
    return {};
}

QColor badgeColor(SettingsCategory category) {
    // The desktop's standard gray, blue and indigo.
    switch (category) {
        case SettingsCategory::appearance: return QColor(0, 122, 255);
        case SettingsCategory::taskBar: return QColor(88, 86, 214);
        case SettingsCategory::general:
        case SettingsCategory::dock: break;
    }
    return QColor(142, 142, 147);
}

}  // namespace settings_category
