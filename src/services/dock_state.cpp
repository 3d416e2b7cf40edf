#include "services/dock_state.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>

#include "platform/preferences.h"

namespace services {

QString rawValue(DockEdge edge) {
    switch (edge) {
        case DockEdge::left: return QStringLiteral("left");
        case DockEdge::bottom: return QStringLiteral("bottom");
        case DockEdge::right: return QStringLiteral("right");
    }
    return QStringLiteral("bottom");
}

std::optional<DockEdge> dockEdgeFromRawValue(const QString& text) {
    for (auto e : {DockEdge::left, DockEdge::bottom, DockEdge::right})
        if (rawValue(e) == text) return e;
    return std::nullopt;
}

QString rawValue(DockCoexistMode mode) {
    switch (mode) {
        case DockCoexistMode::hide: return QStringLiteral("hide");
        case DockCoexistMode::moveRight: return QStringLiteral("moveRight");
        case DockCoexistMode::moveLeft: return QStringLiteral("moveLeft");
        case DockCoexistMode::off: return QStringLiteral("off");
    }
    return QStringLiteral("off");
}

std::optional<DockCoexistMode> dockCoexistModeFromRawValue(const QString& text) {
    for (auto m : {DockCoexistMode::hide, DockCoexistMode::moveRight, DockCoexistMode::moveLeft, DockCoexistMode::off})
        if (rawValue(m) == text) return m;
    return std::nullopt;
}

QString rawValue(DockAutohideDelay delay) {
    switch (delay) {
        case DockAutohideDelay::systemDefault: return QStringLiteral("systemDefault");
        case DockAutohideDelay::s2: return QStringLiteral("s2");
        case DockAutohideDelay::s5: return QStringLiteral("s5");
        case DockAutohideDelay::s10: return QStringLiteral("s10");
        case DockAutohideDelay::s20: return QStringLiteral("s20");
        case DockAutohideDelay::never: return QStringLiteral("never");
    }
    return QStringLiteral("systemDefault");
}

std::optional<DockAutohideDelay> dockAutohideDelayFromRawValue(const QString& text) {
    for (auto d : {DockAutohideDelay::systemDefault, DockAutohideDelay::s2, DockAutohideDelay::s5, DockAutohideDelay::s10,
                   DockAutohideDelay::s20, DockAutohideDelay::never})
        if (rawValue(d) == text) return d;
    return std::nullopt;
}

std::optional<double> seconds(DockAutohideDelay delay) {
    switch (delay) {
        case DockAutohideDelay::systemDefault: return std::nullopt;
        case DockAutohideDelay::s2: return 2.0;
        case DockAutohideDelay::s5: return 5.0;
        case DockAutohideDelay::s10: return 10.0;
        case DockAutohideDelay::s20: return 20.0;
        case DockAutohideDelay::never: return 1000.0;
    }
    return std::nullopt;
}

std::optional<DockState> targetState(DockCoexistMode mode, DockEdge preTakeoverEdge, DockAutohideDelay delay) {
    const auto delaySeconds = seconds(delay);
    switch (mode) {
        case DockCoexistMode::hide: return DockState{true, preTakeoverEdge, delaySeconds};
        case DockCoexistMode::moveRight: return DockState{true, DockEdge::right, delaySeconds};
        case DockCoexistMode::moveLeft: return DockState{true, DockEdge::left, delaySeconds};
        case DockCoexistMode::off: return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QByteArray> DockState::encoded() const {
    QJsonObject o;
    o.insert(QStringLiteral("autohide"), autohide);
    o.insert(QStringLiteral("orientation"), rawValue(orientation));
    if (autohideDelay) {
        if (!std::isfinite(*autohideDelay)) return std::nullopt;
        o.insert(QStringLiteral("autohideDelay"), *autohideDelay);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<DockState> DockState::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    const QJsonValue autohide = o.value(QStringLiteral("autohide"));
    const QJsonValue orientation = o.value(QStringLiteral("orientation"));
    if (!autohide.isBool() || !orientation.isString()) return std::nullopt;
    auto edge = dockEdgeFromRawValue(orientation.toString());
    if (!edge) return std::nullopt;
    DockState state{autohide.toBool(), *edge, std::nullopt};
    const QJsonValue delay = o.value(QStringLiteral("autohideDelay"));
    if (delay.isDouble()) {
        if (!std::isfinite(delay.toDouble())) return std::nullopt;
        state.autohideDelay = delay.toDouble();
    } else if (!delay.isUndefined() && !delay.isNull()) {
        return std::nullopt;  // present but not a number
    }
    return state;
}

QString DockState::describe() const {
    return QStringLiteral("autohide=") + (autohide ? QStringLiteral("true") : QStringLiteral("false")) +
           QStringLiteral(", edge=") + rawValue(orientation);
}

DockCoexistMode effectiveDockMode(const platform::prefs::Domain& defaults) {
    if (!defaults.boolValue(QStringLiteral("dockManageEnabled")).value_or(true)) return DockCoexistMode::off;
    auto text = defaults.stringValue(QStringLiteral("dockCoexistMode"));
    if (!text) return DockCoexistMode::moveRight;
    return dockCoexistModeFromRawValue(*text).value_or(DockCoexistMode::moveRight);
}

DockAutohideDelay revealDelaySetting(const platform::prefs::Domain& defaults) {
    auto text = defaults.stringValue(QStringLiteral("dockRevealDelay"));
    if (!text) return DockAutohideDelay::systemDefault;
    return dockAutohideDelayFromRawValue(*text).value_or(DockAutohideDelay::systemDefault);
}

}  // namespace services
