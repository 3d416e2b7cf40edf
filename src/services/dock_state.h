#pragma once
// The Dock's three preferences as one value (auto-hide, edge, reveal delay),
// the user's choice of how to coexist with the Dock, the reveal-delay
// setting, and the Dock state each choice asks for.
#include <QByteArray>
#include <QString>
#include <optional>

namespace platform::prefs {
class Domain;
}

namespace services {

enum class DockEdge { left, bottom, right };
QString rawValue(DockEdge edge);
std::optional<DockEdge> dockEdgeFromRawValue(const QString& text);

struct DockState {
    bool autohide = false;
    DockEdge orientation = DockEdge::bottom;
    // Absent: the Dock's own default is in force (the preference is unset).
    std::optional<double> autohideDelay;

    // The longest delay the Dock pane offers ("never").
    static constexpr double longestRevealDelay = 1000.0;

    // A present delay of 0 differs from an absent one.
    bool operator==(const DockState&) const = default;

    // Compact JSON object with "autohide", "orientation" and, only when the
    // delay is present, "autohideDelay". Absent when it cannot be encoded (a
    // delay that is not a finite number).
    std::optional<QByteArray> encoded() const;
    // Requires "autohide" (boolean) and "orientation" (an edge's raw text);
    // "autohideDelay" is optional but must be a number when given.
    static std::optional<DockState> decode(const QByteArray& data);
    // Log form: "autohide=true, edge=bottom" (the delay is not part of it).
    QString describe() const;
};

enum class DockCoexistMode { hide, moveRight, moveLeft, off };
QString rawValue(DockCoexistMode mode);
std::optional<DockCoexistMode> dockCoexistModeFromRawValue(const QString& text);

enum class DockAutohideDelay { systemDefault, s2, s5, s10, s20, never };
QString rawValue(DockAutohideDelay delay);
std::optional<DockAutohideDelay> dockAutohideDelayFromRawValue(const QString& text);
// Seconds the setting stands for; absent for systemDefault.
std::optional<double> seconds(DockAutohideDelay delay);

// The Dock state a mode asks for, given the edge the Dock had before the
// takeover and the delay setting; absent for `off`.
std::optional<DockState> targetState(DockCoexistMode mode, DockEdge preTakeoverEdge, DockAutohideDelay delay);

// The effective mode stored in the settings: `off` when "dockManageEnabled"
// is false, else "dockCoexistMode" (missing or unknown: moveRight).
DockCoexistMode effectiveDockMode(const platform::prefs::Domain& defaults);
// "dockRevealDelay" (missing or unknown: systemDefault).
DockAutohideDelay revealDelaySetting(const platform::prefs::Domain& defaults);

}  // namespace services
