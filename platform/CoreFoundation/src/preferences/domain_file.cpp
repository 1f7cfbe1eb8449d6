#include "preferences/domain_file.h"

#include "dictionary_entries.h"
#include "property_list_codec.h"
#include "runtime.h"
#include "string_internal.h"

#include <CFText.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace cfprefs {
namespace {

bool is_container(CFTypeRef value) {
    if (!value) return false;
    CFTypeID type = CFGetTypeID(value);
    return type == CFArrayGetTypeID() || type == CFDictionaryGetTypeID();
}

// Whether nothing in the value is a mutable container. The answer for an
// immutable container is kept on it, so that a list whose records were
// checked once costs one look per record after that.
bool is_frozen(CFPropertyListRef value) {
    CFTypeID type = CFGetTypeID(value);
    if (type != CFArrayGetTypeID() && type != CFDictionaryGetTypeID()) return true;
    if (cf::has_mark(value, cf::kMarkHoldsNoMutableContainer)) return true;
    if (type == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(value);
        if (cf::is_mutable_array(array)) return false;
        CFIndex count = CFArrayGetCount(array);
        for (CFIndex i = 0; i < count; ++i)
            if (!is_frozen(CFArrayGetValueAtIndex(array, i))) return false;
    } else {
        auto dictionary = static_cast<CFDictionaryRef>(value);
        if (cf::is_mutable_dictionary(dictionary)) return false;
        cf::DictionaryEntries entries(dictionary);
        for (size_t i = 0; i < entries.size(); ++i)
            if (!is_frozen(entries.value(i))) return false;
    }
    cf::set_mark(value, cf::kMarkHoldsNoMutableContainer);
    return true;
}

// The value with every mutable container in it replaced by an immutable
// copy, sharing every part that is already immutable (strings, numbers,
// data, dates and booleans always are); NULL when out of memory. Only
// called on values the codec has just written, so the nesting is within its
// depth limit.
CFRef<CFPropertyListRef> frozen(CFPropertyListRef value) {
    if (is_frozen(value)) return CFRef<CFPropertyListRef>::retain(value);
    std::vector<CFRef<CFPropertyListRef>> held;
    std::vector<const void *> parts;
    if (CFGetTypeID(value) == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(value);
        CFIndex count = CFArrayGetCount(array);
        for (CFIndex i = 0; i < count; ++i) {
            held.push_back(frozen(CFArrayGetValueAtIndex(array, i)));
            if (!held.back()) return {};
            parts.push_back(held.back().get());
        }
        return CFRef<CFPropertyListRef>::adopt(
            CFArrayCreate(kCFAllocatorDefault, parts.data(), count, &kCFTypeArrayCallBacks));
    }
    auto dictionary = static_cast<CFDictionaryRef>(value);
    CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void *> keys(static_cast<size_t>(count));
    parts.resize(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), parts.data());
    for (auto &part : parts) {
        held.push_back(frozen(part));
        if (!held.back()) return {};
        part = held.back().get();
    }
    return CFRef<CFPropertyListRef>::adopt(CFDictionaryCreate(kCFAllocatorDefault, keys.data(), parts.data(), count,
                                                              &kCFTypeDictionaryKeyCallBacks,
                                                              &kCFTypeDictionaryValueCallBacks));
}

