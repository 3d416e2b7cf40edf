#include "settings/settings_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "platform/preferences.h"
#include "settings/category_badge.h"
#include "settings/settings_pane.h"
#include "settings/settings_window.h"

SettingsView::SettingsView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SettingsView"));
    setMinimumSize(minimumWidth, minimumHeight);
    resize(minimumWidth, minimumHeight);

    auto* split = new QHBoxLayout(this);
    split->setContentsMargins(0, 0, 0, 0);
    split->setSpacing(0);

    sidebar_ = new QListWidget(this);
    sidebar_->setObjectName(QStringLiteral("SettingsSidebar"));
    sidebar_->setMinimumWidth(sidebarWidth);
    sidebar_->setMaximumWidth(sidebarMaximumWidth);
    sidebar_->setFixedWidth(sidebarWidth);
    sidebar_->setIconSize(QSize(20, 20));
    sidebar_->setSpacing(2);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (auto category : settings_category::allCases()) {
        auto* item = new QListWidgetItem(categoryBadge(category), QString(), sidebar_);
        item->setData(Qt::UserRole, settings_category::rawValue(category));
        item->setSizeHint(QSize(sidebarWidth - 8, 30));
    }
    split->addWidget(sidebar_);

    auto* detail = new QWidget(this);
    auto* column = new QVBoxLayout(detail);
    column->setContentsMargins(0, 12, 0, 0);
    column->setSpacing(0);
    title_ = new QLabel(detail);
    title_->setObjectName(QStringLiteral("SettingsTitle"));
    QFont titleFont = title_->font();
    titleFont.setPixelSize(17);
    titleFont.setWeight(QFont::Bold);
    title_->setFont(titleFont);
    title_->setContentsMargins(20, 0, 20, 4);
    column->addWidget(title_);
    stack_ = new QStackedWidget(detail);
    column->addWidget(stack_, 1);
    split->addWidget(detail, 1);

    connect(sidebar_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) {
            selection_.reset();
        } else {
            selection_ = settings_category::allCases().at(std::size_t(row));
        }
        showSelection();
    });
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& key) {
        if (key == settings::keys::appLanguage) retranslate();
    });

    {
        const QSignalBlocker block(sidebar_);
        sidebar_->setCurrentRow(0);
    }
    retranslate();
    showSelection();
}

void SettingsView::setSelection(std::optional<SettingsCategory> category) {
    selection_ = category;
    {
        const QSignalBlocker block(sidebar_);
        if (category) {
            const auto& cases = settings_category::allCases();
            sidebar_->setCurrentRow(int(std::find(cases.begin(), cases.end(), *category) - cases.begin()));
        } else {
            sidebar_->setCurrentRow(-1);
            sidebar_->clearSelection();
        }
    }
    showSelection();
}

void SettingsView::showSelection() {
    const SettingsCategory category = shownCategory();
    auto it = pages_.find(category);
    if (it == pages_.end()) {
        QWidget* content = settings_panes::make(category);
        if (!content) content = new QWidget;  // no pane for this category yet
        content->setObjectName(settings_category::rawValue(category) + QStringLiteral("Pane"));
        auto* scroll = new QScrollArea(stack_);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(content);
        stack_->addWidget(scroll);
        it = pages_.emplace(category, scroll).first;
    }
    stack_->setCurrentWidget(it->second);
    title_->setText(title());
    setWindowTitle(title());
}

SettingsPane* SettingsView::pane(SettingsCategory category) const {
    auto it = pages_.find(category);
    if (it == pages_.end()) return nullptr;
    return qobject_cast<SettingsPane*>(static_cast<QScrollArea*>(it->second)->widget());
}

QWidget* SettingsView::currentPane() const {
    auto* scroll = static_cast<QScrollArea*>(stack_->currentWidget());
    return scroll ? scroll->widget() : nullptr;
}

QString SettingsView::title() const { return settings_category::title(shownCategory(), app_language::current()); }

void SettingsView::retranslate() {
    const AppLanguage language = app_language::current();
    const auto& cases = settings_category::allCases();
    for (int row = 0; row < sidebar_->count() && row < int(cases.size()); ++row)
        sidebar_->item(row)->setText(settings_category::title(cases[std::size_t(row)], language));
    setLocale(app_language::locale(language));
    for (auto& [category, page] : pages_)
        if (auto* p = pane(category)) p->retranslate();
    title_->setText(title());
    setWindowTitle(title());
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window that hosts the view reports itself, like a view that moved
    // into a window.
    SettingsWindow::viewDidMoveToWindow(window());
}
