// Preloaded into the event service by mouse_fix_bench: counts the service's
// heap allocations in a shared file (GLISSOR_MALLOC_COUNT_FILE), which the
// bench reads before and after a run of calls.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> *shared_count = nullptr;

__attribute__((constructor)) void map_count_file() {
    const char *path = std::getenv("GLISSOR_MALLOC_COUNT_FILE");
    if (!path) return;
    int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    void *mapped = mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped != MAP_FAILED) shared_count = static_cast<std::atomic<long> *>(mapped);
}

[[maybe_unused]] void note_allocation() {
    if (shared_count) shared_count->fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

#ifndef GLISSOR_SANITIZED
#include "malloc_interposers.h"
#endif
