#include "wake_policy.h"

namespace hidsystemd {

bool WakePolicy::take_direct_read() {
    if (direct_reads_left_ == 0) return false;
    --direct_reads_left_;
    return true;
}

void WakePolicy::connected(Clock::time_point now, bool nobody_else_connected) {
    if (nobody_else_connected) calls_back_to_back_ = now - last_call_ended_ <= kBetweenCallsWait;
}

// Awake while the conversation goes on. Once no client that was just
// served is still connected, asleep at once, unless calls have been coming
// back to back.
void WakePolicy::served(Clock::time_point now, ClientSlot *still_connected) {
    conversation_ = still_connected;
    if (still_connected) {
        awake_until_ = now + kConversationWait;
        return;
    }
    awake_until_ = calls_back_to_back_ ? now + kBetweenCallsWait : Clock::time_point{};
    last_call_ended_ = now;
}

void WakePolicy::accepted(Clock::time_point now, ClientSlot *newcomer) {
    if (newcomer) conversation_ = newcomer;
    awake_until_ = now + kConversationWait;
}

void WakePolicy::forget(const ClientSlot *client) {
    if (client == conversation_) conversation_ = nullptr;
}

}  // namespace hidsystemd
