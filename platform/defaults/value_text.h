// The text `defaults` prints for a stored value: the old-style
// property-list form users of the command know. Strings are quoted unless
// they are plain letters and digits, booleans print as 1 and 0, reals in
// their shortest exact form, data as <hex>, dates quoted in UTC. Numbers
// never depend on the process locale.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

// Indentation stops growing after 32 levels, so a deep value prints in
// text and time linear in its size.
std::string value_text(CFPropertyListRef value, int indent = 0);

// As value_text, but a string prints as its bare text (`read DOMAIN KEY`).
std::string value_text_bare(CFPropertyListRef value);

// "string", "integer", "float", "boolean", "array", "dictionary", "data", "date".
std::string value_type_name(CFPropertyListRef value);
