#include <gtest/gtest.h>

#include <QDateTime>
#include <QRandomGenerator>
#include <QTimeZone>
#include <cmath>
#include <limits>

#include "platform/linux/property_list.h"
#include "platform/preferences.h"

using namespace platform;

namespace {

QVariant roundTrip(const QVariant& v) {
    QString error;
    auto doc = plist::serialize(v, &error);
    EXPECT_TRUE(doc.has_value()) << error.toStdString();
    if (!doc) return {};
    auto back = plist::parse(*doc, &error);
    EXPECT_TRUE(back.has_value()) << error.toStdString() << "\n" << doc->toStdString();
    return back.value_or(QVariant());
}

QByteArray wrap(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

QByteArray nested(int depth) {
    QByteArray open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<array>";
        close += "</array>";
    }
    return wrap(open + close);
}

}  // namespace

TEST(PropertyList, EveryKindRoundTripsWithItsKindAndValue) {
    QVariantMap inner{{QStringLiteral("empty dict"), QVariantMap()}, {QStringLiteral("empty array"), QVariantList()}};
    const QDateTime date(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC);
    const QDateTime dateMs(QDate(1999, 12, 31), QTime(1, 2, 3, 456), Qt::UTC);
    QByteArray bytes;
    for (int i = 0; i < 256; ++i) bytes.append(char(i));
    QVariantMap root{
        {QStringLiteral("yes"), true},
        {QStringLiteral("no"), false},
        {QStringLiteral("zero"), qint64(0)},
        {QStringLiteral("min"), std::numeric_limits<qint64>::min()},
        {QStringLiteral("max"), std::numeric_limits<qint64>::max()},
        {QStringLiteral("real"), 0.1},
        {QStringLiteral("whole real"), 3.0},
        {QStringLiteral("tiny"), 5e-324},
        {QStringLiteral("negative zero"), -0.0},
        {QStringLiteral("text"), QStringLiteral("Grüße, 简体中文, emoji 😀, tab\there")},
        {QStringLiteral("markup"), QStringLiteral("<key>&amp;</key> ]]> \"quoted\" 'single'")},
        {QStringLiteral("line ends"), QStringLiteral("a\r\nb\rc\n")},
        {QStringLiteral("padded"), QStringLiteral("  spaces kept  ")},
        {QStringLiteral("empty text"), QString()},
        {QStringLiteral("data"), bytes},
        {QStringLiteral("empty data"), QByteArray()},
        {QStringLiteral("date"), date},
        {QStringLiteral("date with ms"), dateMs},
        {QStringLiteral("array"), QVariantList{qint64(1), QStringLiteral("two"), QVariantList{}, inner}},
        {QStringLiteral("dict"), inner},
        {QStringLiteral("键 <&>"), QStringLiteral("non-ASCII and markup in a key")},
        {QString(), QStringLiteral("empty key")},
    };
    const QVariant back = roundTrip(root);
    ASSERT_EQ(prefs::kindOf(back), prefs::Kind::dictionary);
    const QVariantMap map = back.toMap();
    ASSERT_EQ(map.keys(), root.keys());
    for (auto it = root.begin(); it != root.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        const QVariant got = map.value(it.key());
        EXPECT_EQ(prefs::kindOf(got), prefs::kindOf(it.value()));
        EXPECT_EQ(got, it.value());
    }
    EXPECT_TRUE(std::signbit(map.value(QStringLiteral("negative zero")).toDouble()));
}

