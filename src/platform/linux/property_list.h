#pragma once
// XML property lists: the text form of preference domains and of the
// information dictionaries of application bundles.
//
// Values are the kinds of platform/preferences.h: bool, qint64, double,
// QString, QByteArray (base64 <data>), QDateTime (UTC <date>), QVariantList
// and QVariantMap. Reading never trusts its input: depth and size are capped
// and anything unexpected makes the whole document unreadable (a domain's
// document loses only the key of a value that cannot be read).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>
#include <optional>

namespace platform::plist {

// Containers nested deeper than this are refused, on reading and on writing.
inline constexpr int maximumDepth = 512;
// Documents larger than this are refused before they are read.
inline constexpr qint64 maximumDocumentSize = 32LL * 1024 * 1024;

// The value of a document (any kind at the root), or none with the reason.
std::optional<QVariant> parse(const QByteArray& document, QString* error = nullptr);

// A preference domain's document: a dictionary at the root whose values are
// read one key at a time. A value the reader refuses (an integer beyond 64
// bits, a real beyond double range, bad base64, an impossible date), also
// deep inside an array or dictionary, costs only its own key: the key is
// left out of `values` and its value's text is kept in `unreadable`, to be
// written back unchanged.
struct DomainDocument {
    QVariantMap values;
    QMap<QString, QString> unreadable;  // key -> the XML of its value, as it stood
    QMap<QString, QString> reasons;     // key -> why its value was refused
};
// None with the reason when the document is not a property list at all, or
// its root is not a dictionary.
std::optional<DomainDocument> parseDomain(const QByteArray& document, QString* error = nullptr);
// The document of a domain: `values`, and each kept value of `unreadable`
// whose key `values` does not hold, written back as it was read.
std::optional<QByteArray> serializeDomain(const QVariantMap& values, const QMap<QString, QString>& unreadable,
                                          QString* error = nullptr);

// What can still be read from a document that is not a property list (cut
// short, or broken in between): every "<key>" followed by a simple value
// (true, false, string, integer, real, data, date) that reads on its own.
// Nesting cannot be told in such a document; later entries of a key win.
QVariantMap salvageEntries(const QByteArray& document);

// A complete document holding the value, or none when some part of it has
// no faithful text form (an unsupported kind, a character XML cannot carry,
// an invalid date, nesting beyond the cap).
std::optional<QByteArray> serialize(const QVariant& value, QString* error = nullptr);

}  // namespace platform::plist
