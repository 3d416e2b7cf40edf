#include "settings/general_pane.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include "platform/platform.h"
#include "services/global_hot_key_monitor.h"
#include "services/launch_at_login_service.h"
#include "services/update_controller.h"
#include "settings/category_badge.h"
#include "settings/hot_key_recorder.h"
#include "settings/settings_bindings.h"

using services::HotKeyCombo;
using services::HotKeyModifiers;

namespace {

const QColor warningOrange(255, 149, 0);

// An orange warning: the triangle and a text in the callout size.
QWidget* warningRow(SettingsPane* pane, const char* english, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* icon = new QLabel(row);
    icon->setPixmap(warningIcon().pixmap(14, 14));
    auto* text = pane->translated(new QLabel(row), english);
    text->setWordWrap(true);
    QFont f = text->font();
    f.setPixelSize(12);
    text->setFont(f);
    QPalette pal = text->palette();
    pal.setColor(QPalette::WindowText, warningOrange);
    text->setPalette(pal);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(text, 1);
    return row;
}

}  // namespace

GeneralPane::GeneralPane(QWidget* parent) : SettingsPane(parent) {
    buildLoginSection();
    buildLanguageSection();
    buildStartMenuSection();
    buildAboutSection();
}

void GeneralPane::buildLoginSection() {
    QFormLayout* form = addSection();
    launchAtLogin_ = translated(new QCheckBox, "Launch Quorvel at login");
    launchAtLogin_->setObjectName(QStringLiteral("launchAtLogin"));
    form->addRow(launchAtLogin_);
    approvalWarning_ = warningRow(this, "Allow Quorvel in Login Items to start at login.", this);
    form->addRow(approvalWarning_);
    openLoginItems_ = translated(new QPushButton, "Open Login Items Settings");
    openLoginItems_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    form->addRow(openLoginItems_);
    connect(openLoginItems_, &QPushButton::clicked, this, [] { platform::loginItems().openSystemSettingsLoginItems(); });

    auto& service = services::LaunchAtLoginService::shared();
    connect(launchAtLogin_, &QCheckBox::clicked, this, [this](bool on) {
        services::LaunchAtLoginService::shared().setEnabled(on);
        // The switch shows what the service read back, not what was clicked.
        showLoginStatus();
    });
    connect(&service, &services::LaunchAtLoginService::statusChanged, this, &GeneralPane::showLoginStatus);
    connect(&service, &services::LaunchAtLoginService::failureMessageChanged, this, &GeneralPane::presentFailureAlert);
    // Back from the system settings: an approval given there shows at once.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) refreshStatus();
    });
    // The desktop's own notice that this application became active (the
    // simulated desktop activates it without Qt seeing a window change).
    const auto ownPid = platform::workspace().ownProcessID();
    workspaceObserver_ = platform::workspace().addObserver([ownPid](const QString& name, std::int32_t pid) {
        if (name == platform::workspace_notifications::didActivateApplication && pid == ownPid) refreshStatus();
    });
    showLoginStatus();
    presentFailureAlert();
}

GeneralPane::~GeneralPane() {
    if (workspaceObserver_ && platform::isInstalled()) platform::workspace().removeObserver(workspaceObserver_);
}

void GeneralPane::showLoginStatus() {
    auto& service = services::LaunchAtLoginService::shared();
    {
        const QSignalBlocker block(launchAtLogin_);
        launchAtLogin_->setChecked(service.isSwitchOn());
    }
    const bool approval = service.status() == platform::LoginItemStatus::requiresApproval;
    approvalWarning_->setVisible(approval);
    openLoginItems_->setVisible(approval);
}

void GeneralPane::presentFailureAlert() {
    if (alertPending_ || !services::LaunchAtLoginService::shared().failureMessage()) return;
    alertPending_ = true;
    // After the click that caused it has been handled.
    QPointer<GeneralPane> self(this);
    platform::MainQueue::async([self] {
        if (!self) return;
        self->alertPending_ = false;
        auto& service = services::LaunchAtLoginService::shared();
        if (!service.failureMessage()) return;
        platform::Alert alert;
        alert.messageText = tr_("Couldn't set launch at login");
        alert.informativeText = service.failureMessage().value_or(QString());
        alert.buttons = {tr_("OK")};
        alert.style = platform::AlertStyle::warning;
        platform::alerts().runModal(alert);
        // However the alert ended, the message is done with.
        services::LaunchAtLoginService::shared().setFailureMessage(std::nullopt);
    });
}

void GeneralPane::refreshStatus() {
    auto& service = services::LaunchAtLoginService::shared();
    service.setStatus(platform::loginItems().status());
}

