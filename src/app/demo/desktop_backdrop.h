#pragma once
// For the demo on the simulated desktop: a window behind everything on each
// simulated display that draws the simulated applications' windows, so a
// screenshot shows what the bars and the constraint engine do to them.
#include <QWidget>
#include <memory>

#include "platform/displays.h"

namespace platform::sim {
class SimulatedDesktop;
}

class DesktopBackdrop : public QWidget {
    Q_OBJECT
public:
    DesktopBackdrop(std::shared_ptr<platform::sim::SimulatedDesktop> desktop, const platform::Screen& screen);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<platform::sim::SimulatedDesktop> desktop_;
    platform::Screen screen_;
};
