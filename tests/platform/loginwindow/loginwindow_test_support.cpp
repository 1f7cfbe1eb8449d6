#include "loginwindow_test_support.h"

#include "temp_home.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

namespace loginwindow_test {

CFRef<CFDictionaryRef> dictionary(const std::vector<std::pair<const char *, CFTypeRef>> &entries) {
    auto dict = CFRef<CFMutableDictionaryRef>::adopt(
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    for (const auto &[key, value] : entries) CFDictionarySetValue(dict.get(), CFStringFromUTF8(key).get(), value);
    return CFRef<CFDictionaryRef>::adopt(dict.release());
}

CFRef<CFDictionaryRef> record(const std::string &path, bool hidden) {
    return dictionary({{"Path", CFStringFromUTF8(path).get()}, {"Hide", hidden ? kCFBooleanTrue : kCFBooleanFalse}});
}

void store_value(CFPropertyListRef value) {
    CFPreferencesSetValue(CFSTR("AutoLaunchedApplicationDictionary"), value, CFSTR("loginwindow"),
                          kCFPreferencesCurrentUser, kCFPreferencesAnyHost);
    ASSERT_TRUE(CFPreferencesSynchronize(CFSTR("loginwindow"), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
}

void store_list(const std::vector<CFRef<CFTypeRef>> &records) {
    std::vector<CFTypeRef> values;
    for (const auto &r : records) values.push_back(r.get());
    auto list = CFRef<CFArrayRef>::adopt(
        CFArrayCreate(nullptr, values.data(), static_cast<CFIndex>(values.size()), &kCFTypeArrayCallBacks));
    store_value(list.get());
}

std::string list_file() { return std::string(getenv("HOME")) + "/Library/Preferences/loginwindow.plist"; }

void write_script(const std::string &path, const std::string &body, int mode) {
    glissor_test::write_file(path, "#!/bin/sh\n" + body);
    ASSERT_EQ(chmod(path.c_str(), static_cast<mode_t>(mode)), 0) << path;
}

std::string recorder_script(const std::string &record_path) {
    // Read everything first: the redirection below changes standard output.
    return "args=$#\n"
           "cwd=$(pwd -P)\n"
           "fd0=$(readlink /proc/$$/fd/0)\n"
           "fd1=$(readlink /proc/$$/fd/1)\n"
           "fd2=$(readlink /proc/$$/fd/2)\n"
           "set -- $(cat /proc/$$/stat)\n"
           "{\n"
           "  echo \"args=$args\"\n"
           "  echo \"pid=$$\"\n"
           "  echo \"sid=$6\"\n"
           "  echo \"cwd=$cwd\"\n"
           "  echo \"hide=${LOGINWINDOW_HIDE-unset}\"\n"
           "  echo \"mark=${LOGINWINDOW_TEST_MARK-unset}\"\n"
           "  echo \"fd0=$fd0\"\n"
           "  echo \"fd1=$fd1\"\n"
           "  echo \"fd2=$fd2\"\n"
           "} > '" + record_path + ".tmp'\n"
           "mv '" + record_path + ".tmp' '" + record_path + "'\n";
}

std::string make_bundle(const std::string &dir, const std::string &name, const std::string &info_entries) {
    std::string bundle = dir + "/" + name;
    std::filesystem::create_directories(bundle + "/Contents/MacOS");
    glissor_test::write_file(bundle + "/Contents/Info.plist",
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<plist version=\"1.0\">\n<dict>\n" + info_entries + "</dict>\n</plist>\n");
    return bundle;
}

std::string info_naming(const std::string &executable) {
    return "<key>CFBundleIdentifier</key><string>org.example.test</string>\n"
           "<key>CFBundleExecutable</key><string>" + executable + "</string>\n";
}

std::map<std::string, std::string> read_record(const std::string &path) {
    std::map<std::string, std::string> values;
    std::istringstream lines(glissor_test::read_file(path));
    std::string line;
    while (std::getline(lines, line)) {
        auto equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

std::vector<std::string> lines_about(const std::string &err, size_t index) {
    std::string prefix = "loginwindow: item " + std::to_string(index) + ":";
    std::vector<std::string> found;
    std::istringstream lines(err);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

long pid_in(const std::string &line) {
    auto at = line.find("pid ");
    if (at == std::string::npos) return -1;
    return std::stol(line.substr(at + 4));
}

}  // namespace loginwindow_test
