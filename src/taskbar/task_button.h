#pragma once
// One button of the task strip: the application's icon, optionally a label
// and a window-count badge, the unread and running dots, and the active or
// dragged outline. Mouse input arrives through the catcher laid over the
// button's own rectangle. The widget itself is as tall as the strip, because
// the running dot hangs below the button's rectangle.
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

#include "taskbar/mouse_catcher.h"
#include "windows/window_types.h"

class PinStore;
class WindowService;

// The settings a task button follows.
struct TaskButtonSettings {
    bool clickActiveHides = true;
    bool showUnreadBadge = true;
    bool showRunningIndicator = true;
    QString barHeightRaw = QStringLiteral("medium");
    QString selectionColorRaw = QStringLiteral("blue");

    static TaskButtonSettings read();
    friend bool operator==(const TaskButtonSettings&, const TaskButtonSettings&) = default;
};

class TaskButtonView : public QWidget {
    Q_OBJECT
public:
    static constexpr double cornerRadius = 6;
    static constexpr double stackSpacing = 5;
    static constexpr double dimmedOpacity = 0.6;

    TaskButtonView(std::shared_ptr<WindowService> service, PinStore* pinStore, MouseCatcher::Reorder onReorder,
                   QWidget* parent = nullptr);
    ~TaskButtonView() override;

    // Takes a new description; repaints only when something drawn changed.
    // Returns true when the button's width changed.
    bool setContent(const TaskButtonItem& item, double labelCap, bool showLabel, double iconSize,
                    const TaskButtonSettings& settings);
    // Re-reads whether the pin store names this button as dragged.
    void refreshDragState();

    const TaskButtonItem& item() const { return item_; }
    bool showsLabel() const { return showLabel_; }
    double labelCap() const { return labelCap_; }
    double iconSize() const { return iconSize_; }
    bool isDragged() const { return dragged_; }
    // The label text: the item's label, or the bundle's display name.
    QString labelText() const;
    // The natural width of the button.
    int naturalWidth() const { return naturalWidth_; }
    // The button's own rounded rectangle inside the widget.
    QRectF buttonRect() const;
    CatcherView* catcher() const { return catcher_; }
    // How many times the button was painted (tests count repaints).
    int paintCount() const { return paintCount_; }

    // What the catcher is given.
    void clickAction();
    std::vector<TaskMenuAction> windowListEntries() const;
    std::vector<TaskMenuAction> contextMenuEntries() const;

    // The button leaves the strip: a drag that it is carrying ends, and the
    // dragged identifier is cleared when this button is the one dragged.
    void retire();

    // Opens an application that does not run: through the workspace while
    // the window service runs and the application can be found, else the
    // alert that offers to unpin it. A launch that fails later beeps.
    static void openNotRunning(const QString& bundleID, const QString& displayName,
                               const std::shared_ptr<WindowService>& service, PinStore* pinStore);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyBridge();
    void reloadIcon();
    int computeNaturalWidth() const;
    double buttonHeight() const;

    std::shared_ptr<WindowService> service_;
    PinStore* pinStore_;
    MouseCatcher::Reorder onReorder_;
    CatcherView* catcher_;

    TaskButtonItem item_{QString(), TaskButtonKind::app(0), 0, std::nullopt, QString(), 0, false, false, false, false, false};
    double labelCap_ = 0;
    bool showLabel_ = false;
    double iconSize_ = 18;
    TaskButtonSettings settings_;
    bool hasContent_ = false;
    bool dragged_ = false;
    bool retired_ = false;
    std::optional<QImage> icon_;
    QString labelText_;
    int naturalWidth_ = 0;
    int paintCount_ = 0;
};
