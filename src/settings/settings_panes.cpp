#include "settings/general_pane.h"
#include "settings/settings_pane.h"

// One line per category. A category left out shows an empty pane.
void registerSettingsPanes() {
    settings_panes::registerPane(SettingsCategory::general, [] { return new GeneralPane; });
}
