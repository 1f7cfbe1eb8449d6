// The login items list: GetCountOfLoginItems, AddLoginItemWithPropertiesToUser
// and RemoveLoginItemAtIndex on stored lists of 10 to 100,000 records, and
// the pane's lookup of the helper: the name of every record, one
// CopyLoginItemPropertyAtIndex each. Add and Remove read and write the whole
// list, so their cost should grow with the list and no faster; a read of an
// unchanged file costs the same at any length, so the lookup grows linearly.
// The list keeps its size across iterations: what one call adds or removes
// is undone outside the timing.
//
// Beside them, the floors they are held to: a raw parse of the stored file
// (read it, decode it) for a count that finds the file changed, and a raw
// durable write of the same bytes (write, fsync, rename, fsync the folder)
// for Add and Remove.
#include "LoginItems.h"
#include "property_list_codec.h"
#include "temp_home.h"

#include <CFText.h>
#include <CoreFoundation/CFTesting.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const CFStringRef kUser = kCFPreferencesCurrentUser;

CFRef<CFDictionaryRef> login_record(int number) {
    auto path = CFStringFromUTF8("/Applications/Application " + std::to_string(number) + ".app");
    const void *keys[] = {CFSTR("Hide"), CFSTR("Path")};
    const void *values[] = {kCFBooleanTrue, path.get()};
    return CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks));
}

// Stores a list of `count` records in one write; adding them one by one
// would cost count full rewrites before the measuring starts.
bool store_list_of(int count) {
    std::vector<CFRef<CFDictionaryRef>> records;
    std::vector<const void *> values;
    for (int i = 0; i < count; ++i) {
        records.push_back(login_record(i));
        values.push_back(records.back().get());
    }
    auto list = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, values.data(), count, &kCFTypeArrayCallBacks));
    CFPreferencesSetValue(CFSTR("AutoLaunchedApplicationDictionary"), list.get(), CFSTR("loginwindow"), kUser,
                          kCFPreferencesAnyHost);
    return CFPreferencesSynchronize(CFSTR("loginwindow"), kUser, kCFPreferencesAnyHost) &&
           GetCountOfLoginItems(kUser) == count;
}

// A throwaway home holding a list of state.range(0) records.
struct ListedHome {
    glissor_test::TempHome home;
    int count;
    bool ready;
    explicit ListedHome(benchmark::State &state)
        : count(static_cast<int>(state.range(0))), ready(store_list_of(count)) {
        if (!ready) state.SkipWithError("cannot store the login items list");
    }
    // The preference service keeps every file it read for the life of the
    // process, which has one home; here each benchmark has its own, and the
    // lists of those before it must not stay on the heap of those after.
    ~ListedHome() { CFTestingForgetPreferenceCaches(); }
};

void finish(benchmark::State &state, int count) {
    state.SetComplexityN(count);
    if (GetCountOfLoginItems(kUser) != count) state.SkipWithError("the list changed size");
}

void BM_GetCountOfLoginItems(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    for (auto _ : state) benchmark::DoNotOptimize(GetCountOfLoginItems(kUser));
    finish(state, listed.count);
}

void BM_AddLoginItemWithPropertiesToUser(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    auto path = CFStringFromUTF8("/Applications/Added.app");
    for (auto _ : state) {
        if (!AddLoginItemWithPropertiesToUser(kUser, path.get(), 1)) state.SkipWithError("Add failed");
        state.PauseTiming();
        if (!RemoveLoginItemAtIndex(kUser, listed.count)) state.SkipWithError("undoing the Add failed");
        state.ResumeTiming();
    }
    finish(state, listed.count);
}

void BM_RemoveLoginItemAtIndex(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    auto path = CFStringFromUTF8("/Applications/Application " + std::to_string(listed.count - 1) + ".app");
    for (auto _ : state) {
        if (!RemoveLoginItemAtIndex(kUser, listed.count - 1)) state.SkipWithError("Remove failed");
        state.PauseTiming();
        if (!AddLoginItemWithPropertiesToUser(kUser, path.get(), 1)) state.SkipWithError("undoing the Remove failed");
        state.ResumeTiming();
    }
    finish(state, listed.count);
}

std::string list_file(const ListedHome &listed) {
    return listed.home.preferences_dir() + "/loginwindow.plist";
}

