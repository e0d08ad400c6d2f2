// The trace: one event a line at its virtual time, as text or as JSON.
#include <gtest/gtest.h>

#include <sstream>

#include "sim/supervisor/Trace.h"

namespace qv::sim {
namespace {

constexpr std::int64_t kStart = 1'000'000'000'000;

TEST(Trace, TextLinesShowSecondsSinceTheStartTheProcessAndTheEvent) {
  std::ostringstream out;
  Trace trace(out, false, kStart);
  trace.event(kStart, "sim", "step", "demo.yaml:12: launch Camera");
  trace.event(kStart + 12'345'000'000, "MobileSlideShow", "ended", "ended: quit", {{"pid", 7}});
  EXPECT_EQ(out.str(),
            "    0.000  sim             demo.yaml:12: launch Camera\n"
            "   12.345  MobileSlideShow ended: quit\n");
}

TEST(Trace, JsonLinesCarryTheEventsFields) {
  std::ostringstream out;
  Trace trace(out, true, kStart);
  trace.event(kStart + 500'000'000, "sim", "expect", "FAILED s.yaml:3: preview",
              {{"expected", "running"}, {"actual", Value()}});
  EXPECT_EQ(out.str(),
            "{\"time\": 0.5, \"source\": \"sim\", \"event\": \"expect\", \"text\": \"FAILED "
            "s.yaml:3: preview\", \"expected\": \"running\", \"actual\": null}\n");
}

}  // namespace
}  // namespace qv::sim
