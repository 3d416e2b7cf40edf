#pragma once
// One bar: a frameless, non-activating top-level window along the bottom
// edge of one display. It never takes the keyboard focus and stays above
// normal windows.
#include <QWidget>

#include "platform/displays.h"

class BarPanel : public QWidget {
    Q_OBJECT
public:
    explicit BarPanel(platform::DisplayID displayID = 0, QWidget* parent = nullptr);

    platform::DisplayID displayID() const { return displayID_; }
    void setDisplayID(platform::DisplayID id) { displayID_ = id; }

    // Makes `view` the panel's content, filling it; null removes the content.
    void setContentView(QWidget* view);
    QWidget* contentView() const { return content_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    platform::DisplayID displayID_;
    QWidget* content_ = nullptr;
};
