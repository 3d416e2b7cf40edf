// libFuzzer target: the property-list reader never crashes, never exceeds its
// caps, and whatever it accepts and can write again reads back to the same
// document; so does a domain's document with the texts of refused values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    const QByteArray document(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    // A domain's document: what it reads (values and kept texts) writes back
    // to a document that reads the same and writes the same again.
    if (auto domain = platform::plist::parseDomain(document, &error)) {
        auto written = platform::plist::serializeDomain(domain->values, domain->unreadable);
        if (written) {
            auto again = platform::plist::parseDomain(*written, &error);
            if (!again || again->unreadable != domain->unreadable) std::abort();
            auto rewritten = platform::plist::serializeDomain(again->values, again->unreadable);
            if (!rewritten || *rewritten != *written) std::abort();
        }
    }
    auto value = platform::plist::parse(document, &error);
    if (!value) return 0;
    auto written = platform::plist::serialize(*value);
    if (!written) return 0;  // a value without a faithful text form is refused, not mangled
    auto again = platform::plist::parse(*written, &error);
    if (!again) std::abort();  // we wrote something we cannot read
    auto rewritten = platform::plist::serialize(*again);
    if (!rewritten || *rewritten != *written) std::abort();  // reading and writing changed the document
    return 0;
}
