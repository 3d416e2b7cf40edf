#include "taskbar/start_menu_port.h"

#include <QPointer>

namespace {

class InertStartMenu final : public StartMenuPort {
public:
    bool isOpen() const override { return false; }
    std::optional<platform::DisplayID> presentedScreenID() const override { return std::nullopt; }
    void toggle(bool) override {}
    void open() override {}
    void close() override {}
};

QPointer<StartMenuPort>& installedPort() {
    static QPointer<StartMenuPort> port;
    return port;
}

}  // namespace

StartMenuPort& StartMenuPort::current() {
    if (StartMenuPort* port = installedPort().data()) return *port;
    static InertStartMenu inert;
    return inert;
}

void StartMenuPort::setCurrent(StartMenuPort* port) { installedPort() = port; }
