#include "settings/appearance_pane.h"
#include "settings/dock_pane.h"
#include "settings/general_pane.h"
#include "settings/settings_pane.h"
#include "settings/task_bar_pane.h"

// One line per category. A category left out shows an empty pane.
void registerSettingsPanes() {
    settings_panes::registerPane(SettingsCategory::general, [] { return new GeneralPane; });
    settings_panes::registerPane(SettingsCategory::appearance, [] { return new AppearancePane; });
    settings_panes::registerPane(SettingsCategory::taskBar, [] { return new TaskBarPane; });
    settings_panes::registerPane(SettingsCategory::dock, [] { return new DockPane; });
}
