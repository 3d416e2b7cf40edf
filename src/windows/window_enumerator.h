#pragma once
// Turns the listed applications into one window snapshot, and performs the
// raise and placement writes of the window service. Stateless: everything it
// remembers between passes belongs to the window service, which passes it in.
// Runs only on the window service's queue, where its elements live.
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/accessibility.h"
#include "platform/geometry.h"
#include "windows/window_layout_calculator.h"
#include "windows/window_types.h"

namespace WindowEnumerator {

using Element = platform::ax::Element;
// Token to element, iterated in ascending token order.
using ElementMap = std::map<WindowToken, Element>;
using TitleCache = std::unordered_map<WindowToken, QString>;
using TokenSet = std::unordered_set<WindowToken>;

// What the main thread knows about one listed application.
struct AppDescriptor {
    std::int32_t pid = 0;
    std::optional<QString> bundleID;
    QString name;
    bool isActive = false;
    bool isHidden = false;
    friend bool operator==(const AppDescriptor&, const AppDescriptor&) = default;
};

// A window of one application that passed the kept-window rule.
struct KeptWindow {
    WindowToken token = 0;
    Element win;
    std::optional<platform::Rect> frame;
    bool isMinimized = false;
    bool isFocused = false;
    QString title;
    bool demandsAttention = false;
};

struct Result {
    std::vector<AppItem> apps;
    ElementMap elements;
};

// One pass: one AppItem per descriptor in order (hasUnread false). Updates
// `nextToken`, `titleCache` and `knownStandard` in place.
Result enumerate(const std::vector<AppDescriptor>& descriptors, const ElementMap& previous, WindowToken& nextToken,
                 TitleCache& titleCache, TokenSet& knownStandard);

// Un-minimises the window when minimised, then raises it.
void raise(const Element& window);

// Moves a window into the placement's frame on its display and raises it.
// False for a full-screen window, an unreadable frame, no target frame or a
// write that did not take.
bool place(const Element& window, const std::vector<WindowLayoutCalculator::DisplayArea>& displays,
           WindowLayoutCalculator::Placement placement);

// Process ids owning an on-screen window at layer 0; empty when the window
// server gives no list.
std::set<std::int32_t> layerZeroWindowOwners();

// Of several non-minimised windows whose frames round to the same whole
// numbers, one survives: the focused one, else the first. Returns the tokens
// of the survivors.
std::unordered_set<WindowToken> collapseSameFrame(const std::vector<KeptWindow>& windows);

}  // namespace WindowEnumerator
