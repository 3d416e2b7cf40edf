#include "windows/window_enumerator.h"

#include <cmath>
#include <limits>

#include "platform/window_list.h"
#include "windows/ax_element.h"
#include "services/trace_log.h"

namespace WindowEnumerator {

namespace ax = platform::ax;
namespace names = platform::ax::names;

namespace {

QString flag(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }

// Elements of a map by identity; of several equal elements the lowest token
// wins, so token matching is deterministic.
class ElementIndex {
public:
    void add(const Element& element, WindowToken token) { index_.try_emplace(element, token); }
    std::optional<WindowToken> find(const Element& element) const {
        auto it = index_.find(element);
        if (it == index_.end()) return std::nullopt;
        return it->second;
    }

private:
    std::unordered_map<Element, WindowToken> index_;
};

WindowToken tokenFor(const Element& element, const ElementIndex& previous, const ElementIndex& current,
                     WindowToken& nextToken) {
    if (auto t = previous.find(element)) return *t;
    if (auto t = current.find(element)) return *t;
    return nextToken++;
}

struct RoundedFrame {
    long long x, y, w, h;
    bool operator==(const RoundedFrame&) const = default;
};
struct RoundedFrameHash {
    std::size_t operator()(const RoundedFrame& f) const noexcept {
        std::size_t h = std::hash<long long>{}(f.x);
        for (long long v : {f.y, f.w, f.h}) h = h * 1000003u ^ std::hash<long long>{}(v);
        return h;
    }
};

// Halves away from zero. Frames reaching here are finite and within range
// (AXElement::frame leaves out anything else).
std::optional<RoundedFrame> rounded(const platform::Rect& r) {
    constexpr double limit = 9.0e18;
    for (double v : {r.origin.x, r.origin.y, r.size.width, r.size.height})
        if (!std::isfinite(v) || std::fabs(v) > limit) return std::nullopt;
    return RoundedFrame{std::llround(r.origin.x), std::llround(r.origin.y), std::llround(r.size.width),
                        std::llround(r.size.height)};
}

}  // namespace

std::set<std::int32_t> layerZeroWindowOwners() {
    std::set<std::int32_t> owners;
    auto list = platform::windowServer().copyWindowList(
        platform::windowListOnScreenOnly | platform::windowListExcludeDesktopElements, 0);
    if (!list) return owners;
    for (const auto& record : *list) {
        if (!record.layer || *record.layer != 0 || !record.ownerPID) continue;
        const std::int64_t pid = *record.ownerPID;
        if (pid < std::numeric_limits<std::int32_t>::min() || pid > std::numeric_limits<std::int32_t>::max())
            continue;
        owners.insert(static_cast<std::int32_t>(pid));
    }
    return owners;
}

std::unordered_set<WindowToken> collapseSameFrame(const std::vector<KeptWindow>& windows) {
    std::vector<const KeptWindow*> result;
    result.reserve(windows.size());
    std::unordered_map<RoundedFrame, std::size_t, RoundedFrameHash> positions;
    for (const auto& w : windows) {
        std::optional<RoundedFrame> key;
        if (!w.isMinimized && w.frame) key = rounded(*w.frame);
        if (!key) {
            result.push_back(&w);
            continue;
        }
        auto [it, inserted] = positions.try_emplace(*key, result.size());
        if (inserted) {
            result.push_back(&w);
        } else if (w.isFocused) {
            result[it->second] = &w;
        }
    }
    std::unordered_set<WindowToken> survivors;
    for (const auto* w : result) survivors.insert(w->token);
    return survivors;
}

Result enumerate(const std::vector<AppDescriptor>& descriptors, const ElementMap& previous, WindowToken& nextToken,
                 TitleCache& titleCache, TokenSet& knownStandard) {
    const auto owners = layerZeroWindowOwners();
    const bool tracing = TraceLog::isEnabled();

    ElementIndex previousIndex;
    for (const auto& [token, element] : previous) previousIndex.add(element, token);
    ElementIndex currentIndex;

    Result result;
    result.apps.reserve(descriptors.size());

    for (const auto& d : descriptors) {
        const Element app = AXElement::application(d.pid);
        std::optional<Element> focused;
        if (d.isActive) focused = AXElement::focusedWindow(app);
        std::vector<Element> raw = AXElement::windows(app);
        // An application that lists one window twice shows it once.
        {
            std::unordered_set<Element> seen;
            std::vector<Element> distinct;
            distinct.reserve(raw.size());
            for (const auto& w : raw)
                if (seen.insert(w).second) distinct.push_back(w);
            raw.swap(distinct);
        }
        const bool visible = owners.count(d.pid) > 0;
        if (tracing) {
            TraceLog::write(QStringLiteral("app %1 pid=%2 raw=%3 visible=%4 active=%5 hidden=%6")
                                   .arg(d.name)
                                   .arg(d.pid)
                                   .arg(raw.size())
                                   .arg(flag(visible), flag(d.isActive), flag(d.isHidden)));
        }

        std::vector<KeptWindow> kept;
        for (const auto& w : raw) {
            const WindowToken token = tokenFor(w, previousIndex, currentIndex, nextToken);
            const auto sub = AXElement::subrole(w);
            const bool minimized = AXElement::isMinimized(w);
            const bool isFocused = focused && *focused == w;
            const bool closable = AXElement::hasCloseButton(w);
            const bool standard = sub && *sub == names::standardWindow && closable;
            bool isKept;
            if (standard) {
                knownStandard.insert(token);
                isKept = true;
            } else {
                isKept = minimized && knownStandard.count(token) > 0;
            }
            std::optional<QString> ownTitle;
            if (tracing || isKept) ownTitle = AXElement::title(w);
            if (tracing) {
                TraceLog::write(
                    QStringLiteral("  win tok=%1 sub=%2 min=%3 foc=%4 close=%5 std=%6 known=%7 kept=%8 hash=%9 "
                                   "title=%10")
                        .arg(token)
                        .arg(sub ? *sub : QStringLiteral("nil"))
                        .arg(flag(minimized), flag(isFocused), flag(closable), flag(standard),
                             flag(knownStandard.count(token) > 0), flag(isKept))
                        .arg(static_cast<qulonglong>(w.hash()))
                        .arg(ownTitle ? ownTitle->left(28) : QString()));
            }
            if (!isKept) continue;
            QString shownTitle;
            if (ownTitle && !ownTitle->isEmpty()) {
                titleCache[token] = *ownTitle;
                shownTitle = *ownTitle;
            } else if (auto it = titleCache.find(token); it != titleCache.end()) {
                shownTitle = it->second;
            }
            kept.push_back(KeptWindow{token, w, AXElement::frame(w), minimized, isFocused, shownTitle,
                                      AXElement::demandsAttention(w)});
        }

        const auto survivors = collapseSameFrame(kept);
        AppItem item;
        item.id = d.pid;
        item.pid = d.pid;
        item.bundleID = d.bundleID;
        item.name = d.name;
        item.isActive = d.isActive;
        item.isHidden = d.isHidden;
        item.hasVisibleWindow = visible;
        item.hasUnread = false;
        for (const auto& k : kept) {
            if (!survivors.count(k.token)) continue;
            result.elements.emplace(k.token, k.win);
            currentIndex.add(k.win, k.token);
            item.windows.push_back(WindowItem{k.token, k.title, k.isMinimized, k.isFocused, k.demandsAttention});
        }
        result.apps.push_back(std::move(item));
    }

    for (auto it = titleCache.begin(); it != titleCache.end();) {
        if (result.elements.count(it->first)) ++it;
        else it = titleCache.erase(it);
    }
    for (auto it = knownStandard.begin(); it != knownStandard.end();) {
        if (result.elements.count(*it)) ++it;
        else it = knownStandard.erase(it);
    }
    return result;
}

void raise(const Element& window) {
    if (AXElement::isMinimized(window)) ax::api().setAttribute(window, names::minimized, ax::Value(false));
    ax::api().performAction(window, names::raise);
}

bool place(const Element& window, const std::vector<WindowLayoutCalculator::DisplayArea>& displays,
           WindowLayoutCalculator::Placement placement) {
    if (AXElement::isFullScreen(window)) return false;
    if (AXElement::isMinimized(window)) ax::api().setAttribute(window, names::minimized, ax::Value(false));
    // Where the window manager maximises windows itself, it is asked to, so
    // its own restore and title bar agree; the fitted frame is the fallback
    // for a manager that refuses.
    if (placement == WindowLayoutCalculator::Placement::maximize &&
        ax::api().setAttribute(window, names::maximized, ax::Value(true)) == ax::Error::success) {
        ax::api().performAction(window, names::raise);
        return true;
    }
    auto current = AXElement::frame(window);
    if (!current) return false;
    auto target = WindowLayoutCalculator::frame(placement, *current, displays);
    if (!target) return false;
    const bool moved = AXElement::moveAndResize(window, *target);
    ax::api().performAction(window, names::raise);
    return moved;
}

}  // namespace WindowEnumerator
