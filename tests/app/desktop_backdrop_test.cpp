#include <gtest/gtest.h>

#include <QApplication>
#include <functional>

#include "app/demo/desktop_backdrop.h"
#include "support/sim_fixture.h"

namespace {

class DesktopBackdropTest : public SimDesktopTest {};

TEST_F(DesktopBackdropTest, RepaintsOnlyWhenAWindowItDrawsChanged) {
    const auto pid = sim->addApplication({.bundleID = "com.example.notes", .name = "Notes"});
    const auto window = sim->addWindow(pid, {.title = "List", .frame = {100, 100, 400, 300}});
    DesktopBackdrop backdrop(sim, *platform::displays().mainScreen());
    backdrop.show();
    QApplication::processEvents();
    const int first = backdrop.paintCount();

    // Nothing moved: looking again costs no paint.
    for (int i = 0; i < 5; ++i) backdrop.refreshIfChanged();
    QApplication::processEvents();
    EXPECT_EQ(backdrop.paintCount(), first);

    struct Step {
        const char* what;
        std::function<void()> change;
        std::size_t drawn;
    };
    const Step steps[] = {
        {"moved", [&] { sim->setWindowFrame(window, {120, 100, 400, 300}); }, 1},
        {"another window", [&] { sim->addWindow(pid, {.title = "Other", .frame = {600, 200, 300, 200}}); }, 2},
        {"removed", [&] { sim->removeWindow(window); }, 1},
    };
    int expected = first;
    for (const Step& step : steps) {
        step.change();
        backdrop.refreshIfChanged();
        QApplication::processEvents();
        EXPECT_EQ(backdrop.paintCount(), ++expected) << step.what;
        EXPECT_EQ(backdrop.visibleWindows().size(), step.drawn) << step.what;
    }
}

}  // namespace