TEST(PropertyList, NonFiniteRealsRoundTrip) {
    const QVariantList list{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN()};
    const QVariantList back = roundTrip(QVariantMap{{QStringLiteral("r"), list}}).toMap().value(QStringLiteral("r")).toList();
    ASSERT_EQ(back.size(), 3);
    EXPECT_EQ(back[0].toDouble(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(back[1].toDouble(), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(back[2].toDouble()));
}

TEST(PropertyList, ValuesWithoutAFaithfulTextFormAreRefused) {
    struct Case {
        const char* name;
        QVariant value;
    };
    QVariant deep = QVariantList{};
    for (int i = 0; i < plist::maximumDepth + 1; ++i) deep = QVariantList{deep};
    const Case cases[] = {
        {"control character", QStringLiteral("bell\x07")},
        {"NUL", QString(QChar(0))},
        {"lone high surrogate", QString(QChar(0xD800))},
        {"lone low surrogate", QString(QChar(0xDC00)) + QStringLiteral("x")},
        {"U+FFFF", QString(QChar(0xFFFF))},
        {"invalid date", QDateTime()},
        {"int (not qint64)", QVariant(int(3))},
        {"string list", QVariant(QStringList{QStringLiteral("a")})},
        {"nested too deep", deep},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(plist::serialize(QVariantMap{{QStringLiteral("k"), c.value}}, &error).has_value());
        EXPECT_FALSE(error.isEmpty());
        // In a key as well as in a value.
        if (prefs::kindOf(c.value) == prefs::Kind::text) {
            EXPECT_FALSE(plist::serialize(QVariantMap{{c.value.toString(), true}}).has_value());
        }
    }
}

TEST(PropertyList, NestingUpToTheCapIsReadAndBeyondItIsRefused) {
    EXPECT_TRUE(plist::parse(nested(plist::maximumDepth)).has_value());
    EXPECT_FALSE(plist::parse(nested(plist::maximumDepth + 1)).has_value());
    QString error;
    EXPECT_FALSE(plist::parse(nested(10000), &error).has_value());
    EXPECT_FALSE(error.isEmpty());
    // What the writer accepts, the reader reads back.
    QVariant deepest = QVariantList{};
    for (int i = 1; i < plist::maximumDepth; ++i) deepest = QVariantList{deepest};
    auto doc = plist::serialize(deepest);
    ASSERT_TRUE(doc.has_value());
    EXPECT_TRUE(plist::parse(*doc).has_value());
}

TEST(PropertyList, HostileDocumentsAreRefusedWithAReason) {
    const QByteArray valid = *plist::serialize(QVariantMap{{QStringLiteral("a"), qint64(1)}});
    const QByteArray entityBomb =
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
        "<plist><dict><key>k</key><string>&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;</string></dict></plist>";
    struct Case {
        const char* name;
        QByteArray document;
    };
    const Case cases[] = {
        {"empty", ""},
        {"not XML", "this is not a property list"},
        {"binary", QByteArray("bplist00\xd1\x01\x02", 11)},
        {"truncated", valid.left(valid.size() / 2)},
        {"truncated before the end tag", valid.left(valid.lastIndexOf("</plist>"))},
        {"unknown element", wrap("<dict><key>a</key><banana/></dict>")},
        {"key without value", wrap("<dict><key>a</key></dict>")},
        {"value without key", wrap("<dict><string>a</string></dict>")},
        {"two keys in a row", wrap("<dict><key>a</key><key>b</key><true/></dict>")},
        {"stray text in a dict", wrap("<dict>text<key>a</key><true/></dict>")},
        {"element inside a string", wrap("<string>a<b/>c</string>")},
        {"text inside true", wrap("<true>yes</true>")},
        {"integer with letters", wrap("<integer>12abc</integer>")},
        {"integer overflow", wrap("<integer>9223372036854775808</integer>")},
        {"empty integer", wrap("<integer></integer>")},
        {"real with letters", wrap("<real>1.5x</real>")},
        {"bad base64", wrap("<data>@@@@</data>")},
        {"non-ASCII in data", wrap("<data>QUJD中</data>")},
        {"date without zone", wrap("<date>2024-01-01T00:00:00</date>")},
        {"impossible date", wrap("<date>2024-13-45T99:00:00Z</date>")},
        {"two root values", wrap("<true/><false/>")},
        {"content after the root", valid + "<plist><dict/></plist>"},
        {"mismatched tags", wrap("<array><dict></array></dict>")},
        {"undeclared entity", wrap("<string>&nope;</string>")},
        {"entity expansion bomb", entityBomb},
        {"external entity", "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                            "<plist><string>&x;</string></plist>"},
        {"invalid UTF-8", wrap("<string>\xff\xfe\xfd</string>")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(plist::parse(c.document, &error).has_value());
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(PropertyList, AcceptsWhatOtherWritersProduce) {
    // Comments, CDATA, character references, spaced data and a bare root.
    const QByteArray doc = wrap(
        "<!-- written by hand -->\n<dict>\n  <key>name</key> <string><![CDATA[<raw> & text]]></string>\n"
        "  <key>ref</key><string>&#x4E2D;&#25991;&lt;</string>\n"
        "  <key>blob</key><data>\n    QUJD\n    REVG\n  </data>\n"
        "  <key>n</key><integer> -42 </integer>\n"
        "  <key>r</key><real>1e3</real>\n  <key>b</key><false></false>\n</dict>\n");
    auto v = plist::parse(doc);
    ASSERT_TRUE(v.has_value());
    const QVariantMap m = v->toMap();
    EXPECT_EQ(m.value(QStringLiteral("name")), QVariant(QStringLiteral("<raw> & text")));
    EXPECT_EQ(m.value(QStringLiteral("ref")), QVariant(QStringLiteral("中文<")));
    EXPECT_EQ(m.value(QStringLiteral("blob")), QVariant(QByteArray("ABCDEF")));
    EXPECT_EQ(m.value(QStringLiteral("n")), QVariant(qint64(-42)));
    EXPECT_EQ(m.value(QStringLiteral("r")), QVariant(1000.0));
    EXPECT_EQ(m.value(QStringLiteral("b")), QVariant(false));
    auto bare = plist::parse("<array><string>x</string></array>");
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(prefs::kindOf(*bare), prefs::Kind::array);
}

TEST(PropertyList, RandomMutationsNeverCrashAndRoundTripWhenAccepted) {
    const QByteArray valid = *plist::serialize(QVariantMap{
        {QStringLiteral("list"), QVariantList{qint64(1), 2.5, QStringLiteral("three"), QVariantMap{{QStringLiteral("x"), true}}}},
        {QStringLiteral("unsigned"), qint64(1844674407370955161)},  // one digit more and it is refused
        {QStringLiteral("data"), QByteArray("payload")},
        {QStringLiteral("date"), QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9), Qt::UTC)},
    });
    QRandomGenerator rng(20240229);
    const char alphabet[] = "<>/&;!?[]\"' \n\tabcdefgkrstuy0123456789";
    for (int round = 0; round < 3000; ++round) {
        QByteArray doc = valid;
        const int edits = 1 + int(rng.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const int pos = int(rng.bounded(doc.size() + 1));
            switch (rng.bounded(4)) {
                case 0: doc.remove(pos, 1 + int(rng.bounded(8))); break;
                case 1: doc.insert(pos, alphabet[rng.bounded(int(sizeof alphabet - 1))]); break;
                case 2: if (pos < doc.size()) doc[pos] = char(rng.bounded(256)); break;
                case 3: doc.insert(pos, doc.mid(int(rng.bounded(doc.size())), int(rng.bounded(40)))); break;
            }
        }
        auto v = plist::parse(doc);
        if (v && prefs::kindOf(*v) == prefs::Kind::dictionary && prefs::isPropertyListValue(*v)) {
            // Whatever is accepted must be writable and read back the same.
            auto again = plist::serialize(*v);
            if (!again) continue;  // e.g. a control character arrived through a reference
            auto back = plist::parse(*again);
            ASSERT_TRUE(back.has_value()) << doc.toStdString();
        }
        // A domain's document, with its kept texts, writes back the same way twice.
        if (auto domain = plist::parseDomain(doc)) {
            auto written = plist::serializeDomain(domain->values, domain->unreadable);
            if (!written) continue;
            auto again = plist::parseDomain(*written);
            ASSERT_TRUE(again.has_value()) << doc.toStdString();
            EXPECT_EQ(again->unreadable, domain->unreadable) << doc.toStdString();
            EXPECT_EQ(plist::serializeDomain(again->values, again->unreadable), written) << doc.toStdString();
        }
    }
}

// In a domain's document a value the reader refuses costs only its key: the
// other keys are read, the refused value's text is written back as it stood
// (also after the domain changed), and it reads the same way again.
TEST(PropertyList, ADomainLosesOnlyTheKeyOfAValueThatCannotBeRead) {
    struct Case {
        const char* name;
        QByteArray value;
    };
    const Case cases[] = {
        {"unsigned 64-bit integer", "<integer>18446744073709551615</integer>"},
        {"real beyond double range", "<real>1e400</real>"},
        {"bad base64", "<data>@@@@</data>"},
        {"impossible date", "<date>2024-13-45T99:00:00Z</date>"},
        {"deep inside an array", "<array><dict><key>x</key><integer>99999999999999999999</integer></dict>\n"
                                 "  <string>a &amp; b</string></array>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray doc = wrap("<dict><key>a</key><string>kept</string>\n<key>bad</key> " + c.value +
                                    "\n<key>z</key><integer>7</integer></dict>");
        EXPECT_FALSE(plist::parse(doc).has_value());  // the plain reader still refuses the document
        QString error;
        auto read = plist::parseDomain(doc, &error);
        ASSERT_TRUE(read.has_value()) << error.toStdString();
        EXPECT_EQ(read->values, (QVariantMap{{QStringLiteral("a"), QStringLiteral("kept")}, {QStringLiteral("z"), qint64(7)}}));
        EXPECT_EQ(read->unreadable.value(QStringLiteral("bad")), QString::fromUtf8(c.value));
        EXPECT_FALSE(read->reasons.value(QStringLiteral("bad")).isEmpty());

        QVariantMap changed = read->values;
        changed.insert(QStringLiteral("new"), true);
        auto written = plist::serializeDomain(changed, read->unreadable);
        ASSERT_TRUE(written.has_value());
        EXPECT_TRUE(written->contains(c.value)) << written->toStdString();
        auto again = plist::parseDomain(*written);
        ASSERT_TRUE(again.has_value());
        EXPECT_EQ(again->values, changed);
        EXPECT_EQ(again->unreadable, read->unreadable);
        // A value set for the key replaces the kept text.
        changed.insert(QStringLiteral("bad"), qint64(1));
        EXPECT_FALSE(plist::serializeDomain(changed, read->unreadable)->contains(c.value));
    }
    // Not a property list, or not a dictionary at the root: no domain at all.
    for (const QByteArray& doc : {QByteArray("garbage"), wrap("<array/>"), wrap("<dict><key>a</key></dict>")})
        EXPECT_FALSE(plist::parseDomain(doc).has_value()) << doc.toStdString();
}
