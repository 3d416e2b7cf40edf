#pragma once
// A desktop described in JSON (the demo's resources/scenarios/demo.json):
//
// {
//   "trusted": true, "currentSpace": 1, "appearance": "light" | "dark", "reduceMotion": false,
//   "displays": [{"bounds": [x, y, w, h], "name": "…", "scale": 2, "main": false}],  // first: primary
//   "pointer": [x, y],                                   // global top-left
//   "applications": [{
//       "pid": 300, "bundleID": "…", "name": "…", "bundlePath": "…", "executablePath": "…",
//       "policy": "regular" | "accessory" | "prohibited", "hidden": false, "active": false,
//       "color": "#rrggbb", "hasIcon": true, "unresponsive": false, "dockBadge": "3",
//       "windows": [{"title": "…", "frame": [x, y, w, h], "subrole": "AXStandardWindow",
//                    "minimized": false, "fullScreen": false, "hasCloseButton": true,
//                    "onScreen": true, "layer": 0, "alpha": 1, "focused": false, "space": 0,
//                    "refusesResize": false, "minSize": [w, h], "maxSize": [w, h]}]}],
//   "dock": {"items": [{"title": "…", "path": "…", "badge": "…"}]},
//   "bundles": [{"path": "…", "bundleID": "…", "info": {…}}],
//   "installedApplications": [{"name": "…", "bundleID": "…",            // real bundles in the
//       "location": "applications" | "system" | "user" | "coreServices",   // desktop's home folder
//       "folder": "…"}],
//   "powerSources": [{"Type": "InternalBattery", "Current Capacity": 80, …}] | null,
//   "preferences": {"<domain>": {"<key>": value}}        // in-memory preferences only
// }
//
// Every key is optional; an unknown key is an error (it is most likely a
// typo). Errors name the place: "scenario: applications[2].windows[0].frame:
// expected an array of 4 numbers"; text that is not JSON names the line and
// column: "scenario: line 3, column 7: …".
#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <optional>
#include <vector>

#include "platform/sim/sim_types.h"

namespace platform::sim {

class SimulatedDesktop;

// Scenario files larger than this are refused while they are read.
inline constexpr qint64 maximumScenarioSize = 16 * 1024 * 1024;
// Display and window sizes beyond what a real desktop has (points a side),
// and coordinates beyond a few such displays, are refused: they would only
// ask for absurd amounts of memory.
inline constexpr double maximumScenarioSide = 32768;
inline constexpr double maximumScenarioCoordinate = 8 * maximumScenarioSide;

struct ScenarioWindow {
    WindowSpec given;
    bool refusesResize = false;
    std::optional<Size> minSize;
    std::optional<Size> maxSize;
};

struct ScenarioApplication {
    AppSpec given;
    bool unresponsive = false;
    QString dockBadge;
    bool inDock = false;
    std::vector<ScenarioWindow> windows;
};

struct ScenarioDisplay {
    Rect bounds;
    QString name;
    double scale = 1.0;
    bool main = false;
};

struct ScenarioDockItem {
    QString title;
    QString path;
    QString badge;
};

struct ScenarioBundle {
    QString path;
    QString bundleID;
    QVariantMap info;
};

// An application bundle created on disk for the start menu's scan:
// "<location folder>[/<folder>]/<name>.app"; no identifier when empty.
struct ScenarioInstalledApp {
    QString name;
    QString bundleID;
    QString location = QStringLiteral("applications");
    QString folder;
};

struct Scenario {
    std::optional<bool> trusted;
    std::optional<int> currentSpace;
    std::optional<bool> darkAppearance;
    std::optional<bool> reduceMotion;
    std::vector<ScenarioDisplay> displays;
    std::optional<Point> pointer;
    std::vector<ScenarioApplication> applications;
    std::vector<ScenarioDockItem> dockItems;
    std::vector<ScenarioBundle> bundles;
    std::vector<ScenarioInstalledApp> installedApplications;
    bool powerSourcesGiven = false;
    std::optional<std::vector<QVariantMap>> powerSources;
    std::map<QString, QVariantMap> preferences;
};

// Parses and checks a whole scenario; false with *error set otherwise.
bool parseScenario(const QByteArray& json, Scenario& out, QString* error);
// Populates a desktop (its displays are added after any it already has).
void applyScenario(const Scenario& scenario, SimulatedDesktop& desktop);

}  // namespace platform::sim
