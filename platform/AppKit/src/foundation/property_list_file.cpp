#include "foundation/property_list_file.h"

#include <FileIO/durable_file.h>

#include <string>
#include <utility>

namespace {

// Larger than any bundle's Info.plist or layout; the property-list reader
// refuses more anyway.
constexpr size_t kLargestFile = size_t{64} << 20;

// The whole file, unless it is not a regular file that can be read: a FIFO
// at the path never blocks the read, and a file past the limit is refused
// while it is read. A symbolic link is followed to its final target, as
// bundles may be assembled with links.
Result<std::string> read_regular_file(const std::string &path) {
    auto target = fileio::final_target(path);
    if (!target) return Failure("cannot read " + path + ": a symbolic link that leads nowhere");
    auto read = fileio::read_whole_file(*target, kLargestFile);
    if (!read) return Failure("cannot read " + path + ": " + read.message());
    return std::move(read->bytes);
}

}  // namespace

Result<CFRef<CFPropertyListRef>> ns_read_property_list_file(const std::string &path) {
    Result<std::string> bytes = read_regular_file(path);
    if (!bytes) return bytes.failure();
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(
        CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes->data()),
                     static_cast<CFIndex>(bytes->size())));
    CFRef<CFPropertyListRef> list = CFRef<CFPropertyListRef>::adopt(
        data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), kCFPropertyListImmutable,
                                            nullptr, nullptr)
             : nullptr);
    if (!list) return Failure(path + ": not a property list");
    return list;
}
