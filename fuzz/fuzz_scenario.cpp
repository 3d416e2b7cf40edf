// libFuzzer target: the scenario reader turns any input into a scenario or a
// located error, never a crash, and never accepts sizes beyond its caps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/sim/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    platform::sim::Scenario scenario;
    QString error;
    if (!platform::sim::parseScenario(json, scenario, &error)) {
        if (!error.startsWith(QStringLiteral("scenario: "))) std::abort();
        return 0;
    }
    const double cap = platform::sim::maximumScenarioSide;
    for (const auto& d : scenario.displays)
        if (d.bounds.size.width > cap || d.bounds.size.height > cap) std::abort();
    for (const auto& a : scenario.applications)
        for (const auto& w : a.windows)
            if (w.given.frame.size.width > cap || w.given.frame.size.height > cap) std::abort();
    return 0;
}
