#include "platform/sim/sim_accessibility.h"

#include <chrono>
#include <thread>

namespace platform::sim {

namespace names = ax::names;
using ax::Error;

namespace {

class SimObserver : public ax::Observer {
public:
    SimObserver(std::weak_ptr<Core> core, std::shared_ptr<ObserverState> state)
        : core_(std::move(core)), state_(std::move(state)) {}
    ~SimObserver() override { invalidate(); }
    std::int32_t processID() const override { return state_->pid; }

    Error addNotification(const ax::Element& element, const QString& notification) override {
        auto core = core_.lock();
        if (!core) return Error::invalidElement;
        std::lock_guard lock(core->mutex);
        if (!state_->valid) return Error::invalidElement;
        if (!element.isValid() || notification.isEmpty()) return Error::illegalArgument;
        if (!core->trusted) return Error::apiDisabled;
        ElementState* e = core->element(element.identity());
        if (!e || e->destroyed) return Error::invalidElement;
        if (e->pid != state_->pid) return Error::illegalArgument;
        AppState* a = core->app(e->pid);
        if (!a || a->terminated) return Error::invalidElement;
        if (a->unresponsive) return Error::cannotComplete;
        state_->registrations.insert({element.identity(), notification});
        return Error::success;
    }

    Error removeNotification(const ax::Element& element, const QString& notification) override {
        auto core = core_.lock();
        if (!core) return Error::invalidElement;
        std::lock_guard lock(core->mutex);
        if (state_->registrations.erase({element.identity(), notification}) == 0) return Error::noValue;
        return Error::success;
    }

    void invalidate() override {
        auto core = core_.lock();
        if (!core) {
            state_->valid = false;
            return;
        }
        std::lock_guard lock(core->mutex);
        state_->valid = false;
        state_->registrations.clear();
    }

private:
    std::weak_ptr<Core> core_;
    std::shared_ptr<ObserverState> state_;
};

// A value of a type other than the one the attribute really has.
ax::Value otherType(const ax::Value& real) {
    if (std::holds_alternative<QString>(real)) return std::int64_t(42);
    return QStringLiteral("unexpected");
}

}  // namespace

bool SimAccessibility::isProcessTrusted(bool prompt) {
    std::lock_guard lock(core_->mutex);
    if (prompt && !core_->trusted) {
        ++core_->trustPrompts;
        core_->log(QStringLiteral("ax.prompt"));
    }
    return core_->trusted;
}

ax::Element SimAccessibility::applicationElement(std::int32_t pid) {
    std::lock_guard lock(core_->mutex);
    return ax::Element(core_->appElementFor(pid), pid);
}

void SimAccessibility::block(double seconds) {
    // Threaded runs really wait (a hung application stalls the calling
    // queue); on the manual clock the time is only accounted.
    if (!core_->manual && seconds > 0 && std::isfinite(seconds))
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 2.0)));
}

Error SimAccessibility::admit(const ax::Element& element, const QString& name, Request kind, const Fault** wrongType,
                              double& blockFor) {
    if (!core_->trusted) return Error::apiDisabled;
    if (!element.isValid()) return Error::illegalArgument;
    ElementState* e = core_->element(element.identity());
    if (!e) return Error::invalidElement;
    AppState* a = core_->app(e->pid);
    if (!a) return Error::cannotComplete;  // no such process
    if (a->terminated || e->destroyed) return Error::invalidElement;

    auto& table = kind == Request::read ? core_->readFaults : kind == Request::write ? core_->writeFaults
                                                                                     : core_->actionFaults;
    const Fault* fault = nullptr;
    Fault hung = Fault::timeout();
    if (a->unresponsive) {
        fault = &hung;
    } else {
        auto it = table.find({element.identity(), name});
        if (it == table.end()) it = table.find({element.identity(), QStringLiteral("*")});
        if (it != table.end()) fault = &it->second;
    }
    if (!fault) return Error::success;
    switch (fault->kind) {
        case Fault::Kind::failure: return Error::failure;
        case Fault::Kind::noValue: return kind == Request::read ? Error::noValue : Error::failure;
        case Fault::Kind::unsupported:
            return kind == Request::action ? Error::actionUnsupported : Error::attributeUnsupported;
        case Fault::Kind::wrongType:
            if (kind == Request::read && wrongType) *wrongType = fault;
            return Error::success;
        case Fault::Kind::timeout: {
            double limit = e->messagingTimeout > 0 ? e->messagingTimeout : defaultMessagingTimeout;
            double cost = std::min(fault->seconds, limit);
            core_->blocked[core_->dispatcher->currentLabel()] += cost;
            blockFor = cost;
            return fault->seconds >= limit ? Error::cannotComplete : Error::success;
        }
    }
    return Error::success;
}

