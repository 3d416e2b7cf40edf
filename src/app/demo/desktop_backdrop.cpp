#include "app/demo/desktop_backdrop.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <map>

#include "platform/sim/simulated_desktop.h"

DesktopBackdrop::DesktopBackdrop(std::shared_ptr<platform::sim::SimulatedDesktop> desktop,
                                 const platform::Screen& screen)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::WindowDoesNotAcceptFocus),
      desktop_(std::move(desktop)),
      screen_(screen) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(int(screen.bounds.origin.x), int(screen.bounds.origin.y), int(screen.bounds.size.width),
                int(screen.bounds.size.height));
    // The simulated windows move on their own. Looking at them a few times a
    // second is cheap; painting is not, so only a change repaints.
    drawn_ = visibleWindows();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DesktopBackdrop::refreshIfChanged);
    timer->start(150);
}

std::vector<DesktopBackdrop::DrawnWindow> DesktopBackdrop::visibleWindows() const {
    std::vector<DrawnWindow> result;
    const auto origin = screen_.bounds.origin;
    std::map<std::uint64_t, std::int32_t> owners;
    for (const auto& app : platform::workspace().runningApplications())
        for (auto w : desktop_->windowsOf(app.pid)) owners[w] = app.pid;
    const QRectF area(0, 0, width(), height());
    auto order = desktop_->windowOrder();  // front to back
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        auto window = desktop_->window(*it);
        if (!window || window->minimized || !window->onScreen || window->space != desktop_->currentSpace()) continue;
        const std::int32_t pid = owners.count(*it) ? owners[*it] : 0;
        auto app = desktop_->application(pid);
        if (!app || app->isHidden) continue;
        const QRectF r(window->frame.origin.x - origin.x, window->frame.origin.y - origin.y,
                       window->frame.size.width, window->frame.size.height);
        if (!r.intersects(area)) continue;
        result.push_back({*it, r.x(), r.y(), r.width(), r.height(),
                          desktop_->frontmostPid() == pid && desktop_->focusedWindow(pid) == *it,
                          QStringLiteral("%1 — %2").arg(app->localizedName, window->title)});
    }
    return result;
}

void DesktopBackdrop::refreshIfChanged() {
    auto now = visibleWindows();
    if (now == drawn_) return;
    drawn_ = std::move(now);
    update();
}

void DesktopBackdrop::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wallpaper(0, 0, width(), height());
    wallpaper.setColorAt(0, QColor(0x2b, 0x5d, 0x8c));
    wallpaper.setColorAt(1, QColor(0x7a, 0x4e, 0x9e));
    p.fillRect(rect(), wallpaper);

    ++paints_;
    // What the last look found: a change since then schedules its own repaint.
    for (const DrawnWindow& window : drawn_) {
        const QRectF r(window.x, window.y, window.width, window.height);
        const bool focused = window.focused;
        QPainterPath path;
        path.addRoundedRect(r, 10, 10);
        p.fillPath(path, QColor(250, 250, 250));
        p.setPen(QPen(QColor(0, 0, 0, focused ? 140 : 60), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        QRectF titleBar(r.left(), r.top(), r.width(), 28);
        p.save();
        p.setClipPath(path);
        p.fillRect(titleBar, focused ? QColor(226, 226, 230) : QColor(238, 238, 240));
        p.restore();
        const QColor lights[] = {QColor(0xff, 0x5f, 0x57), QColor(0xfe, 0xbc, 0x2e), QColor(0x28, 0xc8, 0x40)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(lights[i]);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(r.left() + 16 + i * 20, r.top() + 14), 6, 6);
        }
        p.setPen(QColor(40, 40, 40));
        QFont f = font();
        f.setPixelSize(13);
        p.setFont(f);
        p.drawText(titleBar.adjusted(80, 0, -10, 0), Qt::AlignCenter, window.caption);
        p.setPen(QColor(120, 120, 120));
        p.drawText(r.adjusted(0, 28, 0, 0), Qt::AlignCenter,
                   QStringLiteral("%1 × %2").arg(int(window.width)).arg(int(window.height)));
    }
}
