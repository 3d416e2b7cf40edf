#include "settings/task_bar_pane.h"

#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <algorithm>

#include "core/settings_model.h"
#include "platform/notification_center.h"
#include "platform/platform.h"
#include "services/global_hot_key_monitor.h"
#include "settings/category_badge.h"
#include "settings/hot_key_recorder.h"
#include "settings/raw_picker.h"
#include "settings/settings_bindings.h"
#include "settings/settings_symbols.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_style.h"
#include "windows/bar_metrics.h"
#include "windows/blacklist_store.h"

using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

QLabel* secondaryText(QLabel* label, int pixelSize) {
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont f = label->font();
    f.setPixelSize(pixelSize);
    label->setFont(f);
    return label;
}

}  // namespace

TaskBarPane::TaskBarPane(QWidget* parent) : SettingsPane(parent) {
    buildDisplaysSection();
    buildStripSection();
    buildShowDesktopSection();
    buildHiddenSection();
}

void TaskBarPane::buildDisplaysSection() {
    QFormLayout* form = addSection("Displays");
    displayMode_ = new QComboBox;
    displayMode_->setObjectName(QStringLiteral("barDisplayMode"));
    displayMode_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    form->addRow(translated(new QLabel, "Show taskbar on"), displayMode_);
    // The bars are rebuilt for the new choice, whatever it is.
    bindRawPicker(displayMode_, settings::keys::barDisplayMode,
                  {{QStringLiteral("allDisplays"), "All displays"}, {QStringLiteral("mainDisplay"), "Main display only"}},
                  [](const QString&) { platform::NotificationCenter::defaultCenter().post(BarMetrics::displayModeChangedNotification()); });
}

void TaskBarPane::buildStripSection() {
    QFormLayout* form = addSection();
    interaction_ = new QComboBox;
    interaction_->setObjectName(QStringLiteral("interactionModel"));
    interaction_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    form->addRow(translated(new QLabel, "App icons"), interaction_);

    iconsOnly_ = translated(new QCheckBox, "Always show icons without names");
    iconsOnly_->setObjectName(QStringLiteral("taskStripAlwaysIconsOnly"));
    form->addRow(iconsOnly_);
    bindSwitch(iconsOnly_, settings::keys::taskStripAlwaysIconsOnly);

    clickAgain_ = new QCheckBox;
    clickAgain_->setObjectName(QStringLiteral("clickActiveHides"));
    form->addRow(clickAgain_);
    bindSwitch(clickAgain_, settings::keys::clickActiveHides);

    bindRawPicker(interaction_, settings::keys::interactionModel,
                  {{QStringLiteral("grouped"), "Combine by app"}, {QStringLiteral("perWindow"), "Show each window"}})
        ->onShown([this](const QVariant&) { showClickAgainLabel(); });
    onRetranslate([this] { showClickAgainLabel(); });

    unread_ = translated(new QCheckBox, "Show unread dots");
    unread_->setObjectName(QStringLiteral("showUnreadBadge"));
    form->addRow(unread_);
    bindSwitch(unread_, settings::keys::showUnreadBadge);

    running_ = translated(new QCheckBox, "Show dots for open pinned apps");
    running_->setObjectName(QStringLiteral("showRunningIndicator"));
    form->addRow(running_);
    bindSwitch(running_, settings::keys::showRunningIndicator);
}

void TaskBarPane::showClickAgainLabel() {
    // Only "grouped" combines; any other text means one button per window.
    const bool grouped = settings::readString(settings::keys::interactionModel) == QStringLiteral("grouped");
    clickAgain_->setText(grouped ? tr_("Click again to hide app") : tr_("Click again to minimize window"));
}

