#pragma once
// The concrete colours of the selection-colour setting: one opaque sRGB colour
// for the light and one for the dark scheme, and each case's display name.
#include <QColor>
#include <QString>

#include "core/settings_model.h"
#include "platform/application.h"

namespace selection_color {

// The colour to draw; blue in the dark scheme is the platform's accent colour.
QColor color(SelectionColor selection, platform::Appearance scheme);
// The English display name, which is also its translation key.
QString displayName(SelectionColor selection);
// The stored setting resolved to a colour (a text that names no case is blue).
QColor currentColor(platform::Appearance scheme);

}  // namespace selection_color
