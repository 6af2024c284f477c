#include "TWL.h"

#include <chrono>
#include <cstdint>

namespace {

// The high-resolution counter: 100 ns ticks of the monotonic clock.
std::uint64_t counterTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<Ticks>(sinceStart).count());
}

std::int32_t lowPart(std::uint64_t counter) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter));
}

std::uint32_t highPart(std::uint64_t counter) {
    return static_cast<std::uint32_t>(counter >> 32);
}

} // namespace

extern "C" {

TWL_EXPORT int TWL_CALL Lag(int ticks) {
    const std::uint64_t start = counterTicks();
    const std::uint32_t startHigh = highPart(start);
    // No carry into the high part: the target wraps within the low 32 bits.
    const auto target = static_cast<std::int32_t>(static_cast<std::uint32_t>(start) +
                                                  static_cast<std::uint32_t>(ticks));
    for (;;) {
        const std::uint64_t now = counterTicks();
        if (lowPart(now) >= target || highPart(now) > startHigh)
            return target;
    }
}

TWL_EXPORT int TWL_CALL Sync(int ticks) {
    Lag(ticks);
    // The wait for the vertical retrace (bit 3 of VGA status port 0x3DA) is left out: a user
    // program on a protected-mode system cannot read that port, so the tick wait is all.
    return ticks;
}

} // extern "C"
