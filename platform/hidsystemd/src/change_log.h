// The bounded log of accepted changes: a ring of the newest
// kChangeLogCapacity entries, each numbered in the order accepted. Entries
// are fixed-size, so the log never allocates after start.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include <hidsystem/protocol.h>
#include <hidsystem/service_limits.h>

namespace hidsystemd {

using hidsystem::kChangeLogCapacity;

class ChangeLog {
public:
    // Stamps the change with the current wall-clock time.
    void record(std::string_view key, const hidsystem::ParameterBytes &value);
    // The oldest kept entry numbered `from` or later; false when there is none.
    // The entry's key views into the log, valid until the next record().
    bool first_from(std::uint64_t from, hidsystem::LogEntry &entry) const;

private:
    struct Slot {
        std::int64_t seconds = 0;
        std::int32_t microseconds = 0;
        std::array<char, hidsystem::kMaxKeyLength> key{};
        std::size_t key_length = 0;
        hidsystem::ParameterBytes value;
    };
    std::array<Slot, kChangeLogCapacity> slots_{};
    std::uint64_t next_sequence_ = 0;
};

}  // namespace hidsystemd
