// A stand-in variant that identifies itself: its GetCurrentProcessId gives
// a fixed marker, so a test sees which copy of the library was bound.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::uint32_t GetCurrentProcessId() { return VT_MARKER; }
