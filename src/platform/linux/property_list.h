#pragma once
// XML property lists: the text form of preference domains and of the
// information dictionaries of application bundles.
//
// Values are the kinds of platform/preferences.h: bool, qint64, double,
// QString, QByteArray (base64 <data>), QDateTime (UTC <date>), QVariantList
// and QVariantMap. Reading never trusts its input: depth and size are capped
// and anything unexpected makes the whole document unreadable.
#include <QByteArray>
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

// A complete document holding the value, or none when some part of it has
// no faithful text form (an unsupported kind, a character XML cannot carry,
// an invalid date, nesting beyond the cap).
std::optional<QByteArray> serialize(const QVariant& value, QString* error = nullptr);

}  // namespace platform::plist