// Reads the whole file into bytes, reusing its storage; false on failure.
bool read_file_into(const std::string &path, std::string &bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool read_all = fstat(fd, &info) == 0;
    if (read_all) {
        bytes.resize(static_cast<size_t>(info.st_size));
        read_all = read(fd, bytes.data(), bytes.size()) == info.st_size;
    }
    close(fd);
    return read_all;
}

std::string file_bytes(const std::string &path) {
    std::string bytes;
    if (!read_file_into(path, bytes)) bytes.clear();
    return bytes;
}

bool write_durably(const std::string &path, const std::string &bytes) {
    std::string temporary = path + ".bench-tmp";
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) return false;
    std::string folder = path.substr(0, path.rfind('/'));
    int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = folder_fd >= 0 && fsync(folder_fd) == 0;
    if (folder_fd >= 0) close(folder_fd);
    return synced;
}

// The count right after another process rewrote the file with the same
// records: the list must be read and decoded again.
void BM_GetCountOfLoginItemsAfterChange(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    std::string path = list_file(listed);
    std::string bytes = file_bytes(path);
    for (auto _ : state) {
        state.PauseTiming();
        if (!write_durably(path, bytes)) state.SkipWithError("cannot rewrite the list");
        state.ResumeTiming();
        if (GetCountOfLoginItems(kUser) != listed.count) state.SkipWithError("wrong count");
    }
    finish(state, listed.count);
}

// The floor of a count after a change: read the file, decode it with the
// codec, and nothing else. It is timed as the count is, right after the
// same rewrite with the timer paused, so that both pay the same for the
// pause and find the file in the same state.
void BM_RawParseOfList(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    std::string path = list_file(listed);
    std::string stored = file_bytes(path);
    for (auto _ : state) {
        state.PauseTiming();
        if (!write_durably(path, stored)) state.SkipWithError("cannot rewrite the list");
        state.ResumeTiming();
        std::string bytes;
        if (!read_file_into(path, bytes)) state.SkipWithError("cannot read the list");
        auto decoded = cfplist::decode_domain(bytes.data(), bytes.size());
        auto domain = CFRef<CFDictionaryRef>::adopt(decoded.dictionary);
        if (!domain) state.SkipWithError("the stored list does not decode");
    }
    finish(state, listed.count);
}

// The floor of Add and Remove: a durable write of the list's bytes.
void BM_RawDurableWriteOfList(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    std::string path = list_file(listed);
    std::string bytes = file_bytes(path);
    for (auto _ : state)
        if (!write_durably(path, bytes)) state.SkipWithError("cannot write the list");
    finish(state, listed.count);
}

// As the pane looks for its helper: every record's name, none matching.
void BM_NameOfEveryLoginItem(benchmark::State &state) {
    ListedHome listed(state);
    if (!listed.ready) return;
    for (auto _ : state) {
        int count = GetCountOfLoginItems(kUser);
        for (int index = 0; index < count; ++index) {
            auto name = CFRef<CFStringRef>::adopt(CopyLoginItemPropertyAtIndex(kUser, kLoginItemNameInfo, index));
            if (!name) state.SkipWithError("a record has no name");
        }
    }
    finish(state, listed.count);
}

void list_sizes(benchmark::internal::Benchmark *bench) {
    bench->Arg(10)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Complexity();
}

BENCHMARK(BM_GetCountOfLoginItems)->Apply(list_sizes);
BENCHMARK(BM_GetCountOfLoginItemsAfterChange)->Apply(list_sizes);
BENCHMARK(BM_RawParseOfList)->Apply(list_sizes);
BENCHMARK(BM_RawDurableWriteOfList)->Apply(list_sizes);
BENCHMARK(BM_NameOfEveryLoginItem)->Apply(list_sizes);
BENCHMARK(BM_AddLoginItemWithPropertiesToUser)->Apply(list_sizes);
BENCHMARK(BM_RemoveLoginItemAtIndex)->Apply(list_sizes);

}  // namespace

int main(int argc, char **argv) {
    // Freed pages stay with the process: otherwise whichever benchmark frees
    // a long list at the top of the heap pays a page fault per page for the
    // next list, and the floors would measure the allocator's trimming.
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
