#pragma once
// A transparent view laid over a row of the "Pinned" section. A press and a
// release inside the row launch; a drag of more than four points (the sum of
// the two axis distances) reorders the pins as the pointer crosses the middle
// of another pinned row in the direction it moves; a right click offers
// "Unpin from Start". It never takes the keyboard focus, so the search field
// keeps it while rows are clicked or dragged.
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

#include <QMenu>

class RowCatcherView : public QWidget {
    Q_OBJECT
public:
    static constexpr double dragThreshold = 4;

    struct Actions {
        std::function<void()> onLaunch;
        std::function<void()> onUnpin;
        std::function<void(const QString& dragged, const QString& target)> onReorder;
        std::function<void()> onDragBegan;
        std::function<void()> onDragEnded;
    };

    explicit RowCatcherView(QWidget* parent = nullptr);
    // Copies the row's path and the actions in; the press state stays.
    void setRow(std::optional<QString> path, Actions actions);
    const std::optional<QString>& path() const { return path_; }
    bool isDragging() const { return didDrag_; }
    // The context menu of the last right click (tests).
    QMenu* contextMenu() const { return menu_; }

    // The pinned row under a point of the window: its path and the vertical
    // middle of that row, in window coordinates.
    struct RowHit {
        QString path;
        double midY = 0;
    };
    static std::optional<RowHit> rowUnderPointer(QWidget* window, QPoint windowPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void unpin();

    std::optional<QString> path_;
    Actions actions_;
    std::optional<QPointF> mouseDownPoint_;
    bool didDrag_ = false;
    std::optional<double> lastDragY_;
    QPointer<QMenu> menu_;
};
