#include "settings/settings_view.h"

#include <QEvent>
#include <QHBoxLayout>
#include <algorithm>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "platform/platform.h"
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
    sidebar_->setIconSize(QSize(20, 20));
    sidebar_->setSpacing(2);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (auto category : settings_category::allCases()) {
        auto* item = new QListWidgetItem(categoryBadge(category), QString(), sidebar_);
        item->setData(Qt::UserRole, settings_category::rawValue(category));
        item->setSizeHint(QSize(sidebarWidth - rowInset, 30));
    }
    sidebar_->setFixedWidth(sidebarWidth);
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

    // The selection, not the current row, is what the person chose: a
    // Ctrl+click on the selected row clears it and leaves the row current.
    auto followSidebar = [this] {
        const QList<QListWidgetItem*> selected = sidebar_->selectedItems();
        std::optional<SettingsCategory> chosen;
        if (!selected.isEmpty() && sidebar_->currentRow() >= 0)
            chosen = settings_category::allCases().at(std::size_t(sidebar_->row(selected.first())));
        if (chosen == selection_) return;
        selection_ = chosen;
        showSelection();
    };
    connect(sidebar_, &QListWidget::currentRowChanged, this, followSidebar);
    connect(sidebar_, &QListWidget::itemSelectionChanged, this, followSidebar);
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& key) {
        if (key == settings::keys::appLanguage) retranslate();
    });

    {
        const QSignalBlocker block(sidebar_);
        sidebar_->setCurrentRow(0);
    }
    appearanceObserver_ = platform::application().addObserver([self = QPointer<SettingsView>(this)] {
        if (self) self->applyAppearance();
    });
    applyAppearance();
    retranslate();
    showSelection();
}

SettingsView::~SettingsView() {
    if (appearanceObserver_ && platform::isInstalled()) platform::application().removeObserver(appearanceObserver_);
}

void SettingsView::applyAppearance() {
    const bool dark = platform::application().effectiveAppearance() == platform::Appearance::darkAqua;
    QPalette pal;
    const QColor accent = platform::application().accentColor();
    if (dark) {
        const QColor window(40, 40, 42), base(62, 62, 66), text(236, 236, 236), button(58, 58, 60);
        pal.setColor(QPalette::Window, window);
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::Base, base);
        pal.setColor(QPalette::AlternateBase, QColor(52, 52, 55));
        pal.setColor(QPalette::Text, text);
        pal.setColor(QPalette::Button, button);
        pal.setColor(QPalette::ButtonText, text);
        pal.setColor(QPalette::Light, QColor(80, 80, 84));
        pal.setColor(QPalette::Midlight, QColor(66, 66, 70));
        pal.setColor(QPalette::Mid, QColor(72, 72, 76));
        pal.setColor(QPalette::Dark, QColor(20, 20, 22));
        pal.setColor(QPalette::Shadow, Qt::black);
        pal.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
        pal.setColor(QPalette::ToolTipBase, button);
        pal.setColor(QPalette::ToolTipText, text);
        pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
        pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
        pal.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 120));
    } else {
        const QColor window(236, 236, 236), text(28, 28, 30);
        pal.setColor(QPalette::Window, window);
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::Base, Qt::white);
        pal.setColor(QPalette::AlternateBase, QColor(246, 246, 246));
        pal.setColor(QPalette::Text, text);
        pal.setColor(QPalette::Button, QColor(250, 250, 250));
        pal.setColor(QPalette::ButtonText, text);
        pal.setColor(QPalette::Light, Qt::white);
        pal.setColor(QPalette::Midlight, QColor(245, 245, 245));
        pal.setColor(QPalette::Mid, QColor(200, 200, 204));
        pal.setColor(QPalette::Dark, QColor(160, 160, 164));
        pal.setColor(QPalette::Shadow, QColor(120, 120, 120));
        pal.setColor(QPalette::PlaceholderText, QColor(128, 128, 128));
        pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(160, 160, 160));
        pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(160, 160, 160));
        pal.setColor(QPalette::Disabled, QPalette::Text, QColor(160, 160, 160));
    }
    pal.setColor(QPalette::Highlight, accent.isValid() ? accent : QColor(0, 122, 255));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    // The sidebar sits on a slightly different shade, as a source list does.
    QPalette side = pal;
    side.setColor(QPalette::Base, dark ? QColor(50, 50, 53) : QColor(226, 226, 228));
    sidebar_->setPalette(side);
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
        scroll->setFocusPolicy(Qt::NoFocus);
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
    fitSidebar();
}

int SettingsView::sidebarWidthFor(const QFontMetrics& metrics, const QStringList& titles) {
    int widest = 0;
    for (const QString& t : titles) widest = std::max(widest, metrics.horizontalAdvance(t));
    // Row inset, the badge and the gaps around it and after the text.
    const int needed = rowInset + 8 + 20 + 8 + widest + 12;
    return std::clamp(needed, int(sidebarWidth), int(sidebarMaximumWidth));
}

void SettingsView::fitSidebar() {
    QStringList titles;
    for (int row = 0; row < sidebar_->count(); ++row) titles << sidebar_->item(row)->text();
    const int width = sidebarWidthFor(sidebar_->fontMetrics(), titles);
    for (int row = 0; row < sidebar_->count(); ++row) sidebar_->item(row)->setSizeHint(QSize(width - rowInset, 30));
    sidebar_->setFixedWidth(width);
}

void SettingsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && sidebar_) fitSidebar();
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window that hosts the view reports itself, like a view that moved
    // into a window.
    SettingsWindow::viewDidMoveToWindow(window());
}
