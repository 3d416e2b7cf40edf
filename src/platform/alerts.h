#pragma once
// Modal alerts and the system beep.
#include <QString>
#include <QStringList>

namespace platform {

enum class AlertStyle { informational, warning, critical };

struct Alert {
    QString messageText;
    QString informativeText;
    QStringList buttons;  // first is the default button
    AlertStyle style = AlertStyle::warning;
};

// Button results, as the platform numbers them.
constexpr int alertFirstButtonReturn = 1000;

class Alerts {
public:
    virtual ~Alerts() = default;
    // Shows the alert modally; returns alertFirstButtonReturn + index of the
    // chosen button, or another value when it was dismissed otherwise.
    virtual int runModal(const Alert& alert) = 0;
    virtual void beep() = 0;
};

Alerts& alerts();

}  // namespace platform
