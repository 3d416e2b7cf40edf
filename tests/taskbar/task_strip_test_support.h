#pragma once
// A bar test with helpers for the task strip: applications as snapshot
// values, a strip of a given size, and mouse events in window coordinates.
#include <QApplication>
#include <QMouseEvent>
#include <memory>

#include "bar_test_support.h"
#include "taskbar/mouse_catcher.h"
#include "taskbar/overflow_button.h"
#include "taskbar/task_button.h"
#include "taskbar/task_strip.h"
#include "windows/blacklist_store.h"

class StripTest : public BarTest {
protected:
    void SetUp() override {
        BarTest::SetUp();
        BlacklistStore::resetShared();
    }
    void TearDown() override {
        strips.clear();
        BlacklistStore::resetShared();
        BarTest::TearDown();
    }

    static AppItem app(std::int32_t pid, const QString& name, int windows = 1, bool active = false,
                       bool unread = false) {
        AppItem a;
        a.id = pid;
        a.pid = pid;
        a.bundleID = QStringLiteral("com.example.") + name.toLower();
        a.name = name;
        a.isActive = active;
        a.hasVisibleWindow = windows > 0;
        a.hasUnread = unread;
        for (int i = 0; i < windows; ++i)
            a.windows.push_back(WindowItem{WindowToken(pid * 100 + i), name + QStringLiteral(" %1").arg(i + 1),
                                           false, active && i == 0});
        return a;
    }
    static std::vector<AppItem> apps(int n, int windowsEach = 1) {
        std::vector<AppItem> out;
        for (int i = 0; i < n; ++i) out.push_back(app(1000 + i, QStringLiteral("App%1").arg(i, 2, 10, QChar('0')), windowsEach));
        return out;
    }

    TaskStripView* makeStrip(int width, int height = 44, PinStore* pinStore = nullptr) {
        auto strip = std::make_unique<TaskStripView>(store.get(), service, pinStore ? pinStore : pins.get(),
                                                     std::nullopt);
        strip->resize(width, height);
        strip->show();
        strips.push_back(std::move(strip));
        return strips.back().get();
    }

public:
    // Sends a mouse event to a widget at a point of its own.
    static void mouse(QWidget* w, QEvent::Type type, QPointF local, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
        const QPointF scene = w->mapTo(w->window(), local);
        QMouseEvent e(type, local, scene, w->mapToGlobal(local), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    static void press(QWidget* w, QPointF p, Qt::MouseButton b = Qt::LeftButton) {
        mouse(w, QEvent::MouseButtonPress, p, b, b);
    }
    static void move(QWidget* w, QPointF p) { mouse(w, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    static void release(QWidget* w, QPointF p) {
        mouse(w, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
    }
    // The centre of one widget in another's coordinates.
    static QPointF centreIn(QWidget* of, QWidget* in) { return in->mapFrom(of->window(), of->mapTo(of->window(), QPointF(of->rect().center()))); }

    std::vector<std::unique_ptr<TaskStripView>> strips;
};
