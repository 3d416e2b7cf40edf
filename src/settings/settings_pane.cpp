#include "settings/settings_pane.h"

#include <QFormLayout>
#include <QVBoxLayout>
#include <map>

SettingsPane::SettingsPane(QWidget* parent) : QWidget(parent) {
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(20, 12, 20, 20);
    column_->setSpacing(14);
    column_->addStretch(1);
}

void SettingsPane::retranslate() {
    for (const auto& apply : retranslators_) apply();
}

void SettingsPane::onRetranslate(std::function<void()> apply) {
    apply();
    retranslators_.push_back(std::move(apply));
}

QFormLayout* SettingsPane::addSection(const char* englishTitle) {
    auto* box = new QGroupBox(this);
    box->setObjectName(englishTitle ? QString::fromUtf8(englishTitle) : QString());
    if (englishTitle) translated(box, englishTitle);
    auto* form = new QFormLayout(box);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setRowWrapPolicy(QFormLayout::DontWrapRows);
    // Before the closing stretch.
    column_->insertWidget(column_->count() - 1, box);
    return form;
}

namespace settings_panes {
namespace {
std::map<SettingsCategory, Factory>& factories() {
    static std::map<SettingsCategory, Factory> table;
    return table;
}
}  // namespace

void registerPane(SettingsCategory category, Factory factory) { factories()[category] = std::move(factory); }

SettingsPane* make(SettingsCategory category) {
    // The program's own panes, once, before the first is made; a pane
    // registered later replaces one of them.
    static const bool builtIn = (registerSettingsPanes(), true);
    (void)builtIn;
    auto it = factories().find(category);
    if (it == factories().end() || !it->second) return nullptr;
    return it->second();
}

}  // namespace settings_panes
