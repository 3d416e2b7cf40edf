// How typed text ranks applications, checked on the stated examples and
// against a plain transcription of the rules on random lists.
#include <gtest/gtest.h>

#include <QLocale>
#include <algorithm>
#include <random>

#include "startmenu/launcher_search.h"

namespace {

std::vector<InstalledApp> named(std::initializer_list<const char*> names) {
    std::vector<InstalledApp> out;
    int i = 0;
    for (const char* n : names) out.push_back({QString::fromUtf8(n), QStringLiteral("/%1").arg(i++), std::nullopt});
    return out;
}

QStringList namesOf(const std::vector<InstalledApp>& apps) {
    QStringList out;
    for (const auto& a : apps) out << a.name + u'@' + a.path;
    return out;
}

QStringList plainNames(const std::vector<InstalledApp>& apps) {
    QStringList out;
    for (const auto& a : apps) out << a.name;
    return out;
}

// The rules read literally: trim, lower-case, first tier that holds, then a
// stable sort by tier and collated name. Slow and obviously right.
std::vector<InstalledApp> referenceRank(const QString& query, const std::vector<InstalledApp>& apps) {
    auto byName = [&](const InstalledApp& a, const InstalledApp& b) {
        return LauncherSearch::compareNames(a.name, b.name) < 0;
    };
    const QString q = query.trimmed().toLower();
    if (q.isEmpty()) {
        auto out = apps;
        std::stable_sort(out.begin(), out.end(), byName);
        return out;
    }
    std::vector<std::pair<InstalledApp, int>> pairs;
    for (const auto& app : apps) {
        const QString n = app.name.toLower();
        int tier = -1;
        if (n.startsWith(q)) {
            tier = 0;
        } else {
            for (const QString& w : n.split(u' ', Qt::SkipEmptyParts))
                if (w.startsWith(q)) {
                    tier = 1;
                    break;
                }
            if (tier < 0 && n.contains(q)) tier = 2;
        }
        if (tier >= 0) pairs.emplace_back(app, tier);
    }
    std::stable_sort(pairs.begin(), pairs.end(), [&](const auto& a, const auto& b) {
        if (a.second != b.second) return a.second < b.second;
        return byName(a.first, b.first);
    });
    std::vector<InstalledApp> out;
    for (auto& p : pairs) out.push_back(p.first);
    return out;
}

TEST(LauncherSearchTest, StatedExamples) {
    struct Case {
        const char* query;
        std::vector<InstalledApp> apps;
        QStringList expected;  // names, in result order
    };
    const Case cases[] = {
        // Trimmed and lower-cased; one application per tier; no match left out.
        {" Be ", named({"Gamma", "Maybe", "Alpha Beta", "Beta"}), {"Beta", "Alpha Beta", "Maybe"}},
        // An inner space matches in tier 0 or 2, never 1.
        {"alpha b", named({"The Alpha Beta", "Alpha Beta"}), {"Alpha Beta", "The Alpha Beta"}},
        // Two spaces split like one; a tab does not split; leading spaces
        // make the first word a word match.
        {"tw", named({"one\ttwo", "one  two"}), {"one  two", "one\ttwo"}},
        {"wor", named({"Sword", "  world"}), {"  world", "Sword"}},
        // Letter case in the query or names makes no difference.
        {"SAF", named({"safari", "Safe Mode"}), {"safari", "Safe Mode"}},
        // Within a tier equal names keep scan order, names order otherwise.
        {"a", named({"beta", "Beta", "Alpha"}), {"Alpha", "beta", "Beta"}},
        {"zzz", named({"Alpha", "Beta"}), {}},
        // Empty after trimming: everything by name only.
        {" \n\t", named({"delta", "Beta", "alpha"}), {"alpha", "Beta", "delta"}},
        {"be", named({"beta", "Beta", "Alpha Beta"}), {"beta", "Beta", "Alpha Beta"}},
    };
    for (const auto& c : cases) {
        const auto input = c.apps;
        const auto result = LauncherSearch::rank(QString::fromUtf8(c.query), c.apps);
        EXPECT_EQ(plainNames(result), c.expected) << c.query;
        EXPECT_EQ(c.apps, input);  // the input is never reordered
        EXPECT_EQ(LauncherSearch::rank(QString::fromUtf8(c.query), c.apps), result);
    }
    // Equal names keep scan order in both orders of scan.
    EXPECT_EQ(namesOf(LauncherSearch::rank("b", named({"Beta", "beta"}))), (QStringList{"Beta@/0", "beta@/1"}));
    EXPECT_EQ(namesOf(InstalledApp::sortByName(named({"beta", "Alpha", "Beta"}))),
              (QStringList{"Alpha@/1", "beta@/0", "Beta@/2"}));
}

TEST(LauncherSearchTest, WordHasPrefix) {
    EXPECT_TRUE(LauncherSearch::wordHasPrefix("", "word"));
    EXPECT_TRUE(LauncherSearch::wordHasPrefix("wo", "word"));
    EXPECT_FALSE(LauncherSearch::wordHasPrefix("words", "word"));
    EXPECT_FALSE(LauncherSearch::wordHasPrefix("or", "word"));
}

TEST(LauncherSearchTest, MatchesThePlainRulesOnRandomLists) {
    // Few letters, spaces, tabs, case and accents so that every tier, tie
    // and collation corner comes up often.
    const QString alphabet = QStringLiteral("aAbBcé É  \t");
    std::mt19937 rng(1234);
    auto randomText = [&](int maxLength) {
        std::uniform_int_distribution<int> len(0, maxLength), pick(0, int(alphabet.size()) - 1);
        QString s;
        for (int n = len(rng); n > 0; --n) s += alphabet[pick(rng)];
        return s;
    };
    for (int round = 0; round < 400; ++round) {
        std::vector<InstalledApp> apps;
        const int count = std::uniform_int_distribution<int>(0, 40)(rng);
        for (int i = 0; i < count; ++i) apps.push_back({randomText(8), QStringLiteral("/%1").arg(i), std::nullopt});
        const LauncherSearchIndex index(apps);
        for (int k = 0; k < 8; ++k) {
            const QString query = randomText(3);
            const auto expected = referenceRank(query, apps);
            ASSERT_EQ(namesOf(index.rank(query)), namesOf(expected)) << "query \"" << query.toStdString() << "\"";
        }
    }
}

}  // namespace