Error SimAccessibility::readLocked(ElementState& e, std::uint64_t identity, const QString& attribute, ax::Value& out) {
    auto over = e.attributes.find(attribute);
    if (over != e.attributes.end()) {
        if (std::holds_alternative<std::monostate>(over->second)) return Error::noValue;
        out = over->second;
        return Error::success;
    }
    auto list = [&](const std::vector<std::uint64_t>& ids) {
        ax::ElementList l;
        for (auto id : ids) {
            ElementState* c = core_->element(id);
            if (c && !c->destroyed) l.emplace_back(id, c->pid);
        }
        return l;
    };
    switch (e.kind) {
        case ElementKind::application: {
            AppState* a = core_->app(e.pid);
            if (attribute == names::windows) {
                std::vector<std::uint64_t> ids;
                for (auto n : core_->windowsOf(e.pid)) ids.push_back(core_->windows[n].element);
                out = list(ids);
                return Error::success;
            }
            if (attribute == names::children) {
                std::vector<std::uint64_t> ids;
                for (auto n : core_->windowsOf(e.pid)) ids.push_back(core_->windows[n].element);
                ids.insert(ids.end(), e.children.begin(), e.children.end());
                out = list(ids);
                return Error::success;
            }
            if (attribute == names::focusedWindow || attribute == names::mainWindow) {
                std::uint64_t n = attribute == names::focusedWindow ? a->focusedWindow : a->mainWindow;
                WindowState* w = core_->window(n);
                if (!w) return Error::noValue;
                out = ax::Element(w->element, e.pid);
                return Error::success;
            }
            if (attribute == names::role) { out = QStringLiteral("AXApplication"); return Error::success; }
            if (attribute == names::title) { out = a->given.name; return Error::success; }
            if (attribute == QLatin1String("AXHidden")) { out = a->given.hidden; return Error::success; }
            if (attribute == QLatin1String("AXFrontmost")) { out = core_->frontmost == e.pid; return Error::success; }
            return Error::attributeUnsupported;
        }
        case ElementKind::window: {
            WindowState* w = core_->window(e.window);
            if (!w) return Error::invalidElement;
            const auto& s = w->given;
            if (attribute == names::position) {
                out = s.frame.origin;
                if (w->frameAfterPositionRead) {
                    core_->moveWindowFrame(*w, *w->frameAfterPositionRead);
                    w->frameAfterPositionRead.reset();
                }
            } else if (attribute == names::size) out = s.frame.size;
            else if (attribute == names::minimized) out = s.minimized;
            else if (attribute == names::fullScreen) out = s.fullScreen;
            else if (attribute == names::title) out = s.title;
            else if (attribute == names::subrole) out = s.subrole;
            else if (attribute == names::role) out = s.role;
            else if (attribute == names::closeButton) {
                if (!s.hasCloseButton) return Error::noValue;
                out = ax::Element(w->closeButton, w->pid);
            } else if (attribute == QLatin1String("AXMain")) {
                out = core_->app(w->pid)->mainWindow == w->number;
            } else if (attribute == QLatin1String("AXFocused")) {
                out = core_->app(w->pid)->focusedWindow == w->number;
            } else if (attribute == names::children) {
                out = list(s.hasCloseButton ? std::vector<std::uint64_t>{w->closeButton} : std::vector<std::uint64_t>{});
            } else {
                return Error::attributeUnsupported;
            }
            return Error::success;
        }
        case ElementKind::closeButton: {
            if (attribute == names::role) { out = QStringLiteral("AXButton"); return Error::success; }
            if (attribute == names::subrole) { out = QStringLiteral("AXCloseButton"); return Error::success; }
            return Error::attributeUnsupported;
        }
        case ElementKind::generic: {
            if (attribute == names::children) {
                out = list(e.children);
                return Error::success;
            }
            (void)identity;
            return Error::attributeUnsupported;
        }
    }
    return Error::attributeUnsupported;
}

Error SimAccessibility::copyAttribute(const ax::Element& element, const QString& attribute, ax::Value& out) {
    double blockFor = 0;
    Error result;
    {
        std::lock_guard lock(core_->mutex);
        const Fault* wrong = nullptr;
        result = admit(element, attribute, Request::read, &wrong, blockFor);
        if (result == Error::success) {
            ax::Value v;
            result = readLocked(*core_->element(element.identity()), element.identity(), attribute, v);
            if (result == Error::success) {
                if (wrong) v = std::holds_alternative<std::monostate>(wrong->value) ? otherType(v) : wrong->value;
                out = std::move(v);
            }
        }
    }
    block(blockFor);
    return result;
}

QString SimAccessibility::describeElement(const ElementState& e, std::uint64_t identity) const {
    switch (e.kind) {
        case ElementKind::application: return QStringLiteral("pid=%1 app").arg(e.pid);
        case ElementKind::window: return QStringLiteral("pid=%1 win=%2").arg(e.pid).arg(e.window);
        case ElementKind::closeButton: return QStringLiteral("pid=%1 win=%2 close").arg(e.pid).arg(e.window);
        case ElementKind::generic: return QStringLiteral("pid=%1 el=%2").arg(e.pid).arg(identity);
    }
    return {};
}

