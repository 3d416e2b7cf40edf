#include "settings/dock_pane.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/settings_model.h"
#include "platform/desktop_traits.h"
#include "platform/preferences.h"
#include "services/dock_controller.h"
#include "settings/raw_picker.h"
#include "settings/settings_bindings.h"

using services::DockCoexistMode;

namespace {

QLabel* note(QLabel* label, int pixelSize) {
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    QFont f = label->font();
    f.setPixelSize(pixelSize);
    label->setFont(f);
    return label;
}

}  // namespace

DockPane::DockPane(Applier apply, QWidget* parent) : SettingsPane(parent), apply_(std::move(apply)) {
    const bool hasDock = platform::desktopTraits().hasDock;
    if (!apply_)
        apply_ = [hasDock](DockCoexistMode mode) {
            // Without a Dock there is nothing to hide or to give back.
            if (hasDock) services::DockController::shared()->apply(mode);
        };
    QFormLayout* form = addSection();

    noDockNote_ = note(translated(new QLabel, "This desktop has no Dock. These settings apply on a desktop that has one."),
                       13);
    noDockNote_->setObjectName(QStringLiteral("noDockNote"));
    noDockNote_->setVisible(!hasDock);
    form->addRow(noDockNote_);

    manage_ = translated(new QCheckBox, "Auto-hide the Dock");
    manage_->setObjectName(QStringLiteral("dockManageEnabled"));
    form->addRow(manage_);

    positionRow_ = new QWidget;
    auto* positionLayout = new QHBoxLayout(positionRow_);
    positionLayout->setContentsMargins(0, 0, 0, 0);
    auto* positionLabel = translated(new QLabel, "Dock position");
    positionLayout->addWidget(positionLabel, 0, Qt::AlignTop);
    positionLayout->addStretch(1);
    auto* radios = new QVBoxLayout;
    right_ = translated(new QRadioButton, "Right edge (recommended)");
    left_ = translated(new QRadioButton, "Left edge");
    keep_ = translated(new QRadioButton, "Keep current position");
    for (auto* r : {right_, left_, keep_}) radios->addWidget(r);
    positionLayout->addLayout(radios);
    form->addRow(positionRow_);
    position_ = new QButtonGroup(this);

    delayRow_ = new QWidget;
    auto* delayLayout = new QHBoxLayout(delayRow_);
    delayLayout->setContentsMargins(0, 0, 0, 0);
    delay_ = new QComboBox;
    delay_->setObjectName(QStringLiteral("dockRevealDelay"));
    delayLayout->addWidget(translated(new QLabel, "Show Dock after pointing at edge"));
    delayLayout->addStretch(1);
    delayLayout->addWidget(delay_);
    form->addRow(delayRow_);

    hideNote_ = note(translated(new QLabel, "At the bottom, the Dock may cover the taskbar."), 12);
    form->addRow(hideNote_);
    restoredNote_ = note(translated(new QLabel, "Your previous Dock settings are restored."), 12);
    form->addRow(restoredNote_);
    footer_ = note(translated(new QLabel, "Quitting Quorvel restores your Dock settings."), 11);
    column()->insertWidget(column()->count() - 1, footer_);

    // Every change re-applies the effective mode; the controller reads the
    // delay from the stored settings itself.
    const auto reapply = [this](const auto&) { applyDockMode(); };
    bindSwitch(manage_, settings::keys::dockManageEnabled, reapply)->onShown([this](const QVariant&) { showRows(); });
    bindRawRadioGroup(position_, settings::keys::dockCoexistMode,
                      {{right_, QStringLiteral("moveRight")},
                       {left_, QStringLiteral("moveLeft")},
                       {keep_, QStringLiteral("hide")}},
                      reapply)
        ->onShown([this](const QVariant&) { showRows(); });
    bindRawPicker(delay_, settings::keys::dockRevealDelay,
                  {{QStringLiteral("systemDefault"), "System default"},
                   {QStringLiteral("s2"), "2 seconds"},
                   {QStringLiteral("s5"), "5 seconds"},
                   {QStringLiteral("s10"), "10 seconds"},
                   {QStringLiteral("s20"), "20 seconds"},
                   {QStringLiteral("never"), "Never"}},
                  reapply);
    delay_->insertSeparator(5);
    showRows();
}

void DockPane::showRows() {
    if (!restoredNote_) return;  // still being built
    const bool on = settings::readBool(settings::keys::dockManageEnabled);
    const auto mode = services::dockCoexistModeFromRawValue(settings::readString(settings::keys::dockCoexistMode))
                          .value_or(DockCoexistMode::moveRight);
    positionRow_->setVisible(on);
    delayRow_->setVisible(on);
    hideNote_->setVisible(on && mode == DockCoexistMode::hide);
    restoredNote_->setVisible(!on);
    footer_->setVisible(on && platform::desktopTraits().hasDock);
}

void DockPane::applyDockMode() { apply_(services::effectiveDockMode(platform::prefs::userDefaults())); }
