#pragma once
// Pickers over a text key whose stored text is kept exactly as stored: a text
// that names no row stays stored until the person picks one, and meanwhile
// the key's default row is shown, as the program uses it in its place.
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "settings/settings_bindings.h"

class QButtonGroup;
class QComboBox;

// A combo box; rows may be separated later with insertSeparator (rows are
// found by their stored text, not their index).
SettingBinding* bindRawPicker(QComboBox* combo, const QString& key, std::vector<PickerRow> rows,
                              std::function<void(const QString&)> reaction = {});

// Radio buttons, each standing for a stored text; none is checked while the
// stored text names none of them.
SettingBinding* bindRawRadioGroup(QButtonGroup* group, const QString& key,
                                  std::vector<std::pair<QAbstractButton*, QString>> buttons,
                                  std::function<void(const QString&)> reaction = {});
