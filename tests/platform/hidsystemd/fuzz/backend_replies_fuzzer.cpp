// libFuzzer entry: whatever a peer sends or a file holds, the backends'
// readers neither crash nor break their invariants.
#include <cstddef>
#include <cstdint>

#include "backend_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    hidsystem_test::exercise_backend_replies(data, size);
    return 0;
}
