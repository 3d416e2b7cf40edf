#include "startmenu/start_menu_view.h"

#include <QEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QtMath>

#include "core/clock_animation.h"
#include "core/localization.h"
#include "core/selection_color.h"
#include "core/settings_model.h"
#include "platform/platform.h"
#include "startmenu/pin_row_catcher.h"
#include "startmenu/start_menu_symbols.h"
#include "startmenu/start_search_field.h"
#include "taskbar/app_icon_provider.h"
#include "taskbar/bar_style.h"

namespace {

constexpr int listPadding = 6;
constexpr int searchRowHeight = 22 + 2 * 10;
constexpr int bottomRowHeight = 28 + 2 * 6;
// The panel's faint one-pixel edge.
const QColor panelEdge(255, 255, 255, 20);

// The two dividers around the list.
void paintDividers(QPainter& p, const QColor& separator) {
    p.fillRect(QRect(0, searchRowHeight, StartMenuView::width, 1), separator);
    p.fillRect(QRect(0, StartMenuView::height - bottomRowHeight - 1, StartMenuView::width, 1), separator);
}

QFont headerFont() { return bar_style::font(11, QFont::DemiBold); }
QFont rowFont() { return bar_style::font(13); }

// The power row's buttons in declaration order, with their symbols and titles.
struct PowerItem {
    SessionAction action;
    const char* symbol;
    const char* title;
};
constexpr PowerItem powerItems[] = {
    {SessionAction::lock, "lock", QT_TRANSLATE_NOOP("Quorvel", "Lock Screen")},
    {SessionAction::sleep, "moon", QT_TRANSLATE_NOOP("Quorvel", "Sleep")},
    {SessionAction::logOut, "rectangle.portrait.and.arrow.right", QT_TRANSLATE_NOOP("Quorvel", "Log Out")},
    {SessionAction::restart, "arrow.clockwise", QT_TRANSLATE_NOOP("Quorvel", "Restart")},
    {SessionAction::shutDown, "power", QT_TRANSLATE_NOOP("Quorvel", "Shut Down")},
};

const char* const pinnedTitle = QT_TRANSLATE_NOOP("Quorvel", "Pinned");
const char* const recentTitle = QT_TRANSLATE_NOOP("Quorvel", "Recent");
const char* const allAppsTitle = QT_TRANSLATE_NOOP("Quorvel", "All Apps");

// A vertical hairline between the power buttons.
class RowDivider : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {11, 16}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRectF(5, 0, 1, 16), bar_style::currentPalette().separator);
    }
};

// The magnifying glass before the search field.
class SearchSymbol : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        start_menu_symbols::paint(p, QStringLiteral("magnifyingglass"), QRectF(rect()),
                                  bar_style::currentPalette().secondary);
    }
};

// The list with its 6-point padding around the rows. Its rows look the same
// in an active and an inactive window, so gaining or losing the activation
// (every opening does) does not repaint the whole list.
class PaddedListView : public QListView {
public:
    explicit PaddedListView(QWidget* parent) : QListView(parent) {
        setViewportMargins(listPadding, listPadding, listPadding, listPadding);
    }

protected:
    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
            return QAbstractScrollArea::viewportEvent(event);
        return QListView::viewportEvent(event);
    }
};

}  // namespace

QPalette start_menu_palette::sameWhenInactive(QPalette palette) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = QPalette::ColorRole(role);
        palette.setBrush(QPalette::Inactive, r, palette.brush(QPalette::Active, r));
    }
    return palette;
}

// ---- rows ----------------------------------------------------------------------

int StartMenuListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

const InstalledApp* StartMenuListModel::app(int r) const {
    if (r < 0 || r >= int(rows_.size()) || rows_[std::size_t(r)].app < 0) return nullptr;
    return &apps_[std::size_t(rows_[std::size_t(r)].app)];
}

QVariant StartMenuListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const Row& r = rows_[std::size_t(index.row())];
    const InstalledApp* a = app(index.row());
    switch (role) {
        case KindRole: return int(r.kind);
        case Qt::DisplayRole: return a ? a->name : tr_(r.title);
        case PathRole: return a ? a->path : QString();
        case SelectedRole: return a && selectedPath_ && *selectedPath_ == a->path;
        case DraggedRole: return a && r.kind == RowKind::pinned && draggingPath_ && *draggingPath_ == a->path;
        case OffsetRole: return a && r.kind == RowKind::pinned ? slide_.value(a->path) * slideScale_ : 0.0;
        default: return {};
    }
}

