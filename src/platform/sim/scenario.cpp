#include "platform/sim/scenario.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "platform/preferences.h"
#include "platform/sim/simulated_desktop.h"

namespace platform::sim {
namespace {

constexpr int maxApplications = 2000;
constexpr int maxWindows = 2000;
constexpr int maxDisplays = 32;
constexpr int maxDepth = 32;
constexpr double maxCoordinate = maximumScenarioCoordinate;
constexpr double maxSide = maximumScenarioSide;

// Thrown inside the parser only; turned into the error text at the top.
struct Problem {
    QString text;
};

[[noreturn]] void fail(const QString& path, const QString& what) { throw Problem{path + QStringLiteral(": ") + what}; }

QString jsonTypeName(const QJsonValue& v) {
    switch (v.type()) {
        case QJsonValue::Null: return QStringLiteral("null");
        case QJsonValue::Bool: return QStringLiteral("a boolean");
        case QJsonValue::Double: return QStringLiteral("a number");
        case QJsonValue::String: return QStringLiteral("a string");
        case QJsonValue::Array: return QStringLiteral("an array");
        case QJsonValue::Object: return QStringLiteral("an object");
        default: return QStringLiteral("nothing");
    }
}

class Reader {
public:
    Reader(const QJsonObject& o, QString path, std::initializer_list<const char*> allowed) : o_(o), path_(std::move(path)) {
        std::set<QString> keys;
        for (auto k : allowed) keys.insert(QString::fromLatin1(k));
        for (auto it = o.begin(); it != o.end(); ++it)
            if (!keys.count(it.key())) fail(at(it.key()), QStringLiteral("unknown key"));
    }
    QString at(const QString& key) const { return path_.isEmpty() ? key : path_ + '.' + key; }
    bool has(const char* key) const { return o_.contains(QLatin1String(key)); }
    QJsonValue raw(const char* key) const { return o_.value(QLatin1String(key)); }

