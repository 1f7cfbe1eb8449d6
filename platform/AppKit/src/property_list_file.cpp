#include "property_list_file.h"

#include <CFRef.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

CFPropertyListRef ns_copy_property_list_file(const std::string &path, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(
        CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()),
                     static_cast<CFIndex>(bytes.size())));
    CFPropertyListRef list =
        data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(),
                                            kCFPropertyListImmutable, nullptr, nullptr)
             : nullptr;
    if (!list) *error = path + ": not a property list";
    return list;
}
