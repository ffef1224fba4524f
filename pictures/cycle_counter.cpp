#include "pictures/cycle_counter.h"

#if defined(_MSC_VER)
#include <intrin.h>
#elif defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#elif !defined(__aarch64__)
#include <ctime>
#endif

namespace vt {

std::uint32_t read_cycle_counter() noexcept {
#if defined(_MSC_VER) || defined(__x86_64__) || defined(__i386__)
    return static_cast<std::uint32_t>(__rdtsc());
#elif defined(__aarch64__)
    // The virtual counter is readable from user space on every ARM64 system.
    std::uint64_t ticks;
    asm volatile("mrs %0, cntvct_el0" : "=r"(ticks));
    return static_cast<std::uint32_t>(ticks);
#else
    // Without a user-readable cycle counter, nanoseconds change about as fast.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
                                      static_cast<std::uint64_t>(now.tv_nsec));
#endif
}

}  // namespace vt