void StartMenuListModel::rebuild(const std::vector<InstalledApp>& pinned, const std::vector<InstalledApp>& recent,
                                 std::vector<InstalledApp> list, bool sections) {
    beginResetModel();
    rows_.clear();
    apps_.clear();
    rowByPath_.clear();
    apps_.reserve(pinned.size() + recent.size() + list.size());
    rows_.reserve(apps_.capacity() + 3);
    rowByPath_.reserve(qsizetype(apps_.capacity()));
    auto add = [&](const InstalledApp& a, RowKind kind) {
        rowByPath_.insert(a.path, int(rows_.size()));
        rows_.push_back(Row{kind, nullptr, int(apps_.size())});
        apps_.push_back(a);
    };
    if (sections) {
        if (!pinned.empty()) {
            rows_.push_back(Row{RowKind::header, pinnedTitle});
            for (const auto& a : pinned) add(a, RowKind::pinned);
        }
        if (!recent.empty()) {
            rows_.push_back(Row{RowKind::header, recentTitle});
            for (const auto& a : recent) add(a, RowKind::plain);
        }
        rows_.push_back(Row{RowKind::header, allAppsTitle});
    } else {
        // Unsectioned: while searching (no pinned or recent parts) or with none.
        for (const auto& a : pinned) add(a, RowKind::plain);
        for (const auto& a : recent) add(a, RowKind::plain);
    }
    for (auto& a : list) {
        rowByPath_.insert(a.path, int(rows_.size()));
        rows_.push_back(Row{RowKind::plain, nullptr, int(apps_.size())});
        apps_.push_back(std::move(a));
    }
    endResetModel();
}

int StartMenuListModel::rowOfFlatIndex(int flat) const {
    if (flat < 0 || flat >= int(apps_.size())) return -1;
    return rowOfPath(apps_[std::size_t(flat)].path);
}

int StartMenuListModel::rowOfPath(const QString& path) const { return rowByPath_.value(path, -1); }

void StartMenuListModel::refreshPath(const std::optional<QString>& path) {
    if (!path) return;
    const int r = rowOfPath(*path);
    if (r >= 0) emit dataChanged(index(r), index(r));
}

void StartMenuListModel::setSelectedPath(std::optional<QString> path) {
    if (path == selectedPath_) return;
    std::swap(path, selectedPath_);
    refreshPath(path);
    refreshPath(selectedPath_);
}

void StartMenuListModel::setDraggingPath(std::optional<QString> path) {
    if (path == draggingPath_) return;
    std::swap(path, draggingPath_);
    refreshPath(path);
    refreshPath(draggingPath_);
}

void StartMenuListModel::setSlide(QHash<QString, double> offsets, double scale) {
    slide_ = std::move(offsets);
    slideScale_ = scale;
    for (auto it = slide_.begin(); it != slide_.end(); ++it) refreshPath(it.key());
}

// ---- drawing of a row ----------------------------------------------------------

int StartMenuRowDelegate::headerHeight() { return 6 + QFontMetrics(headerFont()).height() + 1; }

QSize StartMenuRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto kind = StartMenuListModel::RowKind(index.data(StartMenuListModel::KindRole).toInt());
    const int h = kind == StartMenuListModel::RowKind::header ? headerHeight() : appRowHeight();
    return {option.rect.width(), h + rowSpacing};
}

void StartMenuRowDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto palette = bar_style::currentPalette();
    const auto kind = StartMenuListModel::RowKind(index.data(StartMenuListModel::KindRole).toInt());
    QRectF r = QRectF(option.rect).adjusted(0, 0, 0, -rowSpacing);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    if (kind == StartMenuListModel::RowKind::header) {
        p->setFont(headerFont());
        p->setPen(palette.secondary);
        p->drawText(r.adjusted(8, 6, -8, -1), Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
        p->restore();
        return;
    }
    r.translate(0, index.data(StartMenuListModel::OffsetRole).toDouble());
    const bool dragged = index.data(StartMenuListModel::DraggedRole).toBool();
    const bool selected = index.data(StartMenuListModel::SelectedRole).toBool();
    if (dragged || selected) {
        QColor fill = selection_color::currentColor(bar_style::currentAppearance());
        fill.setAlphaF(dragged ? 0.5f : 0.35f);
        QPainterPath path;
        path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        p->fillPath(path, fill);
        if (dragged) p->strokePath(path, QPen(QColor(255, 255, 255, 102), 1));
    }
    const QRectF iconRect(r.left() + 8, r.center().y() - 11, 22, 22);
    const QString path = index.data(StartMenuListModel::PathRole).toString();
    if (auto icon = AppIconProvider::shared().iconForPath(path); icon && !icon->isNull()) {
        p->setRenderHint(QPainter::SmoothPixmapTransform);
        p->drawImage(iconRect, *icon);
    } else {
        start_menu_symbols::paint(*p, QStringLiteral("app.dashed"), iconRect, palette.secondary);
    }
    p->setFont(rowFont());
    p->setPen(palette.primary);
    const QRectF textRect = r.adjusted(8 + 22 + 8, 0, -8, 0);
    const QString name = QFontMetrics(rowFont()).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                            int(textRect.width()));
    p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
    p->restore();
}

// ---- power buttons -------------------------------------------------------------

PowerButton::PowerButton(QString symbol, const char* title, QWidget* parent)
    : QAbstractButton(parent), symbol_(std::move(symbol)), title_(title) {
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(32, 28);
    setAttribute(Qt::WA_Hover);
    retranslate();
}

void PowerButton::retranslate() {
    setToolTip(tr_(title_));
    setAccessibleName(tr_(title_));
}

void PowerButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const auto palette = bar_style::currentPalette();
    if (hovering_) {
        QColor fill = palette.primary;
        fill.setAlphaF(0.1f);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        p.fillPath(path, fill);
    }
    const QRectF box(QRectF(rect()).center() - QPointF(8, 8), QSizeF(16, 16));
    start_menu_symbols::paint(p, symbol_, box, hovering_ ? palette.primary : palette.secondary);
}

void PowerButton::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PowerButton::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

// ---- the view ------------------------------------------------------------------

StartMenuView::StartMenuView(StartMenuModel& model, Callbacks callbacks, QWidget* parent)
    : QWidget(parent), model_(model), callbacks_(std::move(callbacks)) {
    setObjectName(QStringLiteral("StartMenuView"));
    setFixedSize(width, height);
    setAttribute(Qt::WA_TranslucentBackground);
    // Set before the children exist, which take it over.
    setPalette(start_menu_palette::sameWhenInactive(palette()));

    auto* symbol = new SearchSymbol(this);
    symbol->setGeometry(12, (searchRowHeight - 16) / 2, 16, 16);
    field_ = new StartSearchField(this);
    field_->setGeometry(12 + 16 + 8, 10, width - 12 - (12 + 16 + 8), 22);
    field_->setActions({
        [this](const QString& text) { handleQueryChange(text); },
        [this] { model_.moveSelection(+1); },
        [this] { model_.moveSelection(-1); },
        [this] { launchSelection(); },
        [this] {
            if (callbacks_.onClose) callbacks_.onClose();
        },
    });
    field_->requestFocusSoon();

    rows_ = new StartMenuListModel(this);
    list_ = new PaddedListView(this);
    list_->setObjectName(QStringLiteral("StartMenuList"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setAttribute(Qt::WA_TranslucentBackground);
    list_->viewport()->setAutoFillBackground(false);
    list_->setAutoFillBackground(false);
    list_->setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    list_->setItemDelegate(new StartMenuRowDelegate(list_));
    list_->setModel(rows_);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setGeometry(0, searchRowHeight + 1, width, height - searchRowHeight - bottomRowHeight - 2);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) {
        // A plain row launches at once; pinned rows answer through their catcher.
        const auto& r = rows_->row(index.row());
        if (r.kind != StartMenuListModel::RowKind::plain) return;
        if (const InstalledApp* a = rows_->app(index.row()); a && callbacks_.onLaunch) callbacks_.onLaunch(*a);
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = list_->indexAt(pos);
        if (index.isValid()) showRowMenu(index.row(), list_->viewport()->mapToGlobal(pos));
    });

    emptyLabel_ = new QLabel(list_);
    emptyLabel_->setAlignment(Qt::AlignCenter);
    emptyLabel_->setGeometry(list_->rect());
    emptyLabel_->hide();

    bottomRow_ = new QWidget(this);
    bottomRow_->setGeometry(0, height - bottomRowHeight, width, bottomRowHeight);
    for (const auto& item : powerItems) {
        if (item.action == SessionAction::logOut) powerDividers_.push_back(new RowDivider(bottomRow_));
        auto* button = new PowerButton(QString::fromLatin1(item.symbol), item.title, bottomRow_);
        const SessionAction action = item.action;
        connect(button, &QAbstractButton::clicked, this, [this, action] {
            if (callbacks_.onSession) callbacks_.onSession(action);
        });
        powerButtons_.push_back(button);
    }
    settingsButton_ = new PowerButton(QStringLiteral("gearshape"), QT_TRANSLATE_NOOP("Quorvel", "Settings"), bottomRow_);
    connect(settingsButton_, &QAbstractButton::clicked, this, [this] { openSettingsFromMenu(); });
    layoutBottomRow();

    // The rows follow the inputs of the derived lists; the selection only recolours.
    for (auto signal : {&StartMenuModel::appsChanged, &StartMenuModel::isLoadingAppsChanged, &StartMenuModel::queryChanged})
        connect(&model_, signal, this, [this] { rebuild(); });
    connect(model_.pinStore(), &LauncherPinStore::pinnedPathsChanged, this, [this] { rebuild(); });
    connect(model_.recentsStore(), &LauncherRecentsStore::pathsChanged, this, [this] { rebuild(); });
    connect(&model_, &StartMenuModel::selectionChanged, this, [this] { selectionChanged(); });
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this,
            [this](const QString& key) { settingChanged(key); });
    QPointer<StartMenuView> self(this);
    appearanceToken_ = platform::application().addObserver([self] {
        if (!self) return;
        self->field_->applyColors();
        self->update();
        self->list_->viewport()->update();
    });
    // A compositor that starts or stops changes how the panel's shape is drawn.
    compositorObservation_ = std::make_unique<platform::CompositorObservation>([self] {
        if (self) self->update();
    });
    retranslate();
    rebuild();
}

