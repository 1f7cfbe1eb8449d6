// Conversions between Core Foundation values and libplist nodes, shared by
// CFPropertyList and the preference store.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <plist/plist.h>

#include <string>

// A new value tree for the node, owned by the caller; NULL when an
// allocation fails or the node holds a type with no CF counterpart.
// Containers are mutable when mutability asks for it
// (kCFPropertyListMutableContainers). Integers become kCFNumberSInt64Type,
// reals kCFNumberFloat64Type.
CFPropertyListRef _CFPropertyListCreateFromNode(plist_t node, CFOptionFlags mutability);

// A new node tree for the value, owned by the caller (plist_free); NULL when
// the value, or anything in it, is not a property-list type. Float numbers
// are written as reals holding the same value exactly.
plist_t _CFPropertyListCreateNode(CFPropertyListRef value);

// The node tree as XML text, as plist_to_xml writes it except that a real
// holding negative zero keeps its sign (libplist 2.2 writes it as "0.0",
// which reads back as positive zero). Empty when the text cannot be made.
std::string _CFPropertyListCopyXMLText(plist_t node);
