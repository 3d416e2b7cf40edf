#include "startmenu/launcher_search.h"

#include <QLocale>
#include <QSet>
#include <algorithm>
#include <unicode/ucol.h>

namespace {

// ICU collation of the current locale at secondary strength: letter case is
// ignored, accents and everything else count. One collator per thread: a
// collator must not be used by two threads at once, and opening one per
// comparison is slow.
class NameCollator {
public:
    static NameCollator& current() {
        thread_local NameCollator collator;
        const QString name = QLocale().name();
        if (name != collator.localeName_ || !collator.collator_) collator.open(name);
        return collator;
    }
    ~NameCollator() {
        if (collator_) ucol_close(collator_);
    }
    int compare(const QString& a, const QString& b) const {
        if (!collator_) return QString::compare(a, b, Qt::CaseInsensitive);
        switch (ucol_strcoll(collator_, utf16(a), int32_t(a.size()), utf16(b), int32_t(b.size()))) {
        case UCOL_LESS: return -1;
        case UCOL_GREATER: return 1;
        default: return 0;
        }
    }
    QByteArray sortKey(const QString& text) const {
        if (!collator_) return text.toLower().toUtf8();
        QByteArray key(64, Qt::Uninitialized);
        int32_t n = ucol_getSortKey(collator_, utf16(text), int32_t(text.size()),
                                    reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
        if (n > key.size()) {
            key.resize(n);
            n = ucol_getSortKey(collator_, utf16(text), int32_t(text.size()), reinterpret_cast<uint8_t*>(key.data()),
                                int32_t(key.size()));
        }
        key.resize(n > 0 ? n - 1 : 0);  // without the terminating zero
        return key;
    }

private:
    static const UChar* utf16(const QString& s) { return reinterpret_cast<const UChar*>(s.utf16()); }
    void open(const QString& name) {
        if (collator_) ucol_close(collator_);
        localeName_ = name;
        UErrorCode status = U_ZERO_ERROR;
        // "C" is no ICU locale: the root collation serves.
        const QByteArray icuName = name == QLatin1String("C") ? QByteArray() : name.toLatin1();
        collator_ = ucol_open(icuName.isEmpty() ? "" : icuName.constData(), &status);
        if (U_FAILURE(status)) {
            if (collator_) ucol_close(collator_);
            collator_ = nullptr;
            return;
        }
        ucol_setStrength(collator_, UCOL_SECONDARY);
    }
    QString localeName_;
    UCollator* collator_ = nullptr;
};

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

int compareNames(const QString& a, const QString& b) { return NameCollator::current().compare(a, b); }

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
    std::vector<QString> lowered;
    lowered.reserve(n);
    std::vector<QByteArray> keys;
    keys.reserve(n);
    byPath_.reserve(qsizetype(n));
    const NameCollator& collator = NameCollator::current();
    for (std::size_t i = 0; i < n; ++i) {
        const InstalledApp& app = apps_[i];
        lowered.push_back(app.name.toLower());
        keys.push_back(collator.sortKey(app.name));
        auto it = byPath_.constFind(app.path);
        if (it == byPath_.constEnd()) it = byPath_.insert(app.path, int(i));
        firstOfPath_.push_back(*it);
    }
    nameOrder_.resize(n);
    for (std::size_t i = 0; i < n; ++i) nameOrder_[i] = int(i);
    // Stable: names the collation calls the same keep their scan order.
    std::stable_sort(nameOrder_.begin(), nameOrder_.end(),
                     [&](int a, int b) { return keys[std::size_t(a)] < keys[std::size_t(b)]; });
    starts_.reserve(n + 1);
    for (int i : nameOrder_) {
        starts_.push_back(qsizetype(lowered_.size()));
        const QString& l = lowered[std::size_t(i)];
        lowered_.insert(lowered_.end(), l.utf16(), l.utf16() + l.size());
    }
    starts_.push_back(qsizetype(lowered_.size()));
}

std::vector<InstalledApp> LauncherSearchIndex::sortedByName() const {
    std::vector<InstalledApp> out;
    out.reserve(apps_.size());
    for (int i : nameOrder_) out.push_back(apps_[std::size_t(i)]);
    return out;
}

int LauncherSearchIndex::indexOfPath(const QString& path) const { return byPath_.value(path, -1); }

std::vector<InstalledApp> LauncherSearchIndex::apps(const QStringList& paths) const {
    std::vector<InstalledApp> out;
    QSet<QString> taken;
    for (const QString& p : paths) {
        if (taken.contains(p)) continue;
        taken.insert(p);
        if (const int i = indexOfPath(p); i >= 0) out.push_back(apps_[std::size_t(i)]);
    }
    return out;
}

std::vector<int> LauncherSearchIndex::rankIndices(const QString& query) const {
    const QString normalized = LauncherSearch::normalizedQuery(query);
    if (normalized.isEmpty()) return nameOrder_;
    const char16_t* q = reinterpret_cast<const char16_t*>(normalized.utf16());
    const qsizetype m = normalized.size();
    const char16_t first = q[0];
    const bool qHasSpace = normalized.contains(u' ');
    // Position of the query in a name at or after `from`, or -1.
    auto find = [&](const char16_t* s, qsizetype len, qsizetype from) -> qsizetype {
        for (qsizetype i = from; i + m <= len; ++i)
            if (s[i] == first && std::equal(q + 1, q + m, s + i + 1)) return i;
        return -1;
    };
    // Walking the names in name order and appending each to its tier's
    // bucket gives the stable sort by tier, then name, for free.
    std::vector<int> buckets[3];
    const std::size_t n = nameOrder_.size();
    for (std::size_t k = 0; k < n; ++k) {
        const char16_t* s = lowered_.data() + starts_[k];
        const qsizetype len = starts_[k + 1] - starts_[k];
        // Every tier needs the query somewhere in the name; its first
        // occurrence bounds where a matching word can start.
        qsizetype at = find(s, len, 0);
        if (at < 0) continue;
        int t = 2;
        if (at == 0) {
            t = 0;
        } else if (!qHasSpace) {
            // A word begins after a space. A query without spaces found there
            // lies inside that word.
            for (; at > 0; at = find(s, len, at + 1))
                if (s[at - 1] == u' ') {
                    t = 1;
                    break;
                }
        }
        buckets[t].push_back(nameOrder_[k]);
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
