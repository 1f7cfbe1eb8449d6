// The property-list codec on the files that broke the old reader: each case
// runs in a child process of its own, so its time and peak memory (maximum
// resident set, the child's alone) are its own. libplist 2.2 is timed on the
// cases it survives, for comparison.
#include "hostile_lists.h"
#include "property_list_codec.h"

#include <CFRef.h>
#include <plist/plist.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace {

struct Case {
    std::string name;
    std::function<std::string()> make;
};

long peak_rss_kb() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Makes the file and runs call on it in a child; prints the wall time of
// call and how far it raised the child's peak resident memory.
void report(const Case &c, const char *what, const std::function<std::string(const std::string &)> &call) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    pid_t child = fork();
    if (child == 0) {
        close(pipe_fds[0]);
        std::string bytes = c.make();
        long before = peak_rss_kb();
        auto start = std::chrono::steady_clock::now();
        std::string outcome = call(bytes);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        char line[512];
        int length = snprintf(line, sizeof line, "%-40s %-12s %9.1f KB %9.1f ms  +%4ld MB  %s", c.name.c_str(), what,
                              static_cast<double>(bytes.size()) / 1024, ms, (peak_rss_kb() - before) / 1024,
                              outcome.c_str());
        if (write(pipe_fds[1], line, static_cast<size_t>(length)) < 0) _exit(1);
        _exit(0);
    }
    close(pipe_fds[1]);
    char line[512] = {};
    ssize_t got = read(pipe_fds[0], line, sizeof line - 1);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    printf("%s%s\n", got > 0 ? line : c.name.c_str(), WIFSIGNALED(status) ? "  (killed by a signal)" : "");
    fflush(stdout);
}

const char *status_name(cfplist::DecodeStatus status) {
    switch (status) {
        case cfplist::DecodeStatus::Ok: return "Ok";
        case cfplist::DecodeStatus::NotAPropertyList: return "NotAPropertyList";
        case cfplist::DecodeStatus::NotADictionary: return "NotADictionary";
        case cfplist::DecodeStatus::OverLimit: return "OverLimit";
        case cfplist::DecodeStatus::NoMemory: return "NoMemory";
    }
    return "?";
}

std::string decode_domain(const std::string &bytes) {
    cfplist::DomainContents contents = cfplist::decode_domain(bytes.data(), bytes.size());
    auto dictionary = CFRef<CFDictionaryRef>::adopt(contents.dictionary);
    return std::string(status_name(contents.status)) + ", " +
           std::to_string(dictionary ? CFDictionaryGetCount(dictionary.get()) : 0) + " keys, " +
           std::to_string(contents.omitted_entries) + " left out";
}

std::string decode_and_write(const std::string &bytes) {
    cfplist::DomainContents contents = cfplist::decode_domain(bytes.data(), bytes.size());
    auto dictionary = CFRef<CFDictionaryRef>::adopt(contents.dictionary);
    std::string out;
    bool written = dictionary && cfplist::encode_for_file(dictionary.get(), out);
    return std::string(status_name(contents.status)) + ", written " + (written ? std::to_string(out.size() / 1024) + " KB" : "no");
}

std::string libplist_parse(const std::string &bytes) {
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    std::string outcome = root ? "parsed" : "refused";
    plist_free(root);
    return "libplist " + outcome;
}

}  // namespace

// With an argument, only the cases whose name holds it.
int main(int argc, char **argv) {
    // 1 MB files of each kind, and the files that broke the old reader.
    std::vector<Case> cases = {
        {"XML dictionary, 300,000 keys", [] { return hostile::xml_dictionary(300000); }},
        {"binary dictionary, 300,000 keys", [] { return hostile::binary_dictionary(300000); }},
        {"XML dictionary, 1 MB", [] { return hostile::xml_dictionary(28000); }},
        {"binary dictionary, 1 MB", [] { return hostile::binary_dictionary(32000); }},
        {"binary nested 100,000 deep", [] { return hostile::binary_nested(100000); }},
        {"XML nested 30,000 deep", [] { return hostile::xml_nested(30000); }},
        {"XML nested 1 MB deep", [] { return hostile::xml_nested(70000); }},
        {"binary shared references, 12 x 16", [] { return hostile::binary_shared(12, 16); }},
        {"binary shared references, 1 MB", [] { return hostile::binary_shared(16000, 16); }},
        {"domain with a 100,000-deep entry", [] { return hostile::binary_domain_with_deep_entry(100000); }},
        {"XML dictionary, 2.5 million keys", [] { return hostile::xml_dictionary(2500000); }},
    };
    const char *only = argc > 1 ? argv[1] : "";
    printf("%-40s %-12s %12s %12s  %8s  %s\n", "file", "call", "size", "time", "memory", "result");
    for (const Case &c : cases) {
        if (c.name.find(only) == std::string::npos) continue;
        report(c, "read", decode_domain);
        report(c, "read, write", decode_and_write);
        // libplist 2.2 only where it neither crashes nor hangs.
        if (c.name.find("dictionary") != std::string::npos && c.name.find("2.5") == std::string::npos) {
            report(c, "libplist", libplist_parse);
        }
    }
    return 0;
}
