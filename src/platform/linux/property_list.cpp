#include "platform/linux/property_list.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimeZone>
#include <QVariantList>
#include <QVariantMap>
#include <QXmlStreamReader>
#include <cmath>
#include <limits>

#include "platform/preferences.h"

namespace platform::plist {
namespace {

// ---- reading ----------------------------------------------------------------

class Reader {
public:
    explicit Reader(const QByteArray& data) : xml_(data) {
        // Internal entities of a hostile DTD must not expand without bound.
        xml_.setEntityExpansionLimit(1024);
    }
    // A domain's document, read from its decoded text so that the text of a
    // refused value can be cut out of it by the reader's offsets.
    Reader(const QString& text, DomainDocument* domain) : xml_(text), text_(&text), domain_(domain) {
        xml_.setEntityExpansionLimit(1024);
        // A kept text must mean the same when written into another document:
        // no prefix may depend on a declaration outside it.
        xml_.setNamespaceProcessing(false);
    }

    std::optional<QVariant> document() {
        if (!nextElement()) return fail(QStringLiteral("no root element"));
        std::optional<QVariant> value;
        if (xml_.name() == QLatin1String("plist")) {
            if (!nextElement()) return fail(QStringLiteral("empty plist element"));
            value = readValue(1);
            if (!value) return std::nullopt;
            if (!expectEnd()) return fail(QStringLiteral("more than one value in the plist element"));
        } else {
            value = readValue(1);
            if (!value) return std::nullopt;
        }
        // Nothing but comments and white space may follow the root.
        while (!xml_.atEnd()) {
            auto token = xml_.readNext();
            if (token == QXmlStreamReader::Invalid || token == QXmlStreamReader::EndDocument) break;
            if (!ignorable(token)) return fail(QStringLiteral("content after the root element"));
        }
        if (xml_.hasError()) return fail(xml_.errorString());
        return value;
    }

    QString error;

private:
    std::nullopt_t fail(const QString& why) {
        if (error.isEmpty()) {
            error = xml_.hasError() ? xml_.errorString() : why;
            error += QStringLiteral(" (line %1)").arg(xml_.lineNumber());
        }
        return std::nullopt;
    }

    // A well-formed value whose text cannot be taken. Inside a domain's root
    // dictionary it costs only its key (the reader goes on); anywhere else
    // the document is unreadable.
    std::optional<QVariant> refuseValue(const QString& why) {
        if (!inRootValue_) return fail(why);
        if (valueError_.isEmpty()) valueError_ = why;
        return QVariant();
    }

    bool ignorable(QXmlStreamReader::TokenType t) const {
        switch (t) {
            case QXmlStreamReader::StartDocument:
            case QXmlStreamReader::DTD:
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
                return true;
            case QXmlStreamReader::Characters: return xml_.isWhitespace();
            default: return false;
        }
    }

    // Advances to the next start element; false at an end element, an error
    // or stray text.
    bool nextElement() {
        for (;;) {
            auto t = xml_.readNext();
            if (t == QXmlStreamReader::StartElement) return true;
            // Property lists declare no entities; a document that does is
            // refused rather than have references silently dropped.
            if (t == QXmlStreamReader::DTD && !xml_.entityDeclarations().isEmpty()) {
                error = QStringLiteral("entity declarations in the document type");
                return false;
            }
            if (!ignorable(t)) return false;
        }
    }

    // Advances to the end of the current container; false if another element
    // or stray text comes first.
    bool expectEnd() {
        for (;;) {
            auto t = xml_.readNext();
            if (t == QXmlStreamReader::EndElement) return true;
            if (!ignorable(t)) return false;
        }
    }

    // Text of a leaf element; none if it contains elements.
    std::optional<QString> leafText() {
        QString text = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml_.hasError()) return std::nullopt;
        return text;
    }

