// The pane's two costs a user feels: one slider action (the label and a
// setMouseFix round trip to the real event service), which repeats while a
// knob is dragged, and loading the pane, from dlopen of the plug-in to the
// end of mainViewDidLoad. Code once loaded stays loaded, so each load is
// timed in a fresh process: this program run again with --load-once. The
// load looks through the login items list for the helper, so it is timed
// with no list and with long ones too.
#include "timing.h"

#include "event_daemon.h"
#include "process.h"
#include "temp_home.h"

#include <PreferencePanes/PreferencePanes.h>

#include <CFText.h>
#include <sched.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace glissor_bench;

namespace {

const std::string kPaneBundle = std::string(GLISSOR_BUILD_DIR) + "/Glissor.prefPane";

// A controller of the bundle's principal class showing its main view, as
// the host makes it; nil when any step fails. The bundle is loaded first.
NSPreferencePane *showPane(NSBundle *bundle) {
    Class principal = bundle->principalClass();
    if (!principal || !principal->isSubclassOfClass(NSPreferencePane::staticClass())) return nil;
    auto *pane = static_cast<NSPreferencePane *>(principal->alloc())->initWithBundle(bundle);
    if (pane && !pane->loadMainView()) {
        pane->release();
        return nil;
    }
    return pane;
}

NSBundle *paneBundle() { return NSBundle::bundleWithPath(NSString::stringWithUTF8String(kPaneBundle.c_str())); }

// The CPU time this process has used, in microseconds.
double cpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// The child's part: one load, timed, printed in microseconds: the time it
// took, then the CPU time it used (which other work on a shared machine
// does not inflate).
int loadOnce() {
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    NSBundle *bundle = paneBundle();
    if (!bundle) return 1;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuMicros();
    NSPreferencePane *pane = bundle->load() ? showPane(bundle) : nil;
    double cpuUsed = cpuMicros() - cpuStart;
    auto end = std::chrono::steady_clock::now();
    if (!pane) return 1;
    printf("%.1f %.1f\n", std::chrono::duration<double, std::micro>(end - start).count(), cpuUsed);
    pane->release();
    pool->drain();
    return 0;
}

// Stores a list of count records, none of them the helper, in one write.
bool storeLoginItems(int count) {
    std::vector<CFRef<CFDictionaryRef>> records;
    std::vector<const void *> values;
    for (int i = 0; i < count; ++i) {
        std::string path = "/Applications/Application " + std::to_string(i) + ".app";
        auto text = CFStringFromUTF8(path);
        const void *keys[] = {CFSTR("Hide"), CFSTR("Path")};
        const void *fields[] = {kCFBooleanTrue, text.get()};
        records.push_back(CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
            nullptr, keys, fields, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks)));
        values.push_back(records.back().get());
    }
    auto list = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, values.data(), count, &kCFTypeArrayCallBacks));
    CFPreferencesSetValue(CFSTR("AutoLaunchedApplicationDictionary"), list.get(), CFSTR("loginwindow"),
                          kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
    return CFPreferencesSynchronize(CFSTR("loginwindow"), kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
}

Figures figuresOf(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros[std::min(micros.size() - 1, micros.size() * 99 / 100)], micros.size()};
}

bool measureLoads(const char *self, size_t runs, const std::string &label) {
    std::vector<double> micros, cpuMicros;
    for (size_t i = 0; i < runs; ++i) {
        auto result = glissor_test::run_process({self, "--load-once"});
        if (result.exit_code != 0) {
            fprintf(stderr, "pane_bench: the pane did not load: %s", result.err.c_str());
            return false;
        }
        size_t split = 0;
        micros.push_back(std::stod(result.out, &split));
        cpuMicros.push_back(std::stod(result.out.substr(split)));
    }
    report("dlopen to end of mainViewDidLoad" + label, figuresOf(micros));
    report("  the same, CPU time", figuresOf(cpuMicros));
    return true;
}

// Slider actions sent as a drag sends them, each in a pool of its own as the
// host runs them.
bool measureSliderActions(NSPreferencePane *pane, const char *label) {
    NSObject *object = pane->mainInterface()->objectNamed("theMouseSlider");
    if (!object || !object->isKindOfClass(NSSlider::staticClass())) {
        fprintf(stderr, "pane_bench: the interface has no slider theMouseSlider\n");
        return false;
    }
    auto *slider = static_cast<NSSlider *>(object);
    double value = 0.5;
    auto drag = [&] {
        value = value > 2.9 ? 0.5 : value + 0.01;
        NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
        slider->dragKnobToValue(value);
        pool->drain();
    };
    Figures figures = measure(5000, drag);
    // As a drag delivers them: one action every 8 ms.
    Figures paced = measure(500, drag, 10, std::chrono::milliseconds(8));
    printf("-- %s\n", label);
    report("mouseSliderMoved:, back to back", figures);
    report("mouseSliderMoved:, one every 8 ms", paced);
    return true;
}

int measureAll(const char *self) {
    glissor_test::TempHome home;
    glissor_test::EventDaemon daemon;
    if (!measureLoads(self, 40, "")) return 1;
    for (auto [items, runs] : {std::pair{10000, 10}, std::pair{100000, 5}}) {
        std::string label = ", " + std::to_string(items) + " login items";
        if (!storeLoginItems(items) || !measureLoads(self, static_cast<size_t>(runs), label)) return 1;
    }
    std::filesystem::remove(home.home() + "/Library/Preferences/loginwindow.plist");

    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    NSBundle *bundle = paneBundle();
    NSPreferencePane *pane = bundle && bundle->load() ? showPane(bundle) : nil;
    if (!pane) {
        fprintf(stderr, "pane_bench: the pane did not load\n");
        return 1;
    }
    bool ok = measureSliderActions(pane, "client and service placed by the scheduler");
    // Client and service on one core skip the cross-core wake-up of every
    // round trip; both placements are reported.
    cpu_set_t oneCore;
    CPU_ZERO(&oneCore);
    CPU_SET(0, &oneCore);
    if (ok && sched_setaffinity(daemon.process().pid(), sizeof oneCore, &oneCore) == 0 &&
        sched_setaffinity(0, sizeof oneCore, &oneCore) == 0)
        ok = measureSliderActions(pane, "client and service on one core");
    pane->release();
    pool->drain();
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "--load-once") == 0) return loadOnce();
    (void)argv;
    return measureAll("/proc/self/exe");
}
