#pragma once
// For the demo on the simulated desktop: a window behind everything on each
// simulated display that draws the simulated applications' windows, so a
// screenshot shows what the bars and the constraint engine do to them.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/displays.h"

namespace platform::sim {
class SimulatedDesktop;
}

class DesktopBackdrop : public QWidget {
    Q_OBJECT
public:
    DesktopBackdrop(std::shared_ptr<platform::sim::SimulatedDesktop> desktop, const platform::Screen& screen);

    // What a paint would draw, in drawing order; a repaint happens only when it changed.
    struct DrawnWindow {
        std::uint64_t id = 0;
        double x = 0, y = 0, width = 0, height = 0;
        bool focused = false;
        QString caption;
        friend bool operator==(const DrawnWindow&, const DrawnWindow&) = default;
    };
    std::vector<DrawnWindow> visibleWindows() const;
    int paintCount() const { return paints_; }

    // Repaints when the simulated windows changed since the last look.
    void refreshIfChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<DrawnWindow> drawn_;
    int paints_ = 0;
    std::shared_ptr<platform::sim::SimulatedDesktop> desktop_;
    platform::Screen screen_;
};