    // Reads the value whose start element is current; afterwards its end
    // element is current.
    std::optional<QVariant> readValue(int depth) {
        const QString name = xml_.name().toString();
        if (name == QLatin1String("dict")) return readDictionary(depth);
        if (name == QLatin1String("array")) return readArray(depth);
        auto text = leafText();
        if (!text) return fail(QStringLiteral("element inside <%1>").arg(name));
        if (name == QLatin1String("string")) return QVariant(*text);
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            if (!text->trimmed().isEmpty()) return fail(QStringLiteral("text inside <%1/>").arg(name));
            return QVariant(name == QLatin1String("true"));
        }
        if (name == QLatin1String("integer")) {
            bool ok = false;
            qint64 v = text->trimmed().toLongLong(&ok, 10);
            if (!ok) return refuseValue(QStringLiteral("bad integer \"%1\"").arg(text->left(40)));
            return QVariant(v);
        }
        if (name == QLatin1String("real")) {
            auto v = parseReal(text->trimmed());
            if (!v) return refuseValue(QStringLiteral("bad real \"%1\"").arg(text->left(40)));
            return QVariant(*v);
        }
        if (name == QLatin1String("data")) {
            QByteArray compact;
            compact.reserve(text->size());
            for (QChar c : *text)
                if (!c.isSpace()) compact.append(char(c.unicode() < 128 ? c.unicode() : '!'));
            auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) return refuseValue(QStringLiteral("bad base64 data"));
            return QVariant(decoded.decoded);
        }
        if (name == QLatin1String("date")) {
            auto v = parseDate(text->trimmed());
            if (!v) return refuseValue(QStringLiteral("bad date \"%1\"").arg(text->left(40)));
            return QVariant(*v);
        }
        return fail(QStringLiteral("unknown element <%1>").arg(name.left(40)));
    }

    std::optional<QVariant> readArray(int depth) {
        if (depth > maximumDepth) return fail(QStringLiteral("nested deeper than %1").arg(maximumDepth));
        QVariantList list;
        for (;;) {
            auto t = xml_.readNext();
            if (t == QXmlStreamReader::EndElement) return QVariant(list);
            if (ignorable(t)) continue;
            if (t != QXmlStreamReader::StartElement) return fail(QStringLiteral("unexpected content in <array>"));
            auto v = readValue(depth + 1);
            if (!v) return std::nullopt;
            list.append(std::move(*v));
        }
    }

    std::optional<QVariant> readDictionary(int depth) {
        if (depth > maximumDepth) return fail(QStringLiteral("nested deeper than %1").arg(maximumDepth));
        QVariantMap map;
        for (;;) {
            auto t = xml_.readNext();
            if (t == QXmlStreamReader::EndElement) return QVariant(map);
            if (ignorable(t)) continue;
            if (t != QXmlStreamReader::StartElement || xml_.name() != QLatin1String("key"))
                return fail(QStringLiteral("<dict> entry without a <key>"));
            auto key = leafText();
            if (!key) return fail(QStringLiteral("element inside <key>"));
            const bool root = domain_ && depth == 1;
            const qint64 valueStart = xml_.characterOffset();
            if (root) inRootValue_ = true;
            if (!nextElement()) return fail(QStringLiteral("<key> without a value"));
            auto v = readValue(depth + 1);
            if (!v) return std::nullopt;
            if (root) {
                inRootValue_ = false;
                if (!valueError_.isEmpty()) {
                    // The value's text as it stands, from the end of its key
                    // to the end of its last element.
                    const qint64 end = xml_.characterOffset();
                    const QString raw = text_->mid(valueStart, end - valueStart).trimmed();
                    map.remove(*key);
                    domain_->unreadable.insert(*key, raw);
                    domain_->reasons.insert(*key, valueError_);
                    valueError_.clear();
                    continue;
                }
                domain_->unreadable.remove(*key);  // a later entry of the key wins, as in `map`
                domain_->reasons.remove(*key);
            }
            map.insert(*key, std::move(*v));
        }
    }

    static std::optional<double> parseReal(const QString& text) {
        const QString lower = text.toLower();
        if (lower == QLatin1String("nan")) return std::numeric_limits<double>::quiet_NaN();
        if (lower == QLatin1String("inf") || lower == QLatin1String("+inf") || lower == QLatin1String("infinity") ||
            lower == QLatin1String("+infinity"))
            return std::numeric_limits<double>::infinity();
        if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity"))
            return -std::numeric_limits<double>::infinity();
        bool ok = false;
        double v = text.toDouble(&ok);  // C locale, no group separators
        if (!ok) return std::nullopt;
        if (v == 0 && text.startsWith(QLatin1Char('-'))) return -0.0;
        return v;
    }

    static std::optional<QDateTime> parseDate(const QString& text) {
        if (!text.endsWith(QLatin1Char('Z'))) return std::nullopt;
        QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
        if (!dt.isValid()) return std::nullopt;
        return dt.toUTC();
    }

    QXmlStreamReader xml_;
    const QString* text_ = nullptr;
    DomainDocument* domain_ = nullptr;
    bool inRootValue_ = false;  // reading the value of a domain's root key
    QString valueError_;        // why a value under that key was refused
};

// ---- writing ----------------------------------------------------------------

class Writer {
public:
    QString error;