std::string directory_of(const std::string &path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

DomainFile::DomainFile(std::string path) : path_(std::move(path)) {}

void DomainFile::adopt_snapshot(FileContent content) {
    snapshot_ = {};
    identity_ = content.identity;
    ownership_ = content.ownership;
    if (content.status == ReadStatus::Missing) {
        state_ = Snapshot::Missing;
        return;
    }
    if (content.status == ReadStatus::Failed) {
        state_ = Snapshot::Unreadable;
        read_failure_ = std::move(content.failure);
        return;
    }
    // Over the codec's limit, not even read: as a file the codec refused.
    if (content.status == ReadStatus::TooLarge) {
        state_ = Snapshot::Corrupt;
        return;
    }
    // An empty file holds nothing worth keeping.
    if (content.bytes.empty()) {
        state_ = Snapshot::Whole;
        return;
    }
    auto decoded = cfplist::decode_domain(content.bytes.data(), content.bytes.size());
    snapshot_ = CFRef<CFDictionaryRef>::adopt(decoded.dictionary);
    switch (decoded.status) {
    case cfplist::DecodeStatus::Ok:
        state_ = decoded.omitted_entries > 0 ? Snapshot::Partial : Snapshot::Whole;
        break;
    case cfplist::DecodeStatus::NoMemory:
        // Nothing wrong with the file: it must not be replaced.
        state_ = Snapshot::NoMemory;
        break;
    default:
        state_ = Snapshot::Corrupt;
        break;
    }
}

void DomainFile::refresh(const std::string &file) {
    auto now = identity_of(file);
    switch (state_) {
    case Snapshot::Missing:
        if (!now) return;
        break;
    case Snapshot::Whole:
    case Snapshot::Partial:
    case Snapshot::Corrupt:
        if (now && *now == identity_) return;
        break;
    case Snapshot::Unread:
    case Snapshot::Unreadable:
    case Snapshot::NoMemory:
        break;
    }
    adopt_snapshot(read_domain_file(file));
}

CFPropertyListRef DomainFile::stored_value(CFStringRef key) const {
    return snapshot_ && key ? CFDictionaryGetValue(snapshot_.get(), key) : nullptr;
}

void DomainFile::remember_read(const std::string &key, CFStringRef cf_key) {
    CFPropertyListRef value = stored_value(cf_key);
    auto known = read_.find(key);
    if (known == read_.end())
        read_.emplace(key, CFRef<CFPropertyListRef>::retain(value));
    else if (known->second.get() != value)
        known->second = CFRef<CFPropertyListRef>::retain(value);
}

CFPropertyListRef DomainFile::copy_value(const std::string &key, CFStringRef cf_key) {
    auto change = pending_.find(key);
    if (change != pending_.end()) return CFRef<CFPropertyListRef>(change->second).release();
    refresh();
    if (state_ == Snapshot::NoMemory) return nullptr;
    remember_read(key, cf_key);
    // The snapshot is immutable, so its value is handed out shared.
    return CFRef<CFPropertyListRef>::retain(stored_value(cf_key)).release();
}

CFDictionaryRef DomainFile::copy_values(const std::vector<std::string> *keys) {
    refresh();
    if (state_ == Snapshot::NoMemory) return nullptr;
    auto all = merged_with_pending();
    if (!all) return nullptr;
    if (!keys) {
        if (snapshot_) {
            CFIndex count = CFDictionaryGetCount(snapshot_.get());
            std::vector<const void *> names(static_cast<size_t>(count));
            CFDictionaryGetKeysAndValues(snapshot_.get(), names.data(), nullptr);
            for (const void *name : names) {
                auto cf_key = static_cast<CFStringRef>(name);
                remember_read(cf::string_utf8(cf_key), cf_key);
            }
        }
        return all.release();
    }
    auto chosen = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!chosen) return nullptr;
    for (const auto &key : *keys) {
        auto cf_key = CFStringFromUTF8(key);
        if (!cf_key) return nullptr;
        if (!pending_.count(key)) remember_read(key, cf_key.get());
        if (const void *value = CFDictionaryGetValue(all.get(), cf_key.get()))
            CFDictionarySetValue(chosen.get(), cf_key.get(), value);
    }
    return chosen.release();
}

Status storable_value(CFPropertyListRef value, std::string &text) {
    text.clear();
    if (is_frozen(value) && cfplist::encode_entry_xml(value, text)) return Status::success();
    std::string().swap(text);
    std::string why = cfplist::why_entry_cannot_be_written(value);
    if (why.empty()) return Status::success();
    return Failure(why);
}

void DomainFile::set_value(const std::string &key, CFPropertyListRef value, std::string text) {
    pending_[key] = CFRef<CFPropertyListRef>::retain(value);
    unstorable_.erase(key);
    if (text.empty())
        pending_text_.erase(key);
    else
        pending_text_[key] = std::move(text);
}

void DomainFile::set_unstorable_value(const std::string &key, CFPropertyListRef value, std::string why) {
    pending_[key] = CFRef<CFPropertyListRef>::retain(value);
    pending_text_.erase(key);
    unstorable_[key] = std::move(why);
}

void DomainFile::discard_change(const std::string &key) {
    pending_.erase(key);
    pending_text_.erase(key);
    unstorable_.erase(key);
}

void DomainFile::forget_cache() {
    snapshot_ = {};
    state_ = Snapshot::Unread;
    read_.clear();
}

// The snapshot as a new mutable dictionary with the pending changes applied;
// the values are shared. NULL when out of memory.
CFRef<CFMutableDictionaryRef> DomainFile::merged_with_pending() const {
    auto merged = CFRef<CFMutableDictionaryRef>::adopt(
        snapshot_ ? CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, snapshot_.get())
                  : CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks));
    if (!merged) return {};
    for (const auto &[name, value] : pending_) {
        auto key = CFStringFromUTF8(name);
        if (!key) return {};
        if (value)
            CFDictionarySetValue(merged.get(), key.get(), value.get());
        else
            CFDictionaryRemoveValue(merged.get(), key.get());
    }
    return merged;
}

