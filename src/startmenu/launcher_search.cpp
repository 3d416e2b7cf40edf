#include "startmenu/launcher_search.h"

#include <QLocale>
#include <algorithm>

namespace {

// One collator per thread for the current locale: QCollator is not safe to
// share between threads, and building one per comparison is slow.
QCollator& currentCollator() {
    thread_local QString localeName;
    thread_local QCollator collator;
    const QLocale locale;
    if (localeName != locale.name() || localeName.isEmpty()) {
        localeName = locale.name();
        collator = QCollator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(false);
        collator.setIgnorePunctuation(false);
    }
    return collator;
}

}  // namespace

namespace LauncherSearch {

QString normalizedQuery(const QString& query) { return query.trimmed().toLower(); }

bool wordHasPrefix(const QString& query, const QString& word) { return word.startsWith(query); }

Tier tier(const QString& query, const QString& loweredName) {
    if (loweredName.startsWith(query)) return 0;
    for (const QString& word : loweredName.split(u' ', Qt::SkipEmptyParts))
        if (wordHasPrefix(query, word)) return 1;
    if (loweredName.contains(query)) return 2;
    return noTier;
}

int compareNames(const QString& a, const QString& b) { return currentCollator().compare(a, b); }

std::vector<Ranked> sortRanked(std::vector<Ranked> pairs) {
    std::stable_sort(pairs.begin(), pairs.end(), [](const Ranked& a, const Ranked& b) {
        if (a.tier != b.tier) return a.tier < b.tier;
        return compareNames(a.app.name, b.app.name) < 0;
    });
    return pairs;
}

std::vector<InstalledApp> rank(const QString& query, const std::vector<InstalledApp>& apps) {
    return LauncherSearchIndex(apps).rank(query);
}

}  // namespace LauncherSearch

LauncherSearchIndex::LauncherSearchIndex(std::vector<InstalledApp> apps) : apps_(std::move(apps)) {
    const std::size_t n = apps_.size();
    lowered_.reserve(n);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    QCollator& collator = currentCollator();
    for (const InstalledApp& app : apps_) {
        lowered_.push_back(app.name.toLower());
        keys.push_back(collator.sortKey(app.name));
    }
    nameOrder_.resize(n);
    for (std::size_t i = 0; i < n; ++i) nameOrder_[i] = int(i);
    // Stable: names the collation calls the same keep their scan order.
    std::stable_sort(nameOrder_.begin(), nameOrder_.end(),
                     [&](int a, int b) { return keys[std::size_t(a)].compare(keys[std::size_t(b)]) < 0; });
}

std::vector<InstalledApp> LauncherSearchIndex::sortedByName() const {
    std::vector<InstalledApp> out;
    out.reserve(apps_.size());
    for (int i : nameOrder_) out.push_back(apps_[std::size_t(i)]);
    return out;
}

std::vector<int> LauncherSearchIndex::rankIndices(const QString& query) const {
    const QString q = LauncherSearch::normalizedQuery(query);
    if (q.isEmpty()) return nameOrder_;
    const bool qHasSpace = q.contains(u' ');
    // Walking the applications in name order and appending each to its
    // tier's bucket gives the stable sort by tier, then name, for free.
    std::vector<int> buckets[3];
    for (int i : nameOrder_) {
        const QStringView name(lowered_[std::size_t(i)]);
        // Every tier needs the query somewhere in the name; its first
        // occurrence bounds where a matching word can start.
        const qsizetype at = name.indexOf(q);
        if (at < 0) continue;
        int t = 2;
        if (at == 0) {
            t = 0;
        } else if (!qHasSpace) {
            // A word begins at a non-space character after a space. A query
            // without spaces that starts there lies inside that word.
            for (qsizetype p = at; p >= 0 && p + q.size() <= name.size();) {
                if (name[p - 1] == u' ' && name[p] != u' ' && name.mid(p).startsWith(q)) {
                    t = 1;
                    break;
                }
                p = name.indexOf(q, p + 1);
            }
        }
        buckets[t].push_back(i);
    }
    std::vector<int> out;
    out.reserve(buckets[0].size() + buckets[1].size() + buckets[2].size());
    for (auto& b : buckets) out.insert(out.end(), b.begin(), b.end());
    return out;
}

std::vector<InstalledApp> LauncherSearchIndex::rank(const QString& query) const {
    std::vector<InstalledApp> out;
    const std::vector<int> indices = rankIndices(query);
    out.reserve(indices.size());
    for (int i : indices) out.push_back(apps_[std::size_t(i)]);
    return out;
}
