#pragma once
// How typed text ranks the installed applications, and the name order of the
// "All Apps" list.
//
// Names are compared the way a person expects in the current locale, letter
// case ignored (ICU collation). Matching lower-cases with the
// locale-independent Unicode mapping.
#include <QString>
#include <memory>
#include <vector>

#include "startmenu/installed_app.h"

namespace LauncherSearch {

// 0: the name begins with the query; 1: a word of the name (split at U+0020
// only) begins with it; 2: the name contains it elsewhere.
using Tier = int;
inline constexpr Tier noTier = -1;

struct Ranked {
    InstalledApp app;
    Tier tier = noTier;
};

// The query as matching sees it: white space and line breaks trimmed from
// both ends, then lower-cased.
QString normalizedQuery(const QString& query);
// The tier of a lower-cased name for a normalised, non-empty query.
Tier tier(const QString& query, const QString& loweredName);
// The word begins with the query, character by character; an empty query
// begins every word.
bool wordHasPrefix(const QString& query, const QString& word);
// Stable: lower tier first, then name order; equal names keep their order.
std::vector<Ranked> sortRanked(std::vector<Ranked> pairs);
// The applications whose name matches, best first; every application in name
// order for a query that is empty after trimming. Never reorders its input.
std::vector<InstalledApp> rank(const QString& query, const std::vector<InstalledApp>& apps);

// Locale-aware, case-insensitive comparison of two names in the current
// locale: negative, zero (the same) or positive.
int compareNames(const QString& a, const QString& b);

}  // namespace LauncherSearch

// One scanned list prepared for ranking: lower-cased names, word starts and
// the name order are computed once, so each keystroke only matches text.
// Gives exactly the results of LauncherSearch::rank and
// InstalledApp::sortByName. Immutable after construction; safe to share.
class LauncherSearchIndex {
public:
    LauncherSearchIndex() = default;
    explicit LauncherSearchIndex(std::vector<InstalledApp> apps);

    const std::vector<InstalledApp>& apps() const { return apps_; }
    // Indices into apps(), in name order.
    const std::vector<int>& nameOrder() const { return nameOrder_; }
    std::vector<InstalledApp> sortedByName() const;
    // Indices into apps() of the ranked result.
    std::vector<int> rankIndices(const QString& query) const;
    std::vector<InstalledApp> rank(const QString& query) const;
    // The index in apps() of the first application with the path, or -1.
    int indexOfPath(const QString& path) const;
    // For each application, the index of the first application with its
    // path (itself unless a path occurs twice).
    const std::vector<int>& firstOfPath() const { return firstOfPath_; }
    // InstalledApp::apps of the paths over apps(), through the kept index.
    std::vector<InstalledApp> apps(const QStringList& paths) const;

private:
    std::vector<InstalledApp> apps_;
    std::vector<int> nameOrder_;
    // The lower-cased names one after another, in name order, so that a
    // keystroke's search walks one block of memory; starts_[k] is where the
    // k-th name in name order begins (one more entry marks the end).
    std::vector<char16_t> lowered_;
    std::vector<qsizetype> starts_;
    QHash<QString, int> byPath_;
    std::vector<int> firstOfPath_;
};
