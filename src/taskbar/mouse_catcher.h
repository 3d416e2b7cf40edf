#pragma once
// The event layer over a task button: tells a click from a drag, pops the
// button's menus at the pointer, and finds the button under the pointer while
// another one is dragged. The owner describes what it wants in a
// `MouseCatcher` value and applies it to its `CatcherView` on every rebuild;
// a press in progress survives that.
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "windows/window_types.h"

class QMenu;

struct MouseCatcher {
    using MenuProvider = std::function<std::vector<TaskMenuAction>()>;
    using Reorder = std::function<void(const QString& dragged, const QString& target)>;

    std::function<void()> onLeftClick;
    MenuProvider leftMenu;
    MenuProvider menu;
    std::optional<QString> dragBundleID;
    Reorder onReorder;
    std::function<void()> onDragBegan;
    std::function<void()> onDragEnded;
};

class CatcherView : public QWidget {
    Q_OBJECT
public:
    // More than this sum of horizontal and vertical travel makes a drag.
    static constexpr double dragThreshold = 4;

    explicit CatcherView(QWidget* parent = nullptr);
    ~CatcherView() override;

    // Copies the callbacks, providers and bundle identifier; the state of a
    // press and the last menu's entries are kept.
    void apply(const MouseCatcher& bridge);

    const std::optional<QString>& bundleID() const { return bundleID_; }
    bool isPressed() const { return mouseDownPoint_.has_value(); }
    bool isDragging() const { return didDrag_; }

    // Ends a press whose release will never come (the grab was lost or the
    // view is going away): a drag reports its end, a click is dropped.
    void cancelPress();

    // The entries of the menu shown last, and that menu while it is open.
    const std::vector<TaskMenuAction>& actions() const { return actions_; }
    QMenu* lastMenu() const;
    // Runs the entry with this index of the last menu; out of range: nothing.
    void fire(int tag);

    // The catcher under a point of the top-level window, with the horizontal
    // middle of its bounds in window coordinates; none when there is no
    // catcher there or it carries no bundle identifier.
    struct Hit {
        QString bundleID;
        double midX = 0;
    };
    static std::optional<Hit> catcherAt(QWidget* window, const QPointF& windowPoint);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    void showMenu(std::vector<TaskMenuAction> actions, const QPoint& globalPos, const QPoint& localPos);

    std::function<void()> onLeftClick_;
    MouseCatcher::MenuProvider leftMenuProvider_;
    MouseCatcher::MenuProvider menuProvider_;
    std::vector<TaskMenuAction> actions_;
    std::optional<QString> bundleID_;
    MouseCatcher::Reorder onReorder_;
    std::function<void()> onDragBegan_;
    std::function<void()> onDragEnded_;
    std::optional<QPointF> mouseDownPoint_;
    bool didDrag_ = false;
    std::optional<double> lastDragX_;
    QPointer<QMenu> lastMenu_;
};
