// A dictionary's keys and values in its order, for the walks of the codec
// and the preference store. Most dictionaries are small records, whose
// entries are then kept on the stack instead of in new memory.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <vector>

namespace cf {

class DictionaryEntries {
public:
    explicit DictionaryEntries(CFDictionaryRef dictionary)
        : count_(static_cast<size_t>(CFDictionaryGetCount(dictionary))) {
        if (count_ > kOnStack) {
            many_keys_.resize(count_);
            many_values_.resize(count_);
        }
        CFDictionaryGetKeysAndValues(dictionary, keys(), values());
    }
    DictionaryEntries(const DictionaryEntries &) = delete;
    DictionaryEntries &operator=(const DictionaryEntries &) = delete;

    size_t size() const { return count_; }
    const void *key(size_t i) const { return count_ > kOnStack ? many_keys_[i] : few_keys_[i]; }
    const void *value(size_t i) const { return count_ > kOnStack ? many_values_[i] : few_values_[i]; }

private:
    static constexpr size_t kOnStack = 8;
    const void **keys() { return count_ > kOnStack ? many_keys_.data() : few_keys_; }
    const void **values() { return count_ > kOnStack ? many_values_.data() : few_values_; }

    size_t count_;
    const void *few_keys_[kOnStack];
    const void *few_values_[kOnStack];
    std::vector<const void *> many_keys_, many_values_;
};

}  // namespace cf