void GeneralPane::showEvent(QShowEvent* event) {
    SettingsPane::showEvent(event);
    refreshStatus();
}

void GeneralPane::buildLanguageSection() {
    QFormLayout* form = addSection();
    language_ = new QComboBox;
    language_->setObjectName(QStringLiteral("language"));
    language_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    auto* label = translated(new QLabel, "Language");
    form->addRow(label, language_);
    bindPicker(language_, settings::keys::appLanguage,
               {{QStringLiteral("system"), "Follow System"},
                {QStringLiteral("english"), "English"},
                {QStringLiteral("simplifiedChinese"), "Simplified Chinese"}});
}

void GeneralPane::buildStartMenuSection() {
    QFormLayout* form = addSection("Start Menu");
    powerRow_ = translated(new QCheckBox, "Show shutdown and other actions");
    powerRow_->setObjectName(QStringLiteral("startMenuShowPowerRow"));
    form->addRow(powerRow_);
    bindSwitch(powerRow_, settings::keys::startMenuShowPowerRow);

    hotKeyEnabled_ = translated(new QCheckBox, "Open Start menu with shortcut");
    hotKeyEnabled_->setObjectName(QStringLiteral("startMenuHotKeyEnabled"));
    form->addRow(hotKeyEnabled_);

    shortcutRow_ = new QWidget;
    auto* row = new QHBoxLayout(shortcutRow_);
    row->setContentsMargins(0, 0, 0, 0);
    shortcutLabel_ = translated(new QLabel, "Shortcut");
    recorder_ = new HotKeyRecorder;
    recorder_->setObjectName(QStringLiteral("startMenuRecorder"));
    row->addWidget(shortcutLabel_);
    row->addStretch(1);
    row->addWidget(recorder_);
    form->addRow(shortcutRow_);
    shortcutWarning_ = warningRow(this, "Shortcut is in use. Choose another.", this);
    form->addRow(shortcutWarning_);

    bindSwitch(hotKeyEnabled_, settings::keys::startMenuHotKeyEnabled, [this](bool) { reregisterStartMenuShortcut(); })
        ->onShown([this](const QVariant&) { showShortcutRows(); });
    bindRecorder(recorder_, settings::keys::startMenuHotKeyCombo, HotKeyCombo::defaultStartMenu(),
                 [this](HotKeyCombo) { reregisterStartMenuShortcut(); });
    connect(&services::GlobalHotKeyMonitor::shared(), &services::GlobalHotKeyMonitor::lastRegistrationFailedChanged,
            this, &GeneralPane::showShortcutRows);
    onRetranslate([this] { recorder_->update(); });
    showShortcutRows();
}

void GeneralPane::showShortcutRows() {
    const bool enabled = settings::readBool(settings::keys::startMenuHotKeyEnabled);
    shortcutRow_->setVisible(enabled);
    shortcutWarning_->setVisible(enabled && services::GlobalHotKeyMonitor::shared().lastRegistrationFailed());
}

void GeneralPane::reregisterStartMenuShortcut() {
    auto& monitor = services::GlobalHotKeyMonitor::shared();
    const bool ok = monitor.registerCombo(readHotKeyCombo(settings::keys::startMenuHotKeyCombo, HotKeyCombo::defaultStartMenu()),
                                          settings::readBool(settings::keys::startMenuHotKeyEnabled), false);
    monitor.setLastRegistrationFailed(!ok);
    showShortcutRows();
}

void GeneralPane::buildAboutSection() {
    QFormLayout* form = addSection("About");
    version_ = new QLabel(appVersion());
    version_->setObjectName(QStringLiteral("version"));
    version_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(translated(new QLabel, "Version"), version_);
    checkForUpdates_ = translated(new QPushButton, "Check for Updates…");
    checkForUpdates_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    form->addRow(checkForUpdates_);
    auto& updates = services::UpdateController::shared();
    checkForUpdates_->setEnabled(updates.canCheckForUpdates());
    connect(&updates, &services::UpdateController::canCheckForUpdatesChanged, checkForUpdates_,
            &QPushButton::setEnabled);
    connect(checkForUpdates_, &QPushButton::clicked, this, [] {
        auto& u = services::UpdateController::shared();
        if (u.hasUpdater()) u.checkForUpdates();
    });
}

QString GeneralPane::appVersion() {
    const auto value = platform::bundles().mainInfoValue(QStringLiteral("CFBundleShortVersionString"));
    if (value && value->typeId() == QMetaType::QString && !value->toString().isEmpty())
        return QStringLiteral("v") + value->toString();
    return QStringLiteral("—");
}