StartMenuView::~StartMenuView() {
    if (scroll_) scroll_->stop();
    if (slide_) slide_->stop();
    if (platform::isInstalled()) platform::application().removeObserver(appearanceToken_);
}

void StartMenuView::detach() {
    disconnect(&model_, nullptr, this, nullptr);
    disconnect(model_.pinStore(), nullptr, this, nullptr);
    disconnect(model_.recentsStore(), nullptr, this, nullptr);
    setEnabled(false);
}

void StartMenuView::prepareForOpening() {
    if (rowMenu_) rowMenu_->close();
    if (draggingPath_) {
        draggingPath_.reset();
        rows_->setDraggingPath(std::nullopt);
    }
    // The model is reset by its owner; the field shows what it holds.
    if (!field_->text().isEmpty()) field_->clear();
    if (model_.query() != QString()) model_.setQuery({});
    if (model_.selection() != 0) model_.setSelection(0);
    if (scroll_) scroll_->stop();
    list_->verticalScrollBar()->setValue(0);
    field_->requestFocusSoon();
}

bool StartMenuView::isScrolling() const { return scroll_ && scroll_->isRunning(); }

void StartMenuView::layoutBottomRow() {
    const bool showPower = settings::readBool(settings::keys::startMenuShowPowerRow);
    const int top = 6;
    int x = 8;
    std::size_t divider = 0;
    for (std::size_t i = 0; i < powerButtons_.size(); ++i) {
        if (powerItems[i].action == SessionAction::logOut) {
            QWidget* d = powerDividers_[divider++];
            d->setGeometry(x, top + 6, 11, 16);
            d->setVisible(showPower);
            x += 11 + 2;
        }
        powerButtons_[i]->move(x, top);
        powerButtons_[i]->setVisible(showPower);
        x += 32 + 2;
    }
    settingsButton_->move(width - 8 - 32, top);
}

void StartMenuView::settingChanged(const QString& key) {
    if (key == settings::keys::startMenuShowPowerRow) layoutBottomRow();
    else if (key == settings::keys::appLanguage) retranslate();
    else if (key == settings::keys::appearanceSelectionColor) list_->viewport()->update();
}