void TaskBarPane::buildShowDesktopSection() {
    QFormLayout* form = addSection("Show Desktop");
    minimizeAll_ = translated(new QCheckBox, "Minimize all windows with shortcut");
    minimizeAll_->setObjectName(QStringLiteral("minimizeAllHotKeyEnabled"));
    form->addRow(minimizeAll_);

    shortcutRow_ = new QWidget;
    auto* row = new QHBoxLayout(shortcutRow_);
    row->setContentsMargins(0, 0, 0, 0);
    recorder_ = new HotKeyRecorder;
    recorder_->setObjectName(QStringLiteral("minimizeAllRecorder"));
    recorder_->setFixedSize(150, 24);
    row->addWidget(translated(new QLabel, "Shortcut"));
    row->addStretch(1);
    row->addWidget(recorder_);
    form->addRow(shortcutRow_);

    shortcutWarning_ = new QWidget;
    auto* warning = new QHBoxLayout(shortcutWarning_);
    warning->setContentsMargins(0, 0, 0, 0);
    warning->setSpacing(6);
    auto* icon = new QLabel;
    icon->setPixmap(warningIcon().pixmap(14, 14));
    auto* text = translated(new QLabel, "Shortcut is in use. Choose another.");
    text->setWordWrap(true);
    QFont f = text->font();
    f.setPixelSize(12);
    text->setFont(f);
    QPalette pal = text->palette();
    pal.setColor(QPalette::WindowText, QColor(255, 149, 0));
    text->setPalette(pal);
    warning->addWidget(icon, 0, Qt::AlignTop);
    warning->addWidget(text, 1);
    form->addRow(shortcutWarning_);

    bindSwitch(minimizeAll_, settings::keys::minimizeAllHotKeyEnabled, [this](bool) { reregisterMinimizeAll(); })
        ->onShown([this](const QVariant&) { showShortcutRows(); });
    bindRecorder(recorder_, settings::keys::minimizeAllHotKeyCombo, HotKeyCombo::defaultMinimizeAll(),
                 [this](HotKeyCombo) { reregisterMinimizeAll(); });
    connect(&services::GlobalHotKeyMonitor::shared(),
            &services::GlobalHotKeyMonitor::lastMinimizeAllRegistrationFailedChanged, this,
            &TaskBarPane::showShortcutRows);
    onRetranslate([this] { recorder_->update(); });
    showShortcutRows();
}

void TaskBarPane::showShortcutRows() {
    const bool enabled = settings::readBool(settings::keys::minimizeAllHotKeyEnabled);
    shortcutRow_->setVisible(enabled);
    shortcutWarning_->setVisible(enabled && services::GlobalHotKeyMonitor::shared().lastMinimizeAllRegistrationFailed());
}

void TaskBarPane::reregisterMinimizeAll() {
    auto& monitor = services::GlobalHotKeyMonitor::shared();
    const bool ok =
        monitor.registerCombo(readHotKeyCombo(settings::keys::minimizeAllHotKeyCombo, HotKeyCombo::defaultMinimizeAll()),
                              settings::readBool(settings::keys::minimizeAllHotKeyEnabled), true);
    monitor.setLastMinimizeAllRegistrationFailed(!ok);
    showShortcutRows();
}

void TaskBarPane::buildHiddenSection() {
    QFormLayout* form = addSection("Hidden Apps");
    hiddenList_ = new QWidget;
    hiddenList_->setObjectName(QStringLiteral("hiddenApps"));
    hiddenRows_ = new QVBoxLayout(hiddenList_);
    hiddenRows_->setContentsMargins(0, 0, 0, 0);
    form->addRow(hiddenList_);

    hideApp_ = new QToolButton;
    hideApp_->setObjectName(QStringLiteral("hideApp"));
    showHideAppSymbol();
    hideApp_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    hideApp_->setPopupMode(QToolButton::InstantPopup);
    hideApp_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    translated(hideApp_, "Hide an app…");
    hideMenu_ = new QMenu(hideApp_);
    hideApp_->setMenu(hideMenu_);
    // The running applications are read when the menu opens.
    connect(hideMenu_, &QMenu::aboutToShow, this, &TaskBarPane::rebuildHideMenu);
    form->addRow(hideApp_);

    auto* footer = secondaryText(translated(new QLabel, "Pinned apps are always shown."), 11);
    footer->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    footer->setObjectName(QStringLiteral("hiddenAppsFooter"));
    // Below the section, as wide as it.
    column()->insertWidget(column()->count() - 1, footer);

    connect(&BlacklistStore::shared(), &BlacklistStore::blockedBundleIDsChanged, this, &TaskBarPane::showHiddenList);
    onRetranslate([this] { showHiddenList(); });
}

