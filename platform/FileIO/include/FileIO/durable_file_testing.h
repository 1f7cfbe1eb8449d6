// Test seams of write_file_durably, for tests only: see each step as it
// happens (on which descriptor), fail one with an errno, and choose the
// random bytes of the temporary's name. Unset (the default), they cost one
// test of a null function.
#pragma once

#include <cstddef>
#include <functional>

namespace fileio::testing {

enum class Step {
    CreateTemporary,  // fd: the folder's
    WriteData,        // fd: the temporary's
    SyncFile,         // fd: the temporary's
    Rename,           // fd: the folder's
    SyncFolder,       // fd: the folder's
};

// Called before each step; a non-zero return is an errno the step then
// fails with, as if the system had said it. Empty: no hook.
void set_step_hook(std::function<int(Step step, int fd)> hook);

// Fills the random bytes of a temporary's name. Empty: the system's random
// source.
void set_random_hook(std::function<void(unsigned char *bytes, size_t size)> hook);

}  // namespace fileio::testing