void StartMenuView::retranslate() {
    field_->updatePlaceholder();
    for (auto* b : powerButtons_) b->retranslate();
    settingsButton_->retranslate();
    emptyLabel_->setText(model_.isLoadingApps() ? tr_("Loading apps…") : tr_("No results"));
    list_->viewport()->update();
}

void StartMenuView::rebuild() {
    const auto pinned = model_.pinnedApps();
    const auto recent = model_.recentApps();
    auto listed = model_.listApps();
    const bool sections = !model_.isSearching() && (!pinned.empty() || !recent.empty());
    rows_->rebuild(pinned, recent, std::move(listed), sections);
    const bool empty = rows_->flatCount() == 0;
    QPalette pal = emptyLabel_->palette();
    pal.setColor(QPalette::WindowText, bar_style::currentPalette().secondary);
    emptyLabel_->setPalette(pal);
    emptyLabel_->setFont(rowFont());
    emptyLabel_->setText(model_.isLoadingApps() ? tr_("Loading apps…") : tr_("No results"));
    emptyLabel_->setVisible(empty);
    list_->viewport()->setVisible(!empty);
    const int flat = model_.selection();
    rows_->setSelectedPath(flat >= 0 && flat < rows_->flatCount()
                               ? std::optional(rows_->app(rows_->rowOfFlatIndex(flat))->path)
                               : std::nullopt);
    if (draggingPath_ && rows_->rowOfPath(*draggingPath_) < 0) rows_->setDraggingPath(std::nullopt);
    else rows_->setDraggingPath(draggingPath_);
    list_->doItemsLayout();
    placeCatchers();
}

void StartMenuView::placeCatchers() {
    QSet<QString> keep;
    for (int r = 0; r < rows_->rowCount(); ++r) {
        const auto& row = rows_->row(r);
        if (row.kind == StartMenuListModel::RowKind::header) continue;
        if (row.kind != StartMenuListModel::RowKind::pinned) break;  // pinned rows come first
        const InstalledApp app = *rows_->app(r);
        keep.insert(app.path);
        RowCatcherView* catcher = catchers_.value(app.path);
        if (!catcher) {
            catcher = new RowCatcherView(list_->viewport());
            catchers_.insert(app.path, catcher);
        }
        const QString path = app.path;
        QPointer<StartMenuView> self(this);
        catcher->setRow(path, {
            [self, app] {
                if (self && self->callbacks_.onLaunch) self->callbacks_.onLaunch(app);
            },
            [self, path] {
                if (self) self->model_.pinStore()->toggle(path);
            },
            [self](const QString& dragged, const QString& target) {
                if (self) self->reorderPinned(dragged, target);
            },
            [self, path] {
                if (!self) return;
                self->draggingPath_ = path;
                self->rows_->setDraggingPath(path);
            },
            [self] {
                if (!self) return;
                self->draggingPath_.reset();
                self->rows_->setDraggingPath(std::nullopt);
            },
        });
        const QRect rect = list_->visualRect(rows_->index(r)).adjusted(0, 0, 0, -StartMenuRowDelegate::rowSpacing);
        if (catcher->geometry() != rect) catcher->setGeometry(rect);
        catcher->show();
    }
    for (auto it = catchers_.begin(); it != catchers_.end();) {
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        RowCatcherView* gone = it.value();
        it = catchers_.erase(it);
        // Later: the catcher may be inside its own drag or its menu's action.
        gone->hide();
        gone->setRow(std::nullopt, {});
        gone->deleteLater();
    }
}

void StartMenuView::handleQueryChange(const QString& text) {
    model_.setQuery(text);
    if (model_.selection() != 0) model_.setSelection(0);
}

void StartMenuView::launchSelection() {
    if (auto app = model_.selectedApp(); app && callbacks_.onLaunch) callbacks_.onLaunch(*app);
}

void StartMenuView::selectionChanged() {
    const int flat = model_.selection();
    const int r = rows_->rowOfFlatIndex(flat);
    rows_->setSelectedPath(r >= 0 ? std::optional(rows_->app(r)->path) : std::nullopt);
    scrollToSelection();
}