void TaskBarPane::showHideAppSymbol() {
    hideApp_->setIcon(settings_symbols::icon(QStringLiteral("plus"), 12, palette().color(QPalette::ButtonText)));
}

void TaskBarPane::changeEvent(QEvent* event) {
    SettingsPane::changeEvent(event);
    if (event->type() != QEvent::PaletteChange || !hideApp_) return;
    showHideAppSymbol();
    showHiddenList();
}

void TaskBarPane::showHiddenList() {
    // Later: the click of a row's own remove button may be what got us here.
    while (QLayoutItem* item = hiddenRows_->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    const QStringList ids = BlacklistStore::shared().blockedBundleIDs();
    if (ids.isEmpty()) {
        auto* empty = secondaryText(new QLabel(tr_("No apps hidden")), 13);
        empty->setObjectName(QStringLiteral("noAppsHidden"));
        hiddenRows_->addWidget(empty);
        return;
    }
    auto& icons = AppIconProvider::shared();
    const QColor secondary = palette().color(QPalette::PlaceholderText);
    for (const QString& id : ids) {
        auto* row = new QWidget;
        row->setObjectName(id);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(8);
        auto* icon = new QLabel;
        icon->setFixedSize(16, 16);
        if (const auto image = icons.iconForBundleID(id))
            icon->setPixmap(QPixmap::fromImage(image->scaled(16, 16, Qt::KeepAspectRatioByExpanding,
                                                             Qt::SmoothTransformation)));
        else
            icon->setPixmap(settings_symbols::icon(QStringLiteral("app.dashed"), 16, secondary).pixmap(16, 16));
        layout->addWidget(icon, 0, Qt::AlignVCenter);
        layout->addWidget(new QLabel(icons.displayName(id)), 0, Qt::AlignVCenter);
        layout->addStretch(1);
        auto* remove = new QToolButton;
        remove->setObjectName(QStringLiteral("remove"));
        remove->setAutoRaise(true);
        remove->setIcon(settings_symbols::icon(QStringLiteral("minus.circle.fill"), 16, secondary));
        remove->setToolTip(tr_("Remove"));
        connect(remove, &QToolButton::clicked, this, [id] { BlacklistStore::shared().remove(id); });
        layout->addWidget(remove, 0, Qt::AlignVCenter);
        hiddenRows_->addWidget(row);
    }
}

void TaskBarPane::rebuildHideMenu() {
    hideMenu_->clear();
    const auto apps = addableApps();
    if (apps.empty()) {
        auto* action = new QWidgetAction(hideMenu_);
        auto* label = secondaryText(new QLabel(tr_("No apps to add")), 13);
        label->setContentsMargins(12, 4, 12, 4);
        action->setDefaultWidget(label);
        action->setEnabled(false);
        action->setText(tr_("No apps to add"));
        hideMenu_->addAction(action);
        return;
    }
    for (const auto& app : apps)
        hideMenu_->addAction(bar_style::menuEntryText(app.name), this, [id = app.id] { BlacklistStore::shared().add(id); });
}

std::vector<TaskBarPane::AddableApp> TaskBarPane::addableApps(const std::vector<platform::RunningApplication>& running,
                                                              const QSet<QString>& hidden, std::int32_t ownPid) {
    std::vector<AddableApp> apps;
    QSet<QString> offered;
    for (const auto& app : running) {
        if (app.activationPolicy != platform::ActivationPolicy::regular) continue;
        if (app.pid == ownPid) continue;
        if (!app.bundleID) continue;
        const QString& id = *app.bundleID;
        if (hidden.contains(id) || offered.contains(id)) continue;
        offered.insert(id);
        apps.push_back({id, app.localizedName.isEmpty() ? id : app.localizedName});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(),
                     [&](const AddableApp& a, const AddableApp& b) { return collator.compare(a.name, b.name) < 0; });
    return apps;
}

std::vector<TaskBarPane::AddableApp> TaskBarPane::addableApps() {
    const QStringList ids = BlacklistStore::shared().blockedBundleIDs();
    const QSet<QString> hidden(ids.begin(), ids.end());
    auto& workspace = *platform::installed().workspace;
    return addableApps(workspace.runningApplications(), hidden, workspace.ownProcessID());
}
