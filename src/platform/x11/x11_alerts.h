#pragma once
// Alerts of the live desktop: real modal dialogs that the user answers, and
// the beep as the X server's bell.
#include <memory>

#include "platform/alerts.h"
#include "platform/x11/x11_connection.h"

namespace platform::x11 {

// The value runModal returns when the alert could not be shown or was closed
// without choosing a button: never the answer of any button.
constexpr int alertNotAnswered = 0;

class DialogAlerts : public Alerts {
public:
    explicit DialogAlerts(std::shared_ptr<Connection> connection);
    // A modal message box with the alert's texts and buttons, in their order;
    // the first button is the default (Return) and a button titled like the
    // usual cancel text answers Escape. Without a widget application on the
    // X server (none at all, or an off-screen one) nothing can be shown and
    // nobody answers: alertNotAnswered.
    int runModal(const Alert& alert) override;
    void beep() override;

private:
    std::shared_ptr<Connection> conn_;
};

}  // namespace platform::x11
