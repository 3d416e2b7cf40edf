#pragma once
// Counts the paint events of the widgets it watches.
#include <QEvent>
#include <QObject>
#include <QWidget>

struct PaintCounter : QObject {
    int paints = 0;
    void watch(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};
