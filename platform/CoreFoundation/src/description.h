// Texts of values inside array and dictionary listings, in the old-style
// form: "(\n    a,\n    b\n)" and "{\n    key = value;\n}", nested listings
// indented four spaces a level.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

namespace cf {

using CopyDescription = CFStringRef (*)(const void *value);

// Appends the text of one element of a listing at the given nesting level.
// copy_description is the container's callback: CFCopyDescription for
// values (nested containers are listed, strings quoted when they hold
// anything but letters, digits, '.' and '_'), another function for other
// elements, or NULL, which shows the element's address. False when the
// description of a value could not be made (an allocation failed).
bool append_element_text(std::string &out, const void *value, CopyDescription copy_description,
                         int level) noexcept;
void append_indent(std::string &out, int level) noexcept;

// The listings themselves, from the container's own file; false as above.
bool append_array_listing(std::string &out, CFArrayRef array, int level) noexcept;
bool append_dictionary_listing(std::string &out, CFDictionaryRef dictionary, int level) noexcept;

}  // namespace cf
