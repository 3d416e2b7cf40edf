#pragma once
// One accessibility read or write per call, with a fixed failure convention:
// a read that fails yields no value (or false, or an empty list), a write
// reports whether it took. Nothing here keeps state; callers keep the
// elements they get on their own serial queue.
#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "platform/accessibility.h"
#include "platform/geometry.h"

namespace AXElement {

using Element = platform::ax::Element;

// Every request to an element handed out here gives up after this long, so a
// hung application costs at most this much per request.
inline constexpr double messagingTimeout = 0.25;

// The application element of a process, already given the messaging timeout.
Element application(std::int32_t pid);

// "AXWindows" in the application's order; each window gets the messaging
// timeout. Empty when unreadable or not a list of elements.
std::vector<Element> windows(const Element& app);
// "AXFocusedWindow", with the messaging timeout set.
std::optional<Element> focusedWindow(const Element& app);
// "AXPosition" and "AXSize" as one rectangle in global top-left coordinates.
// Absent when either read fails, has the wrong type, or any coordinate is not
// finite or lies beyond `maxCoordinate`.
std::optional<platform::Rect> frame(const Element& window);
bool isMinimized(const Element& window);
bool isFullScreen(const Element& window);
// False where the window cannot say.
bool demandsAttention(const Element& window);
std::optional<QString> title(const Element& window);
std::optional<QString> subrole(const Element& window);
// Any text attribute, in Unicode canonical composition (NFC) so that texts
// that look the same compare equal.
std::optional<QString> stringAttribute(const Element& element, const QString& name);
bool hasCloseButton(const Element& window);
bool pressCloseButton(const Element& window);
// Writes the size, then the position; true only when both took.
bool setFrame(const Element& window, const platform::Rect& rect);
// Writes the position, the size, then the position again; true only when all
// three took.
bool moveAndResize(const Element& window, const platform::Rect& rect);

// (file path, badge label) pairs of every element down to depth 3 whose
// status label is a non-empty text and that has a URL; depth first.
using Badge = std::pair<QString, QString>;
void collectDockBadges(const Element& element, int depth, std::vector<Badge>& into);

// Coordinates beyond this magnitude are treated as unreadable: they cannot be
// rounded to whole points reliably and no display lies there.
inline constexpr double maxCoordinate = 9007199254740992.0;  // 2^53

}  // namespace AXElement