Error SimAccessibility::setAttribute(const ax::Element& element, const QString& attribute, const ax::Value& value) {
    Core::ChangeNote note(*core_);
    double blockFor = 0;
    Error result = Error::success;
    {
        std::lock_guard lock(core_->mutex);
        result = admit(element, attribute, Request::write, nullptr, blockFor);
        ElementState* e = core_->element(element.identity());
        if (result == Error::success) {
            auto wrongValue = [&] { result = Error::illegalArgument; };
            if (e->kind == ElementKind::window) {
                WindowState* w = core_->window(e->window);
                if (!w) result = Error::invalidElement;
                else if (attribute == names::position) {
                    if (auto p = ax::as<Point>(value)) { if (!core_->moveWindow(w->number, *p)) result = Error::cannotComplete; }
                    else wrongValue();
                } else if (attribute == names::size) {
                    if (auto s = ax::as<Size>(value)) { if (!core_->resizeWindow(w->number, *s)) result = Error::failure; }
                    else wrongValue();
                } else if (attribute == names::minimized) {
                    if (auto b = ax::as<bool>(value)) core_->setMinimized(w->number, *b);
                    else wrongValue();
                } else if (attribute == QLatin1String("AXMain") || attribute == QLatin1String("AXFocused")) {
                    if (auto b = ax::as<bool>(value)) { if (*b) core_->focusWindow(w->pid, w->number); }
                    else wrongValue();
                } else if (attribute == names::fullScreen) {
                    if (auto b = ax::as<bool>(value)) w->given.fullScreen = *b;
                    else wrongValue();
                } else {
                    result = Error::attributeUnsupported;
                }
            } else if (e->kind == ElementKind::application) {
                if (attribute == QLatin1String("AXFrontmost")) {
                    if (auto b = ax::as<bool>(value)) { if (*b) core_->activate(e->pid); }
                    else wrongValue();
                } else if (attribute == QLatin1String("AXHidden")) {
                    if (auto b = ax::as<bool>(value)) core_->setHidden(e->pid, *b);
                    else wrongValue();
                } else {
                    result = Error::attributeUnsupported;
                }
            } else {
                result = Error::attributeUnsupported;
            }
        }
        QString line = QStringLiteral("ax.set ");
        line += e ? describeElement(*e, element.identity()) : QStringLiteral("el=%1").arg(element.identity());
        line += ' ' + attribute + ' ' + describeValue(value);
        if (result != Error::success) line += QStringLiteral(" -> %1").arg(int(result));
        core_->log(line);
    }
    block(blockFor);
    return result;
}

Error SimAccessibility::performAction(const ax::Element& element, const QString& action) {
    Core::ChangeNote note(*core_);
    double blockFor = 0;
    Error result = Error::success;
    {
        std::lock_guard lock(core_->mutex);
        result = admit(element, action, Request::action, nullptr, blockFor);
        ElementState* e = core_->element(element.identity());
        if (result == Error::success) {
            if (e->kind == ElementKind::window && action == names::raise) {
                core_->raiseWindow(e->window);
            } else if (e->kind == ElementKind::closeButton && action == names::press) {
                core_->removeWindow(e->window);
            } else if (e->kind == ElementKind::generic && action == names::press) {
                // Pressing a plain element (a Dock item) only shows in the log.
            } else {
                result = Error::actionUnsupported;
            }
        }
        QString line = QStringLiteral("ax.action ");
        line += e ? describeElement(*e, element.identity()) : QStringLiteral("el=%1").arg(element.identity());
        line += ' ' + action;
        if (result != Error::success) line += QStringLiteral(" -> %1").arg(int(result));
        core_->log(line);
    }
    block(blockFor);
    return result;
}

Error SimAccessibility::setMessagingTimeout(const ax::Element& element, double seconds) {
    std::lock_guard lock(core_->mutex);
    if (!element.isValid() || !(seconds >= 0) || !std::isfinite(seconds)) return Error::illegalArgument;
    ElementState* e = core_->element(element.identity());
    if (!e) return Error::invalidElement;
    e->messagingTimeout = seconds;
    return Error::success;
}

Error SimAccessibility::pid(const ax::Element& element, std::int32_t& out) {
    std::lock_guard lock(core_->mutex);
    if (!element.isValid()) return Error::illegalArgument;
    ElementState* e = core_->element(element.identity());
    if (!e) return Error::invalidElement;
    out = e->pid;
    return Error::success;
}

std::shared_ptr<ax::Observer> SimAccessibility::createObserver(std::int32_t pid, ax::ObserverCallback callback) {
    std::lock_guard lock(core_->mutex);
    if (pid <= 0 || !callback) return nullptr;
    auto state = std::make_shared<ObserverState>();
    state->pid = pid;
    state->callback = std::move(callback);
    core_->observers.push_back(state);
    return std::make_shared<SimObserver>(core_, state);
}

}  // namespace platform::sim
