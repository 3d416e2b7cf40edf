#pragma once
// What fills the start-menu panel, top to bottom: the search row, the list of
// applications (pinned, recent and all, or the search results) and the bottom
// row with the power buttons and the Settings button.
//
// The list is a QListView over a model whose rows are section headers and
// applications; rows are drawn by a delegate only when they are in view, so
// a list of 20,000 applications costs no more to draw than one of 20. The
// selection lives in the start-menu model, not in the view's selection, and
// the search field keeps the keyboard focus throughout.
#include <QAbstractButton>
#include <QAbstractListModel>
#include <QHash>
#include <QPalette>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/compositor.h"
#include "platform/displays.h"
#include "startmenu/start_menu_data.h"

class QLabel;
class QListView;
#include <QMenu>
class RowCatcherView;
class StartSearchField;
namespace motion {
class ClockAnimation;
}

namespace start_menu_palette {
// The palette with its inactive colours made the active ones: Qt repaints a
// widget whose palette differs between the two whenever its window gains or
// loses the activation, and the menu looks the same either way.
QPalette sameWhenInactive(QPalette palette);
}  // namespace start_menu_palette

// The rows of the list: headers and applications, rebuilt from the model's
// three derived lists whenever one of its inputs changes.
class StartMenuListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum class RowKind { header, pinned, plain };
    enum Role { KindRole = Qt::UserRole + 1, PathRole, SelectedRole, DraggedRole, OffsetRole };
    struct Row {
        RowKind kind;
        const char* title = nullptr;  // header: English key
        int app = -1;                 // index into apps()
    };

    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Replaces every row; the flat list (the selection's index space) is
    // pinned, then recent, then the list.
    void rebuild(const std::vector<InstalledApp>& pinned, const std::vector<InstalledApp>& recent,
                 std::vector<InstalledApp> list, bool sections);
    const Row& row(int i) const { return rows_[std::size_t(i)]; }
    const InstalledApp* app(int row) const;
    int rowOfFlatIndex(int flat) const;
    int rowOfPath(const QString& path) const;
    int flatCount() const { return int(apps_.size()); }
    void setSelectedPath(std::optional<QString> path);
    void setDraggingPath(std::optional<QString> path);
    // How far a pinned row is drawn from its place while it slides into it.
    void setSlide(QHash<QString, double> offsets, double scale);

private:
    void refreshPath(const std::optional<QString>& path);
    std::vector<Row> rows_;
    std::vector<InstalledApp> apps_;
    QHash<QString, int> rowByPath_;
    std::optional<QString> selectedPath_;
    std::optional<QString> draggingPath_;
    QHash<QString, double> slide_;
    double slideScale_ = 0;
};

class StartMenuRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int rowSpacing = 2;
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    static int headerHeight();
    static int appRowHeight() { return 32; }
};

// A symbol button of the bottom row: 32 by 28, its symbol in the secondary
// colour, in the primary one on a faint rounded background while hovered.
class PowerButton : public QAbstractButton {
    Q_OBJECT
public:
    PowerButton(QString symbol, const char* title, QWidget* parent = nullptr);
    void retranslate();
    bool isHovering() const { return hovering_; }
    const QString& symbol() const { return symbol_; }
    QSize sizeHint() const override { return {32, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString symbol_;
    const char* title_;
    bool hovering_ = false;
};

class StartMenuView : public QWidget {
    Q_OBJECT
public:
    static constexpr int width = 360;
    static constexpr int height = 420;

    struct Callbacks {
        std::function<void(const InstalledApp&)> onLaunch;
        std::function<void()> onClose;
        std::function<void(SessionAction)> onSession;
        // Opens the settings window on a display (none: the pointer's display).
        std::function<void(std::optional<platform::DisplayID>)> openSettings;
        // The display of the open menu, read before the menu closes.
        std::function<std::optional<platform::DisplayID>()> presentedScreenID;
    };

    StartMenuView(StartMenuModel& model, Callbacks callbacks, QWidget* parent = nullptr);
    ~StartMenuView() override;

    // ---- parts, for tests and the panel
    StartSearchField* searchField() const { return field_; }
    QListView* list() const { return list_; }
    StartMenuListModel* listModel() const { return rows_; }
    QLabel* emptyLabel() const { return emptyLabel_; }
    std::vector<PowerButton*> powerButtons() const { return powerButtons_; }
    PowerButton* settingsButton() const { return settingsButton_; }
    RowCatcherView* catcher(const QString& path) const { return catchers_.value(path); }
    QMenu* rowMenu() const { return rowMenu_; }
    const std::optional<QString>& draggingPath() const { return draggingPath_; }
    bool isScrolling() const;

    // Stops following the model and the stores (a closed menu fading out,
    // whose model serves the next opening).
    void detach();
    // Back to an opening's first state, for a panel shown again: no text, no
    // drag, no row menu, the list at its top, the field about to take the focus.
    void prepareForOpening();
    StartMenuModel& model() const { return model_; }

    // The view's actions (the search field and the rows call them).
    void handleQueryChange(const QString& text);
    void launchSelection();
    void reorderPinned(const QString& dragged, const QString& target);
    void openSettingsFromMenu();
    void showRowMenu(int row, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();
    void selectionChanged();
    void scrollToSelection();
    void placeCatchers();
    void settingChanged(const QString& key);
    void retranslate();
    void layoutBottomRow();

    StartMenuModel& model_;
    Callbacks callbacks_;
    StartSearchField* field_ = nullptr;
    QListView* list_ = nullptr;
    StartMenuListModel* rows_ = nullptr;
    QLabel* emptyLabel_ = nullptr;
    QWidget* bottomRow_ = nullptr;
    std::vector<PowerButton*> powerButtons_;
    std::vector<QWidget*> powerDividers_;
    PowerButton* settingsButton_ = nullptr;
    QHash<QString, RowCatcherView*> catchers_;
    QPointer<QMenu> rowMenu_;
    std::optional<QString> draggingPath_;
    std::shared_ptr<motion::ClockAnimation> scroll_;
    std::shared_ptr<motion::ClockAnimation> slide_;
    int appearanceToken_ = 0;
    std::unique_ptr<platform::CompositorObservation> compositorObservation_;
    // Under a compositor, the rounded shape with its edge and dividers,
    // drawn once for what it depends on: antialiased, it would cost most of
    // every paint.
    struct BackgroundKey {
        QSize size;
        qreal ratio = 1;
        QRgb fill = 0, separator = 0;
        bool operator==(const BackgroundKey&) const = default;
    };
    QImage background_;
    BackgroundKey backgroundKey_;
};
