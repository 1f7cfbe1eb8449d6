#include "change_log.h"

#include <time.h>

#include <algorithm>

namespace hidsystemd {

void ChangeLog::record(std::string_view key, const hidsystem::ParameterBytes &value) {
    Slot &slot = slots_[next_sequence_ % kChangeLogCapacity];
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    slot.seconds = now.tv_sec;
    slot.microseconds = static_cast<std::int32_t>(now.tv_nsec / 1000);
    slot.key_length = std::min(key.size(), slot.key.size());
    std::copy_n(key.begin(), slot.key_length, slot.key.begin());
    slot.value = value;
    ++next_sequence_;
}

bool ChangeLog::first_from(std::uint64_t from, hidsystem::LogEntry &entry) const {
    std::uint64_t oldest = next_sequence_ > kChangeLogCapacity ? next_sequence_ - kChangeLogCapacity : 0;
    std::uint64_t sequence = std::max(from, oldest);
    if (sequence >= next_sequence_) return false;
    const Slot &slot = slots_[sequence % kChangeLogCapacity];
    entry.sequence = sequence;
    entry.seconds = slot.seconds;
    entry.microseconds = slot.microseconds;
    entry.key = {slot.key.data(), slot.key_length};
    entry.value = slot.value;
    return true;
}

}  // namespace hidsystemd
