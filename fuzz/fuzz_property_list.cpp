// libFuzzer target: the property-list reader never crashes, never exceeds its
// caps, and whatever it accepts and can write again reads back to the same
// document.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/linux/property_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    const QByteArray document(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
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