void StartMenuView::scrollToSelection() {
    const auto app = model_.selectedApp();
    if (!app) return;
    const int r = rows_->rowOfPath(app->path);
    if (r < 0) return;
    QScrollBar* bar = list_->verticalScrollBar();
    const int from = bar->value();
    list_->scrollTo(rows_->index(r), QAbstractItemView::PositionAtCenter);
    const int to = bar->value();
    bar->setValue(from);
    if (scroll_) scroll_->stop();
    if (to == from) return;
    QPointer<QScrollBar> target(bar);
    scroll_ = motion::ClockAnimation::linear(0.08, [target, from, to](double v) {
        if (target) target->setValue(from + int(std::lround((to - from) * v)));
    });
}

void StartMenuView::reorderPinned(const QString& dragged, const QString& target) {
    // Where each pinned row stands now, so it can slide from there.
    QHash<QString, int> before;
    for (const auto& path : model_.pinStore()->pinnedPaths())
        if (int r = rows_->rowOfPath(path); r >= 0) before.insert(path, list_->visualRect(rows_->index(r)).top());
    model_.pinStore()->move(dragged, target);
    QHash<QString, double> offsets;
    for (auto it = before.begin(); it != before.end(); ++it)
        if (int r = rows_->rowOfPath(it.key()); r >= 0) {
            const int delta = it.value() - list_->visualRect(rows_->index(r)).top();
            if (delta != 0) offsets.insert(it.key(), delta);
        }
    if (slide_) slide_->stop();
    if (offsets.isEmpty()) return;
    rows_->setSlide(offsets, 1.0);
    QPointer<StartMenuListModel> rows(rows_);
    slide_ = motion::ClockAnimation::spring({0.18, 0.85}, [rows, offsets](double v) {
        if (rows) rows->setSlide(offsets, 1.0 - v);
    });
}

void StartMenuView::openSettingsFromMenu() {
    // The menu's display, read before the close clears it.
    const auto display = callbacks_.presentedScreenID ? callbacks_.presentedScreenID() : std::nullopt;
    const auto open = callbacks_.openSettings;
    if (callbacks_.onClose) callbacks_.onClose();
    if (open) open(display);
}

void StartMenuView::showRowMenu(int row, QPoint globalPos) {
    const InstalledApp* a = rows_->app(row);
    if (!a) return;
    // A pinned row's own catcher offers only "Unpin from Start".
    if (rows_->row(row).kind == StartMenuListModel::RowKind::pinned) return;
    const QString path = a->path;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool pinned = model_.pinStore()->pinnedPaths().contains(path);
    QPointer<StartMenuView> self(this);
    menu->addAction(pinned ? tr_("Unpin from Start") : tr_("Pin to Start"), this, [self, path] {
        if (self) self->model_.pinStore()->toggle(path);
    });
    rowMenu_ = menu;
    menu->popup(globalPos);
}

void StartMenuView::paintEvent(QPaintEvent*) {
    const auto palette = bar_style::currentPalette();
    QPainter p(this);
    if (!bar_style::composited()) {
        // Nothing blends: a transparent corner would show black, so the
        // panel fills its whole square in the same colour, opaque, with its
        // edge (plain rectangles: an antialiased outline costs most of a
        // paint for the same pixels).
        background_ = QImage();
        const QRect r = rect();
        p.fillRect(r, palette.windowBackground);
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), panelEdge);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), panelEdge);
        p.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), panelEdge);
        p.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), panelEdge);
        paintDividers(p, palette.separator);
        return;
    }
    // The rounded shape is drawn once for the size, the pixel ratio and the
    // colours, and copied by every paint.
    const BackgroundKey key{size(), devicePixelRatioF(), palette.windowBackground.rgba(), palette.separator.rgba()};
    if (background_.isNull() || key != backgroundKey_) {
        QImage image(key.size * key.ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(key.ratio);
        image.fill(Qt::transparent);
        QPainter ip(&image);
        ip.setRenderHint(QPainter::Antialiasing);
        // A rounded, nearly opaque panel; the compositor blends its corners
        // and its fill with the desktop behind it.
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
        QColor material = palette.windowBackground;
        material.setAlphaF(0.96f);
        ip.fillPath(shape, material);
        ip.strokePath(shape, QPen(panelEdge, 1));
        paintDividers(ip, palette.separator);
        ip.end();
        background_ = std::move(image);
        backgroundKey_ = key;
    }
    p.drawImage(QPoint(0, 0), background_);
}

void StartMenuView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeCatchers();
}
