#pragma once
// The last element of the task strip when not every running button fits:
// "»" with the number of hidden items; a left click lists them in a menu.
#include <QWidget>
#include <memory>
#include <vector>

#include "taskbar/mouse_catcher.h"
#include "windows/window_types.h"

class PinStore;
class WindowService;

class OverflowButtonView : public QWidget {
    Q_OBJECT
public:
    static constexpr double padding = 5;
    static constexpr double spacing = 5;

    OverflowButtonView(std::shared_ptr<WindowService> service, PinStore* pinStore, QWidget* parent = nullptr);

    // Takes the hidden items and sizes; repaints only on a change. Returns
    // true when the button's width changed.
    bool setContent(const std::vector<TaskButtonItem>& items, double iconSize, double buttonHeight);

    const std::vector<TaskButtonItem>& items() const { return items_; }
    int naturalWidth() const { return naturalWidth_; }
    QRectF buttonRect() const;
    CatcherView* catcher() const { return catcher_; }
    int paintCount() const { return paintCount_; }

    // One entry per hidden item, in strip order.
    std::vector<TaskMenuAction> menuEntries() const;
    // The name an item is listed under (without its window count).
    static QString entryName(const TaskButtonItem& item);
    // What choosing an item does.
    static void itemAction(const TaskButtonItem& item, const QString& name,
                           const std::shared_ptr<WindowService>& service, PinStore* pinStore);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int computeNaturalWidth() const;
    // The tool tip in the language chosen now.
    void retranslate();

    std::shared_ptr<WindowService> service_;
    PinStore* pinStore_;
    CatcherView* catcher_;
    std::vector<TaskButtonItem> items_;
    double iconSize_ = 18;
    double buttonHeight_ = 34;
    bool hasContent_ = false;
    int naturalWidth_ = 0;
    int paintCount_ = 0;
};