    std::optional<bool> boolean(const char* key) const {
        if (!has(key)) return std::nullopt;
        auto v = raw(key);
        if (!v.isBool()) fail(at(key), QStringLiteral("expected a boolean, found ") + jsonTypeName(v));
        return v.toBool();
    }
    std::optional<QString> string(const char* key) const {
        if (!has(key)) return std::nullopt;
        auto v = raw(key);
        if (!v.isString()) fail(at(key), QStringLiteral("expected a string, found ") + jsonTypeName(v));
        return v.toString();
    }
    std::optional<double> number(const char* key, double lo, double hi) const {
        if (!has(key)) return std::nullopt;
        auto v = raw(key);
        if (!v.isDouble()) fail(at(key), QStringLiteral("expected a number, found ") + jsonTypeName(v));
        double d = v.toDouble();
        if (!std::isfinite(d) || d < lo || d > hi)
            fail(at(key), QStringLiteral("expected a number from %1 to %2").arg(lo).arg(hi));
        return d;
    }
    std::optional<std::int64_t> integer(const char* key, std::int64_t lo, std::int64_t hi) const {
        if (!has(key)) return std::nullopt;
        auto v = raw(key);
        double d = v.toDouble();
        if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < double(lo) || d > double(hi))
            fail(at(key), QStringLiteral("expected a whole number from %1 to %2").arg(lo).arg(hi));
        return std::int64_t(d);
    }
    std::vector<double> numbers(const char* key, int count, const QString& expectation) const {
        auto v = raw(key);
        if (!v.isArray() || v.toArray().size() != count) fail(at(key), expectation);
        std::vector<double> out;
        for (const auto& e : v.toArray()) {
            if (!e.isDouble() || !std::isfinite(e.toDouble())) fail(at(key), expectation);
            out.push_back(e.toDouble());
        }
        return out;
    }
    std::optional<Rect> rect(const char* key, bool positiveSize) const {
        if (!has(key)) return std::nullopt;
        auto n = numbers(key, 4, QStringLiteral("expected an array of 4 numbers"));
        if (n[2] < 0 || n[3] < 0 || (positiveSize && (n[2] == 0 || n[3] == 0)))
            fail(at(key), positiveSize ? QStringLiteral("width and height must be greater than 0")
                                       : QStringLiteral("width and height must not be negative"));
        checkSides(key, n[2], n[3]);
        checkPosition(key, n[0], n[1]);
        return Rect(n[0], n[1], n[2], n[3]);
    }
    std::optional<Point> point(const char* key) const {
        if (!has(key)) return std::nullopt;
        auto n = numbers(key, 2, QStringLiteral("expected an array of 2 numbers"));
        checkPosition(key, n[0], n[1]);
        return Point{n[0], n[1]};
    }
    std::optional<Size> size(const char* key) const {
        if (!has(key)) return std::nullopt;
        auto n = numbers(key, 2, QStringLiteral("expected an array of 2 numbers"));
        if (n[0] < 0 || n[1] < 0) fail(at(key), QStringLiteral("width and height must not be negative"));
        checkSides(key, n[0], n[1]);
        return Size{n[0], n[1]};
    }
    QJsonArray array(const char* key, int limit) const {
        auto v = raw(key);
        if (!v.isArray()) fail(at(key), QStringLiteral("expected an array, found ") + jsonTypeName(v));
        if (v.toArray().size() > limit) fail(at(key), QStringLiteral("more than %1 entries").arg(limit));
        return v.toArray();
    }
    QJsonObject object(const char* key) const {
        auto v = raw(key);
        if (!v.isObject()) fail(at(key), QStringLiteral("expected an object, found ") + jsonTypeName(v));
        return v.toObject();
    }

private:
    void checkSides(const char* key, double width, double height) const {
        if (width > maxSide || height > maxSide)
            fail(at(key), QStringLiteral("width and height must be at most %1 points").arg(maxSide));
    }
    void checkPosition(const char* key, double x, double y) const {
        if (std::abs(x) > maxCoordinate || std::abs(y) > maxCoordinate)
            fail(at(key), QStringLiteral("coordinates must lie within %1 points of the origin").arg(maxCoordinate));
    }
    const QJsonObject& o_;
    QString path_;
};

QJsonObject objectAt(const QJsonValue& v, const QString& path) {
    if (!v.isObject()) fail(path, QStringLiteral("expected an object, found ") + jsonTypeName(v));
    return v.toObject();
}

// JSON as property-list values: whole numbers become integers.
QVariant plistValue(const QJsonValue& v, const QString& path, int depth) {
    if (depth > maxDepth) fail(path, QStringLiteral("nested too deeply"));
    switch (v.type()) {
        case QJsonValue::Bool: return QVariant(v.toBool());
        case QJsonValue::Double: {
            double d = v.toDouble();
            if (!std::isfinite(d)) fail(path, QStringLiteral("expected a finite number"));
            if (d == std::floor(d) && std::abs(d) < 9.0e15) return QVariant(qlonglong(d));
            return QVariant(d);
        }
        case QJsonValue::String: return QVariant(v.toString());
        case QJsonValue::Array: {
            QVariantList list;
            auto a = v.toArray();
            for (int i = 0; i < a.size(); ++i) list << plistValue(a[i], path + QStringLiteral("[%1]").arg(i), depth + 1);
            return QVariant(list);
        }
        case QJsonValue::Object: {
            QVariantMap map;
            auto o = v.toObject();
            for (auto it = o.begin(); it != o.end(); ++it)
                map.insert(it.key(), plistValue(it.value(), path + '.' + it.key(), depth + 1));
            return QVariant(map);
        }
        default: fail(path, QStringLiteral("expected a property-list value, found ") + jsonTypeName(v));
    }
}

QVariantMap plistDictionary(const QJsonValue& v, const QString& path) {
    return plistValue(objectAt(v, path), path, 0).toMap();
}

ActivationPolicy policyFrom(const QString& s, const QString& path) {
    if (s == QLatin1String("regular")) return ActivationPolicy::regular;
    if (s == QLatin1String("accessory")) return ActivationPolicy::accessory;
    if (s == QLatin1String("prohibited")) return ActivationPolicy::prohibited;
    fail(path, QStringLiteral("expected \"regular\", \"accessory\" or \"prohibited\""));
}

ScenarioWindow parseWindow(const QJsonValue& v, const QString& path) {
    QJsonObject o = objectAt(v, path);
    Reader r(o, path, {"title", "frame", "subrole", "role", "minimized", "fullScreen", "hasCloseButton", "onScreen",
                       "layer", "alpha", "focused", "space", "refusesResize", "minSize", "maxSize"});
    ScenarioWindow w;
    if (auto s = r.string("title")) w.given.title = *s;
    if (auto f = r.rect("frame", false)) w.given.frame = *f;
    if (auto s = r.string("subrole")) w.given.subrole = *s;
    if (auto s = r.string("role")) w.given.role = *s;
    if (auto b = r.boolean("minimized")) w.given.minimized = *b;
    if (auto b = r.boolean("fullScreen")) w.given.fullScreen = *b;
    if (auto b = r.boolean("hasCloseButton")) w.given.hasCloseButton = *b;
    if (auto b = r.boolean("onScreen")) w.given.onScreen = *b;
    if (auto l = r.integer("layer", std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()))
        w.given.layer = *l;
    if (auto a = r.number("alpha", 0, 1)) w.given.alpha = *a;
    if (auto b = r.boolean("focused")) w.given.focused = *b;
    if (auto s = r.integer("space", 0, 1000)) w.given.space = int(*s);
    if (auto b = r.boolean("refusesResize")) w.refusesResize = *b;
    w.minSize = r.size("minSize");
    w.maxSize = r.size("maxSize");
    return w;
}

ScenarioApplication parseApplication(const QJsonValue& v, const QString& path) {
    QJsonObject o = objectAt(v, path);
    Reader r(o, path, {"pid", "bundleID", "name", "bundlePath", "executablePath", "policy", "hidden", "active",
                       "color", "hasIcon", "unresponsive", "dockBadge", "inDock", "windows"});
    ScenarioApplication a;
    if (auto p = r.integer("pid", 1, std::numeric_limits<std::int32_t>::max())) a.given.pid = std::int32_t(*p);
    if (auto s = r.string("bundleID")) a.given.bundleID = *s;
    if (auto s = r.string("name")) a.given.name = *s;
    if (auto s = r.string("bundlePath")) a.given.bundlePath = *s;
    if (auto s = r.string("executablePath")) a.given.executablePath = *s;
    if (auto s = r.string("policy")) a.given.policy = policyFrom(*s, r.at("policy"));
    if (auto b = r.boolean("hidden")) a.given.hidden = *b;
    if (auto b = r.boolean("active")) a.given.active = *b;
    if (auto s = r.string("color")) {
        QColor c = QColor::fromString(*s);
        if (!c.isValid()) fail(r.at("color"), QStringLiteral("expected a colour such as \"#3478f6\""));
        a.given.iconColor = c;
    }
    if (auto b = r.boolean("hasIcon")) a.given.hasIcon = *b;
    if (auto b = r.boolean("unresponsive")) a.unresponsive = *b;
    if (auto s = r.string("dockBadge")) {
        a.dockBadge = *s;
        a.inDock = true;
    }
    if (auto b = r.boolean("inDock")) a.inDock = a.inDock || *b;
    if (a.inDock && a.given.bundlePath.isEmpty()) fail(r.at("dockBadge"), QStringLiteral("needs a bundlePath"));
    if (r.has("windows")) {
        auto list = r.array("windows", maxWindows);
        for (int i = 0; i < list.size(); ++i)
            a.windows.push_back(parseWindow(list[i], r.at(QStringLiteral("windows[%1]").arg(i))));
    }
    return a;
}

// Installed applications become files: a name is one plain path component.
void parseInstalledApplications(const Reader& r, Scenario& s) {
    const auto list = r.array("installedApplications", maxApplications);
    auto component = [](const QString& text) {
        return !text.contains(u'/') && !text.contains(QChar(0)) && text != QStringLiteral(".") &&
               text != QStringLiteral("..");
    };
    for (int i = 0; i < list.size(); ++i) {
        const QString path = QStringLiteral("installedApplications[%1]").arg(i);
        const QJsonObject object = objectAt(list[i], path);
        Reader a(object, path, {"name", "bundleID", "location", "folder"});
        ScenarioInstalledApp app;
        app.name = a.string("name").value_or(QString());
        if (app.name.isEmpty() || !component(app.name)) fail(a.at(QStringLiteral("name")), QStringLiteral("expected a file name"));
        app.bundleID = a.string("bundleID").value_or(QString());
        app.location = a.string("location").value_or(app.location);
        if (app.location != QLatin1String("applications") && app.location != QLatin1String("system") &&
            app.location != QLatin1String("user") && app.location != QLatin1String("coreServices"))
            fail(a.at(QStringLiteral("location")),
                 QStringLiteral("expected \"applications\", \"system\", \"user\" or \"coreServices\""));
        app.folder = a.string("folder").value_or(QString());
        if (!app.folder.isEmpty() && !component(app.folder))
            fail(a.at(QStringLiteral("folder")), QStringLiteral("expected a folder name"));
        s.installedApplications.push_back(app);
    }
}

void parse(const QJsonObject& root, Scenario& s) {
    Reader r(root, QString(), {"trusted", "currentSpace", "appearance", "reduceMotion", "displays", "pointer",
                               "applications", "dock", "bundles", "powerSources", "preferences",
                               "installedApplications"});
    s.trusted = r.boolean("trusted");
    if (auto n = r.integer("currentSpace", 1, 1000)) s.currentSpace = int(*n);
    if (auto a = r.string("appearance")) {
        if (*a != QLatin1String("light") && *a != QLatin1String("dark"))
            fail(QStringLiteral("appearance"), QStringLiteral("expected \"light\" or \"dark\""));
        s.darkAppearance = *a == QLatin1String("dark");
    }
    s.reduceMotion = r.boolean("reduceMotion");
    if (r.has("displays")) {
        auto list = r.array("displays", maxDisplays);
        for (int i = 0; i < list.size(); ++i) {
            QString path = QStringLiteral("displays[%1]").arg(i);
            QJsonObject o = objectAt(list[i], path);
            Reader d(o, path, {"bounds", "name", "scale", "main"});
            ScenarioDisplay disp;
            auto b = d.rect("bounds", true);
            if (!b) fail(path + QStringLiteral(".bounds"), QStringLiteral("missing"));
            disp.bounds = *b;
            if (auto n = d.string("name")) disp.name = *n;
            if (auto sc = d.number("scale", 0.5, 8)) disp.scale = *sc;
            if (auto m = d.boolean("main")) disp.main = *m;
            s.displays.push_back(disp);
        }
    }
    s.pointer = r.point("pointer");
    if (r.has("applications")) {
        auto list = r.array("applications", maxApplications);
        std::set<std::int32_t> pids;
        for (int i = 0; i < list.size(); ++i) {
            QString path = QStringLiteral("applications[%1]").arg(i);
            auto app = parseApplication(list[i], path);
            if (app.given.pid != 0) {
                if (app.given.pid == 100 || app.given.pid == 101)
                    fail(path + QStringLiteral(".pid"),
                         QStringLiteral("%1 is reserved (100: the program, 101: the Dock)").arg(app.given.pid));
                if (!pids.insert(app.given.pid).second)
                    fail(path + QStringLiteral(".pid"), QStringLiteral("%1 is used twice").arg(app.given.pid));
            }
            s.applications.push_back(std::move(app));
        }
    }
    if (r.has("dock")) {
        QJsonObject dock = r.object("dock");
        Reader d(dock, QStringLiteral("dock"), {"items"});
        if (d.has("items")) {
            auto items = d.array("items", maxApplications);
            for (int i = 0; i < items.size(); ++i) {
                QString path = QStringLiteral("dock.items[%1]").arg(i);
                QJsonObject o = objectAt(items[i], path);
                Reader it(o, path, {"title", "path", "badge"});
                ScenarioDockItem item;
                auto p = it.string("path");
                if (!p || p->isEmpty()) fail(path + QStringLiteral(".path"), QStringLiteral("missing"));
                item.path = *p;
                item.title = it.string("title").value_or(QString());
                item.badge = it.string("badge").value_or(QString());
                s.dockItems.push_back(item);
            }
        }
    }
    if (r.has("bundles")) {
        auto list = r.array("bundles", maxApplications);
        for (int i = 0; i < list.size(); ++i) {
            QString path = QStringLiteral("bundles[%1]").arg(i);
            QJsonObject o = objectAt(list[i], path);
            Reader b(o, path, {"path", "bundleID", "info"});
            ScenarioBundle bundle;
            auto p = b.string("path");
            if (!p || p->isEmpty()) fail(path + QStringLiteral(".path"), QStringLiteral("missing"));
            bundle.path = *p;
            bundle.bundleID = b.string("bundleID").value_or(QString());
            if (b.has("info")) bundle.info = plistDictionary(b.raw("info"), b.at("info"));
            s.bundles.push_back(bundle);
        }
    }
    if (r.has("installedApplications")) parseInstalledApplications(r, s);
    if (r.has("powerSources")) {
        s.powerSourcesGiven = true;
        if (r.raw("powerSources").isNull()) {
            s.powerSources = std::nullopt;
        } else {
            auto list = r.array("powerSources", 64);
            std::vector<QVariantMap> sources;
            for (int i = 0; i < list.size(); ++i)
                sources.push_back(plistDictionary(list[i], QStringLiteral("powerSources[%1]").arg(i)));
            s.powerSources = sources;
        }
    }
    if (r.has("preferences")) {
        QJsonObject prefs = r.object("preferences");
        for (auto it = prefs.begin(); it != prefs.end(); ++it) {
            QString path = QStringLiteral("preferences.") + it.key();
            if (it.key().isEmpty()) fail(QStringLiteral("preferences"), QStringLiteral("a domain name is empty"));
            s.preferences[it.key()] = plistDictionary(it.value(), path);
        }
    }
}

}  // namespace

