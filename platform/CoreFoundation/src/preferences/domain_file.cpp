#include "preferences/domain_file.h"

#include "property_list_internal.h"

#include <CFRef.h>

#include <cstdlib>

namespace cfprefs {
namespace {

// The dictionary the bytes hold, or NULL when they are not a property
// list with a dictionary at its top.
plist_t parse_dictionary(const std::string &bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) return nullptr;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    if (root && plist_get_node_type(root) != PLIST_DICT) {
        plist_free(root);
        root = nullptr;
    }
    return root;
}

CFStringRef create_key(const std::string &key) {
    return CFStringCreateWithCString(kCFAllocatorDefault, key.c_str(), kCFStringEncodingUTF8);
}

}  // namespace

DomainFile::DomainFile(std::string path) : path_(std::move(path)) {}

DomainFile::~DomainFile() {
    clear_pending();
    if (snapshot_) plist_free(snapshot_);
}

void DomainFile::adopt_snapshot(FileContent content) {
    if (snapshot_) plist_free(snapshot_);
    snapshot_ = nullptr;
    snapshot_missing_ = content.status == ReadStatus::Missing;
    snapshot_unreadable_ = content.status == ReadStatus::Failed;
    snapshot_corrupt_ = false;
    identity_ = content.identity;
    if (content.status != ReadStatus::Read) return;
    snapshot_ = parse_dictionary(content.bytes);
    // An empty file holds nothing worth keeping; anything else that does
    // not parse is kept aside before it is replaced.
    snapshot_corrupt_ = !snapshot_ && !content.bytes.empty();
}

void DomainFile::refresh() {
    auto now = identity_of(path_);
    if (!now && snapshot_missing_) return;
    if (now && !snapshot_missing_ && !snapshot_unreadable_ && *now == identity_) return;
    adopt_snapshot(read_whole_file(path_));
}

CFPropertyListRef DomainFile::copy_value(const std::string &key) {
    auto change = pending_.find(key);
    if (change != pending_.end())
        return change->second.value ? CFRetain(change->second.value) : nullptr;
    refresh();
    if (!snapshot_) return nullptr;
    plist_t node = plist_dict_get_item(snapshot_, key.c_str());
    return node ? _CFPropertyListCreateFromNode(node, kCFPropertyListImmutable) : nullptr;
}

// Adds every entry of the dictionary node to into; false when a value
// could not be made.
static bool add_entries(plist_t dictionary, CFMutableDictionaryRef into) {
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(dictionary, &iter);
    bool complete = true;
    for (;;) {
        char *name = nullptr;
        plist_t node = nullptr;
        plist_dict_next_item(dictionary, iter, &name, &node);
        if (!name) break;
        auto key = CFRef<CFStringRef>::adopt(create_key(name));
        free(name);
        auto value = CFRef<CFPropertyListRef>::adopt(
            _CFPropertyListCreateFromNode(node, kCFPropertyListImmutable));
        if (!key || !value) {
            complete = false;
            break;
        }
        CFDictionarySetValue(into, key.get(), value.get());
    }
    free(iter);
    return complete;
}

CFDictionaryRef DomainFile::copy_all() {
    refresh();
    auto all = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!all || (snapshot_ && !add_entries(snapshot_, all.get()))) return nullptr;
    for (const auto &[name, change] : pending_) {
        auto key = CFRef<CFStringRef>::adopt(create_key(name));
        if (!key) return nullptr;
        if (change.value)
            CFDictionarySetValue(all.get(), key.get(), change.value);
        else
            CFDictionaryRemoveValue(all.get(), key.get());
    }
    return all.release();
}

void DomainFile::set_value(const std::string &key, CFPropertyListRef value) {
    auto existing = pending_.find(key);
    if (existing != pending_.end() && existing->second.value) CFRelease(existing->second.value);
    pending_[key] = Pending{value ? CFRetain(value) : nullptr};
}

plist_t DomainFile::merged_with_pending(plist_t base) const {
    plist_t merged = base ? plist_copy(base) : plist_new_dict();
    for (const auto &[name, change] : pending_) {
        if (!change.value) {
            plist_dict_remove_item(merged, name.c_str());
            continue;
        }
        plist_t node = _CFPropertyListCreateNode(change.value);
        if (!node) {
            plist_free(merged);
            return nullptr;
        }
        plist_dict_set_item(merged, name.c_str(), node);
    }
    return merged;
}

bool DomainFile::synchronize() {
    if (pending_.empty()) {
        refresh();
        return true;
    }
    std::string dir = path_.substr(0, path_.rfind('/'));
    if (!make_directories(dir)) return false;
    DomainLock lock(path_);
    if (!lock.held()) return false;
    remove_stale_temporaries(path_);
    // Re-read under the lock: another process may have written since.
    adopt_snapshot(read_whole_file(path_));
    if (snapshot_unreadable_) return false;
    if (snapshot_corrupt_ && !keep_aside(path_)) return false;
    plist_t merged = merged_with_pending(snapshot_);
    if (!merged) return false;
    std::string bytes = _CFPropertyListCopyXMLText(merged);
    if (bytes.empty() || !replace_file_atomically(path_, bytes)) {
        plist_free(merged);
        return false;
    }
    if (snapshot_) plist_free(snapshot_);
    snapshot_ = merged;
    snapshot_missing_ = snapshot_corrupt_ = snapshot_unreadable_ = false;
    if (auto written = identity_of(path_)) identity_ = *written;
    clear_pending();
    return true;
}

void DomainFile::clear_pending() {
    for (auto &[name, change] : pending_)
        if (change.value) CFRelease(change.value);
    pending_.clear();
}

}  // namespace cfprefs
