/*
 * CFPropertyList.h: property lists to and from their file formats.
 */
#ifndef CF_PROPERTY_LIST_H
#define CF_PROPERTY_LIST_H

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>

CF_EXTERN_C_BEGIN

typedef struct __CFError *CFErrorRef;

typedef enum {
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2
} CFPropertyListMutabilityOptions;

typedef enum {
    kCFPropertyListOpenStepFormat = 1,
    kCFPropertyListXMLFormat_v1_0 = 100,
    kCFPropertyListBinaryFormat_v1_0 = 200
} CFPropertyListFormat;

/* Parses XML or binary property-list bytes. NULL when they do not parse
 * (the stand-in makes no CFError: *error, when given, is set to NULL).
 * *format, when given, receives the format found. Caller owns the result. */
CF_EXPORT CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data,
                                                         CFOptionFlags options,
                                                         CFPropertyListFormat *format,
                                                         CFErrorRef *error);
/* Serializes in XML or binary format. NULL when the value holds something
 * that is not a property-list type. Caller owns the result. */
CF_EXPORT CFDataRef CFPropertyListCreateData(CFAllocatorRef allocator,
                                             CFPropertyListRef propertyList,
                                             CFPropertyListFormat format, CFOptionFlags options,
                                             CFErrorRef *error);
/* True when the value and everything inside it are property-list types
 * (dictionary keys being strings). */
CF_EXPORT Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format);

CF_EXTERN_C_END

#endif