bool parseScenario(const QByteArray& json, Scenario& out, QString* error) {
    auto report = [&](const QString& text) {
        if (error) *error = QStringLiteral("scenario: ") + text;
        return false;
    };
    QJsonParseError parseError;
    QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // Line and column (in characters) of the byte offset, counted from 1.
        int line = 1, column = 1;
        const qsizetype end = std::clamp<qsizetype>(parseError.offset, 0, json.size());
        for (qsizetype i = 0; i < end; ++i) {
            const unsigned char c = static_cast<unsigned char>(json.at(i));
            if (c == '\n') {
                ++line;
                column = 1;
            } else if ((c & 0xC0) != 0x80) {
                ++column;
            }
        }
        return report(QStringLiteral("line %1, column %2: not valid JSON: %3")
                          .arg(line)
                          .arg(column)
                          .arg(parseError.errorString()));
    }
    if (!doc.isObject()) return report(QStringLiteral("expected an object at the top level"));
    Scenario s;
    try {
        parse(doc.object(), s);
    } catch (const Problem& p) {
        return report(p.text);
    }
    out = std::move(s);
    return true;
}

void applyScenario(const Scenario& s, SimulatedDesktop& desktop) {
    for (const auto& d : s.displays) {
        DisplayID id = desktop.addDisplay(d.bounds, d.name, d.scale);
        if (d.main) desktop.setMainScreen(id);
    }
    if (s.pointer) desktop.setPointer(*s.pointer);
    if (s.currentSpace) desktop.setCurrentSpace(*s.currentSpace);
    if (s.trusted) desktop.setTrusted(*s.trusted);
    if (s.darkAppearance) desktop.setSystemAppearance(*s.darkAppearance ? Appearance::darkAqua : Appearance::aqua);
    if (s.reduceMotion) desktop.setReduceMotion(*s.reduceMotion);
    for (const auto& b : s.bundles) desktop.addBundle(b.path, b.bundleID, b.info);
    {
        // Pids the scenario names are not handed to the applications it leaves unnamed.
        auto core = desktop.core();
        std::lock_guard lock(core->mutex);
        for (const auto& a : s.applications)
            if (a.given.pid < std::numeric_limits<std::int32_t>::max())
                core->nextPid = std::max(core->nextPid, a.given.pid + 1);
    }
    for (const auto& a : s.applications) {
        AppSpec given = a.given;
        const bool active = given.active;
        given.active = false;
        std::int32_t pid = desktop.addApplication(given);
        for (const auto& w : a.windows) {
            std::uint64_t n = desktop.addWindow(pid, w.given);
            if (w.refusesResize) desktop.setResizeRefused(n, true);
            if (w.minSize) desktop.setMinSize(n, w.minSize);
            if (w.maxSize) desktop.setMaxSize(n, w.maxSize);
        }
        if (a.unresponsive) desktop.setUnresponsive(pid, true);
        if (a.inDock) desktop.addDockItem(a.given.name, a.given.bundlePath, a.dockBadge);
        if (active) desktop.activateApplication(pid);
    }
    for (const auto& item : s.dockItems) desktop.addDockItem(item.title, item.path, item.badge);
    if (s.powerSourcesGiven) desktop.setPowerSources(s.powerSources);
    if (auto mem = desktop.memoryPreferences())
        for (const auto& [domain, values] : s.preferences) mem->preset(domain, values);
    if (!s.installedApplications.empty()) {
        const QString home = desktop.homeDirectory();
        for (const auto& app : s.installedApplications) {
            QString folder = app.location == QLatin1String("user")     ? home + QStringLiteral("/Applications")
                             : app.location == QLatin1String("system") ? home + QStringLiteral("/System/System/Applications")
                             : app.location == QLatin1String("coreServices")
                                 ? home + QStringLiteral("/System/System/Library/CoreServices")
                                                                       : home + QStringLiteral("/System/Applications");
            if (!app.folder.isEmpty()) folder += u'/' + app.folder;
            if (!home.isEmpty()) SimulatedDesktop::writeBundle(folder, app.name + QStringLiteral(".app"), app.bundleID);
        }
    }
}

}  // namespace platform::sim
