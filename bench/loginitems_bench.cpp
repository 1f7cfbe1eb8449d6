// The login items list: GetCountOfLoginItems, AddLoginItemWithPropertiesToUser
// and RemoveLoginItemAtIndex on stored lists of 10 to 100,000 records, and
// the pane's lookup of the helper: the name of every record, one
// CopyLoginItemPropertyAtIndex each. Add and Remove read and write the whole
// list, so their cost should grow with the list and no faster; a read of an
// unchanged file costs the same at any length, so the lookup grows linearly.
// The list keeps its size across iterations: what one call adds or removes
// is undone outside the timing.
#include "LoginItems.h"
#include "temp_home.h"

#include <CFText.h>
#include <benchmark/benchmark.h>

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
BENCHMARK(BM_NameOfEveryLoginItem)->Apply(list_sizes);
BENCHMARK(BM_AddLoginItemWithPropertiesToUser)->Apply(list_sizes);
BENCHMARK(BM_RemoveLoginItemAtIndex)->Apply(list_sizes);

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
