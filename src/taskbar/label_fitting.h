#pragma once
// The task strip's sizes and fitting rules as pure functions: how wide each
// group is, how many running buttons fit, whether they carry labels, the
// sizes that follow the bar height, and the reordering of a drop. Widths are
// fixed estimates per button; no text is ever measured here.
#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The result of fitting the running group into its width.
struct TaskStripFit {
    bool showLabels = false;
    bool overflow = false;
    int visibleCount = 0;
    double labelWidth = 0;
    friend bool operator==(const TaskStripFit&, const TaskStripFit&) = default;
};

namespace TaskStripLayout {

inline constexpr double spacing = 4;
inline constexpr double iconOnlyExtra = 10;        // 5 of padding each side
inline constexpr double iconOnlyBadgeExtra = 32;   // 5 spacing, 17 badge, 10 padding
inline constexpr double labelledFixedExtra = 21;   // 5 spacing, 8 padding each side
inline constexpr double labelledBadgeExtra = 22;   // 5 spacing, 17 badge
inline constexpr double widestLabelledButton = 168;
inline constexpr double narrowestLabel = 28;
inline constexpr double runningMargin = 16;
inline constexpr double dividerGap = 9;            // 4 + 1 + 4
inline constexpr double overflowExtra = 32;
inline constexpr double rowPadding = 4;
inline constexpr double dividerWidth = 1;
inline constexpr double dividerHeight = 22;

// A button counts as wide when it shows a window-count badge.
inline bool isWide(long long badge) { return badge > 1; }

// The width a group needs without labels.
double naturalWidth(const std::vector<bool>& wideFlags, double iconSize);
double naturalWidth(long long count, long long wideCount, double iconSize);

// How the running group fits into `width`.
TaskStripFit fit(const std::vector<bool>& wideFlags, bool iconsOnly, double width, double iconSize);

// Sizes that follow the "appearanceBarHeight" text (an unknown text is "medium").
double iconSize(const QString& barHeightRaw);
double overflowButtonHeight(const QString& barHeightRaw);
double buttonHeight(const QString& barHeightRaw);
double labelFontSize(const QString& barHeightRaw);
double runningDotReferenceHeight(const QString& barHeightRaw);
// How far the running dot sits below the icon's bottom edge.
double runningDotOffset(double referenceHeight, double iconSize);

// The running order after dropping `dragged` onto `target`; none when the
// drop changes nothing it may change (equal identifiers, target missing).
std::optional<QStringList> reorderedRunning(const QStringList& order, const QString& dragged, const QString& target);

}  // namespace TaskStripLayout

namespace TaskButtonStyle {

enum class State { dragged, active, normal };

struct Colors {
    QColor fill;
    QColor outline;
    double outlineWidth = 1;
    friend bool operator==(const Colors&, const Colors&) = default;
};

// Dragged wins over active, active over the plain state.
State state(bool dragged, bool active);
Colors colors(State state, const QColor& selection, const QColor& primary);

}  // namespace TaskButtonStyle
