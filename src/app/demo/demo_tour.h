#pragma once
// A short scripted tour of the running program on the simulated desktop:
// open the start menu with its shortcut, click a task button, maximise a
// window so the constraint engine fits it above the bar, and quit, saving a
// screenshot after each step.
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QuorvelApp;
namespace platform::sim {
class SimulatedDesktop;
}

class DemoTour {
public:
    DemoTour(QuorvelApp& app, std::shared_ptr<platform::sim::SimulatedDesktop> desktop, QString outputFolder);
    void start();

private:
    void at(double seconds, std::function<void()> step);
    // Adds a step at `seconds` into the tour; steps run in the order added.
    void then(double seconds, std::function<void()> step);
    void runFrom(std::size_t index);
    void screenshot(const QString& name);
    void clickFirstTaskButton();
    void maximiseFrontWindow();

    QuorvelApp& app_;
    std::shared_ptr<platform::sim::SimulatedDesktop> desktop_;
    QString output_;
    struct Step {
        double seconds;
        std::function<void()> run;
    };
    std::vector<Step> steps_;
};
