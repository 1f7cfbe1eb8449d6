// defaults: reads and writes preference domains from the command line.
// `defaults --help` describes every verb and option; docs/man/defaults.1
// is the manual.
#include "verbs.h"

#include <cli/cli.h>

#include <csignal>
#include <cstdio>
#include <getopt.h>

namespace {

const cli::Program kProgram{
    "defaults",
    "defaults [-currentHost | -host NAME] [-anyUser] VERB [ARGUMENTS]\n"
    "       defaults --help | --version",
    "Reads, writes and deletes the preferences of a domain. A DOMAIN is an application\n"
    "domain (org.example.app), the global domain (-g, -globalDomain or NSGlobalDomain),\n"
    "or a property-list file named by its absolute path or a name ending in .plist.\n"
    "\n"
    "Verbs:\n"
    "  read                      print every domain\n"
    "  read DOMAIN               print the domain in old-style property-list text\n"
    "  read DOMAIN KEY           print one value (a string as its bare text)\n"
    "  read-type DOMAIN KEY      print \"Type is TYPE\" for the value's type\n"
    "  write DOMAIN KEY VALUE    store a value: a plain VALUE is old-style\n"
    "                            property-list text ('(a,b)', '{k=v;}', '\"text\"')\n"
    "                            when it parses as one, else a string\n"
    "  write DOMAIN '{...}'      replace the whole domain with the dictionary\n"
    "  rename DOMAIN OLD NEW     move the value of key OLD to key NEW\n"
    "  delete DOMAIN [KEY]       remove the key, or everything in the domain\n"
    "  domains                   list the domains that have a file\n"
    "  find WORD                 show the keys whose name or value holds WORD\n"
    "  export DOMAIN FILE|-      write the domain as an XML property list (binary when\n"
    "                            a string holds characters XML cannot carry)\n"
    "  import DOMAIN FILE|-      replace the domain with an XML or binary property list\n"
    "                            (at most 64 MiB)\n"
    "  help                      this text\n"
    "\n"
    "Value types for write:\n"
    "  -string TEXT              a string\n"
    "  -int, -integer N          a whole number\n"
    "  -float X, -double X       a real; nan, inf and values out of range are refused\n"
    "  -bool, -boolean B         YES, NO, true, false, 1 or 0\n"
    "  -date DATE                \"YYYY-MM-DD HH:MM:SS +ZZZZ\", YYYY-MM-DDTHH:MM:SSZ or YYYY-MM-DD\n"
    "  -data HEX                 bytes as hex digits\n"
    "  -array ITEM...            an array; an ITEM is a type flag and value, or a plain value\n"
    "  -array-add ITEM...        append to the array (made when absent)\n"
    "  -dict KEY VALUE...        a dictionary; a VALUE is a type flag and value, or plain\n"
    "  -dict-add KEY VALUE...    add to the dictionary (made when absent)\n"
    "\n"
    "Options:\n"
    "  -currentHost              this machine's own preferences (ByHost)\n"
    "  -host NAME                the preferences of machine NAME (ByHost)\n"
    "  -anyUser                  the preferences of every user (system directory)\n"
    "  -g, -globalDomain         the global domain, in place of DOMAIN\n"
    "  --help                    this text\n"
    "  --version                 the program's version\n"
    "\n"
    "Exit status: 0 on success, 1 when the verb failed, 2 for a wrong command line.\n"};

bool is_valid_utf8(const std::string &text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xe ? 3 : (c >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        uint32_t code = length == 1 ? c : c & (0x7f >> length);
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            code = (code << 6) | (next & 0x3f);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

std::string shown_bytes(const std::string &text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    return out;
}

int run_verb(const std::string &verb, const Words &rest, const Scope &scope) {
    if (verb == "read") return verb_read(rest, scope);
    if (verb == "read-type") return verb_read_type(rest, scope);
    if (verb == "write") return verb_write(rest, scope);
    if (verb == "rename") return verb_rename(rest, scope);
    if (verb == "delete") return verb_delete(rest, scope);
    if (verb == "domains") return verb_domains(rest, scope);
    if (verb == "find") return verb_find(rest, scope);
    if (verb == "export") return verb_export(rest, scope);
    if (verb == "import") return verb_import(rest, scope);
    if (verb == "help") return cli::print_help(kProgram);
    return usage_error("unknown verb " + verb);
}

}  // namespace

int usage_error(const std::string &problem) { return cli::usage_error(kProgram, problem); }

int fail(const std::string &message) {
    fflush(stdout);
    fprintf(stderr, "defaults: %s\n", message.c_str());
    return 1;
}

void tell(const std::string &line) {
    if (line.empty()) return;
    fflush(stdout);
    fprintf(stderr, "defaults: %s\n", line.c_str());
}

int main(int argc, char **argv) {
    enum { kHelp = 'h' + 256, kVersion, kCurrentHost, kHost, kAnyUser, kGlobal };
    static const option kOptions[] = {
        {"help", no_argument, nullptr, kHelp},           {"version", no_argument, nullptr, kVersion},
        {"currentHost", no_argument, nullptr, kCurrentHost}, {"host", required_argument, nullptr, kHost},
        {"anyUser", no_argument, nullptr, kAnyUser},     {"g", no_argument, nullptr, kGlobal},
        {"globalDomain", no_argument, nullptr, kGlobal}, {nullptr, 0, nullptr, 0},
    };
    // Past a file size limit (ulimit -f) a write fails with EFBIG and is
    // reported like any other failed write, instead of the signal ending the
    // program mid-way.
    signal(SIGXFSZ, SIG_IGN);
    Scope scope;
    bool global = false;
    int option;
    opterr = 0;  // the complaint is ours, naming the program, not its path
    // Single-dash long options (-currentHost) are the command's own form;
    // "+" stops at the verb, so value flags such as -int reach the verb.
    while ((option = getopt_long_only(argc, argv, "+:", kOptions, nullptr)) != -1) {
        switch (option) {
        case kHelp: return cli::print_help(kProgram);
        case kVersion: return cli::print_version(kProgram);
        case kCurrentHost: scope.host = kCFPreferencesCurrentHost; break;
        case kHost: scope.host_name = optarg; break;
        case kAnyUser: scope.user = kCFPreferencesAnyUser; break;
        case kGlobal: global = true; break;
        case ':': return usage_error(std::string(argv[optind - 1]) + " needs a value");
        default: return usage_error(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    if (!scope.host_name.empty() && CFEqual(scope.host, kCFPreferencesCurrentHost))
        return usage_error("-currentHost and -host name different hosts; give one");
    if (!scope.host_name.empty() && (scope.host_name.find('/') != std::string::npos || scope.host_name[0] == '.'))
        return usage_error("not a host name: " + scope.host_name);
    if (optind == argc) return usage_error("no verb given");
    for (int i = optind; i < argc; ++i)
        if (!is_valid_utf8(argv[i]))
            return fail("argument " + std::to_string(i - optind + 1) + " is not valid UTF-8: " + shown_bytes(argv[i]));
    std::string verb = argv[optind];
    Words rest(argv + optind + 1, argv + argc);
    // `defaults -g read KEY` names the global domain before the verb.
    if (global && verb != "domains" && verb != "find") rest.insert(rest.begin(), "-g");
    return run_verb(verb, rest, scope);
}