    // Kept texts of refused values, written at the root beside the values.
    const QMap<QString, QString>* unreadable = nullptr;

    bool write(const QVariant& value) {
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                "<plist version=\"1.0\">\n";
        if (!writeValue(value, 0)) return false;
        out_ += "</plist>\n";
        return true;
    }

    QByteArray take() { return std::move(out_); }

private:
    bool refuse(const QString& why) {
        if (error.isEmpty()) error = why;
        return false;
    }

    void indent(int level) { out_.append(QByteArray(level, '\t')); }

    // XML 1.0 cannot carry most control characters, lone surrogates or the
    // two non-characters U+FFFE/U+FFFF; a text holding one is refused rather
    // than written into a file that would not read back.
    bool appendText(const QString& s) {
        QString escaped;
        escaped.reserve(s.size());
        for (qsizetype i = 0; i < s.size(); ++i) {
            const char16_t c = s.at(i).unicode();
            if (QChar::isHighSurrogate(c)) {
                if (i + 1 >= s.size() || !QChar::isLowSurrogate(s.at(i + 1).unicode()))
                    return refuse(QStringLiteral("text with an unpaired surrogate"));
                escaped += s.at(i);
                escaped += s.at(++i);
                continue;
            }
            if (QChar::isLowSurrogate(c)) return refuse(QStringLiteral("text with an unpaired surrogate"));
            if ((c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF)
                return refuse(QStringLiteral("text with control character U+%1").arg(int(c), 4, 16, QLatin1Char('0')));
            switch (c) {
                case u'&': escaped += QLatin1String("&amp;"); break;
                case u'<': escaped += QLatin1String("&lt;"); break;
                case u'>': escaped += QLatin1String("&gt;"); break;
                // A raw carriage return would come back as a line feed.
                case u'\r': escaped += QLatin1String("&#13;"); break;
                default: escaped += s.at(i);
            }
        }
        out_ += escaped.toUtf8();
        return true;
    }

    bool leaf(int level, const char* tag, const QByteArray& text) {
        indent(level);
        out_ += '<';
        out_ += tag;
        out_ += '>';
        out_ += text;
        out_ += "</";
        out_ += tag;
        out_ += ">\n";
        return true;
    }

    bool writeValue(const QVariant& v, int level) {
        switch (prefs::kindOf(v)) {
            case prefs::Kind::boolean:
                indent(level);
                out_ += v.toBool() ? "<true/>\n" : "<false/>\n";
                return true;
            case prefs::Kind::integer: return leaf(level, "integer", QByteArray::number(v.toLongLong()));
            case prefs::Kind::real: {
                double d = v.toDouble();
                QByteArray text;
                if (std::isnan(d)) text = "nan";
                else if (std::isinf(d)) text = d > 0 ? "+infinity" : "-infinity";
                else if (d == 0) text = std::signbit(d) ? "-0" : "0";
                else text = QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
                return leaf(level, "real", text);
            }
            case prefs::Kind::text:
                indent(level);
                out_ += "<string>";
                if (!appendText(v.toString())) return false;
                out_ += "</string>\n";
                return true;
            case prefs::Kind::data: {
                const QByteArray b64 = v.toByteArray().toBase64();
                indent(level);
                out_ += "<data>\n";
                for (qsizetype i = 0; i < b64.size(); i += 68) {
                    indent(level);
                    out_ += b64.mid(i, 68);
                    out_ += '\n';
                }
                indent(level);
                out_ += "</data>\n";
                return true;
            }
            case prefs::Kind::date: {
                QDateTime dt = v.toDateTime();
                if (!dt.isValid()) return refuse(QStringLiteral("invalid date"));
                dt = dt.toUTC();
                if (dt.date().year() < 1 || dt.date().year() > 9999) return refuse(QStringLiteral("date out of range"));
                QString text = dt.toString(dt.time().msec() ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                                             : QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
                return leaf(level, "date", (text + QLatin1Char('Z')).toUtf8());
            }
            case prefs::Kind::array: {
                if (level + 1 > maximumDepth) return refuse(QStringLiteral("nested too deeply"));
                const QVariantList list = v.toList();
                indent(level);
                if (list.isEmpty()) {
                    out_ += "<array/>\n";
                    return true;
                }
                out_ += "<array>\n";
                for (const auto& e : list)
                    if (!writeValue(e, level + 1)) return false;
                indent(level);
                out_ += "</array>\n";
                return true;
            }
            case prefs::Kind::dictionary: {
                if (level + 1 > maximumDepth) return refuse(QStringLiteral("nested too deeply"));
                const QVariantMap map = v.toMap();
                if (level == 0 && unreadable && !unreadable->isEmpty()) return writeDomain(map);
                indent(level);
                if (map.isEmpty()) {
                    out_ += "<dict/>\n";
                    return true;
                }
                out_ += "<dict>\n";
                for (auto it = map.begin(); it != map.end(); ++it) {
                    indent(level + 1);
                    out_ += "<key>";
                    if (!appendText(it.key())) return false;
                    out_ += "</key>\n";
                    if (!writeValue(it.value(), level + 1)) return false;
                }
                indent(level);
                out_ += "</dict>\n";
                return true;
            }
            case prefs::Kind::none: break;
        }
        return refuse(QStringLiteral("value of unsupported type %1").arg(QString::fromLatin1(v.typeName())));
    }

    // The root dictionary of a domain with the kept texts merged in key order.
    bool writeDomain(const QVariantMap& map) {
        QStringList keys = map.keys();
        for (auto it = unreadable->cbegin(); it != unreadable->cend(); ++it)
            if (!map.contains(it.key())) keys << it.key();
        keys.sort();
        out_ += "<dict>\n";
        for (const QString& key : keys) {
            indent(1);
            out_ += "<key>";
            if (!appendText(key)) return false;
            out_ += "</key>\n";
            if (map.contains(key)) {
                if (!writeValue(map.value(key), 1)) return false;
                continue;
            }
            indent(1);
            out_ += unreadable->value(key).toUtf8();
            out_ += '\n';
        }
        out_ += "</dict>\n";
        return true;
    }

    QByteArray out_;
};

}  // namespace

std::optional<QVariant> parse(const QByteArray& document, QString* error) {
    if (document.size() > maximumDocumentSize) {
        if (error) *error = QStringLiteral("document larger than %1 bytes").arg(maximumDocumentSize);
        return std::nullopt;
    }
    Reader reader(document);
    auto value = reader.document();
    if (!value && error) *error = reader.error.isEmpty() ? QStringLiteral("unreadable") : reader.error;
    return value;
}

std::optional<DomainDocument> parseDomain(const QByteArray& document, QString* error) {
    if (document.size() > maximumDocumentSize) {
        if (error) *error = QStringLiteral("document larger than %1 bytes").arg(maximumDocumentSize);
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(document);
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);  // a byte-order mark some writers put first
    if (utf8.hasError()) {
        // Not UTF-8 (another encoding, or broken): read it whole, strictly.
        auto value = parse(document, error);
        if (!value) return std::nullopt;
        if (prefs::kindOf(*value) != prefs::Kind::dictionary) {
            if (error) *error = QStringLiteral("the root is not a dictionary");
            return std::nullopt;
        }
        return DomainDocument{value->toMap(), {}, {}};
    }
    DomainDocument result;
    Reader reader(text, &result);
    auto value = reader.document();
    if (!value) {
        if (error) *error = reader.error.isEmpty() ? QStringLiteral("unreadable") : reader.error;
        return std::nullopt;
    }
    if (prefs::kindOf(*value) != prefs::Kind::dictionary) {
        if (error) *error = QStringLiteral("the root is not a dictionary");
        return std::nullopt;
    }
    result.values = value->toMap();
    return result;
}

std::optional<QByteArray> serializeDomain(const QVariantMap& values, const QMap<QString, QString>& unreadable,
                                          QString* error) {
    Writer writer;
    writer.unreadable = &unreadable;
    if (!writer.write(QVariant(values))) {
        if (error) *error = writer.error;
        return std::nullopt;
    }
    return writer.take();
}

QVariantMap salvageEntries(const QByteArray& document) {
    QVariantMap found;
    if (document.size() > maximumDocumentSize) return found;
    static const QRegularExpression entry(QStringLiteral(
        R"(<key>([^<]{0,1000})</key>\s*(<(?:true|false)\s*/>|<(string|integer|real|data|date)>[^<]*</\3>))"));
    const QString text = QString::fromUtf8(document);
    for (auto it = entry.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        auto key = parse((QStringLiteral("<string>") + m.captured(1) + QStringLiteral("</string>")).toUtf8());
        auto value = parse(m.captured(2).toUtf8());
        if (key && value) found.insert(key->toString(), *value);
    }
    return found;
}

std::optional<QByteArray> serialize(const QVariant& value, QString* error) {
    Writer writer;
    if (!writer.write(value)) {
        if (error) *error = writer.error;
        return std::nullopt;
    }
    return writer.take();
}

}  // namespace platform::plist