// Whether a container about to be written back was read from a value the
// file no longer holds.
bool DomainFile::changed_since_read() const {
    for (const auto &[name, value] : pending_) {
        auto read = read_.find(name);
        if (read == read_.end() || !is_container(value.get())) continue;
        auto key = CFStringFromUTF8(name);
        if (!key) return true;
        CFPropertyListRef now = stored_value(key.get());
        CFPropertyListRef then = read->second.get();
        if (now == then) continue;
        if (!now || !then || !CFEqual(now, then)) return true;
    }
    return false;
}

Status DomainFile::write_merged(const std::string &target) {
    auto merged = merged_with_pending();
    if (!merged) return Failure("there is not enough memory to write it");
    std::vector<cfplist::PrewrittenValue> prewritten;
    for (const auto &[name, text] : pending_text_) prewritten.push_back({pending_.at(name).get(), &text});
    std::string bytes;
    if (!cfplist::encode_for_file(merged.get(), bytes, prewritten)) {
        // Every value was checked when it was set; a mutable one can have
        // changed since. Named, so the caller knows which.
        for (const auto &[name, value] : pending_) {
            if (!value) continue;
            std::string why = cfplist::why_entry_cannot_be_written(value.get());
            if (!why.empty()) return Failure("the value of key " + name + " cannot be stored: " + why);
        }
        return Failure("the domain cannot be written as a property list");
    }
    bool replaces_file = state_ != Snapshot::Missing;
    if ((state_ == Snapshot::Corrupt || state_ == Snapshot::Partial) && !keep_aside(target))
        return Failure(std::string("the file it replaces could not be kept aside: ") + strerror(errno));
    auto written = replace_domain_file(target, bytes, replaces_file ? std::optional(ownership_) : std::nullopt);
    if (!written) return written.failure();
    adopt_written(merged.get(), *written);
    return Status::success();
}

// The file now holds exactly what was written (the codec writes values
// exactly or not at all), so those values, frozen against later changes by
// the caller, are the snapshot of the file as written: the next read does
// not decode it again. Without memory for that, it is read again when next
// needed.
void DomainFile::adopt_written(CFDictionaryRef written, const WrittenFile &file) {
    auto values = frozen(written);
    snapshot_ = CFRef<CFDictionaryRef>::retain(static_cast<CFDictionaryRef>(values.get()));
    state_ = snapshot_ ? Snapshot::Whole : Snapshot::Unread;
    identity_ = file.identity;
    ownership_ = file.ownership;
}

Status DomainFile::synchronize() {
    Status done = pending_.empty() ? (refresh(), Status::success()) : write_pending();
    last_failure_ = done ? std::string() : done.message();
    return done;
}

// Nothing is written while a pending value cannot be stored: a write
// without it would report the others stored and drop it silently. It is
// forgotten (no later synchronize could write it); the rest stay pending.
Status DomainFile::refuse_unstorable() {
    auto [name, why] = *unstorable_.begin();
    for (const auto &[key, reason] : unstorable_) {
        pending_.erase(key);
        pending_text_.erase(key);
    }
    unstorable_.clear();
    return Failure("the value of key " + name + " cannot be stored: " + why);
}

Status DomainFile::write_pending() {
    if (!unstorable_.empty()) return refuse_unstorable();
    auto target = write_target_of(path_);
    if (!target) return Failure("it is a symbolic link that leads nowhere");
    // The folder is made private to the user whatever the umask, and it
    // must be the user's own: a link into another user's folder would let
    // that user replace or read what is written.
    std::string dir = directory_of(*target);
    if (Status made = fileio::make_directories(dir, 0700); !made) return made;
    if (Status owned = fileio::require_owned_folder(dir); !owned) return owned;
    auto lock = fileio::WriterLock::take(*target, kLongestLockWait);
    if (!lock) return lock.failure();
    // Checked again under the lock: another process may have written since.
    // A file about to be set aside and replaced is decoded once more first,
    // so that one failed decode (short of memory, say) never replaces it.
    refresh(*target);
    if (state_ == Snapshot::Corrupt || state_ == Snapshot::Partial) adopt_snapshot(read_domain_file(*target));
    if (state_ == Snapshot::Unreadable) return Failure("the file cannot be read (" + read_failure_ + ")");
    if (state_ == Snapshot::NoMemory) return Failure("there is not enough memory to read the file");
    if (changed_since_read())
        return Failure("another process changed a list since this one read it; read it again and redo the change");
    bool owner_may_write = state_ == Snapshot::Missing || (ownership_.permissions & S_IWUSR);
    if (!owner_may_write) return Failure("the file is read-only to its owner, so it is kept as it is");
    if (Status written = write_merged(*target); !written) return written;
    for (const auto &[name, value] : pending_) read_.erase(name);
    pending_.clear();
    pending_text_.clear();
    return Status::success();
}

}  // namespace cfprefs
