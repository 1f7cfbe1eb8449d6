/*
 * CFBase.h: the runtime of the Core Foundation value layer.
 *
 * Ownership: a function whose name contains Create or Copy returns a
 * reference the caller owns and must CFRelease. Every other returned
 * reference is borrowed; its lifetime is that of the object it came from.
 * Constants (CFSTR strings, the booleans, the preference scopes) are
 * immortal: retain and release leave them alone.
 */
#ifndef CF_BASE_H
#define CF_BASE_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define CF_EXTERN_C_BEGIN extern "C" {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

#define CF_EXPORT extern __attribute__((visibility("default")))

CF_EXTERN_C_BEGIN

typedef unsigned char Boolean;
typedef unsigned char UInt8;
typedef signed char SInt8;
typedef unsigned short UInt16;
typedef signed short SInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef UInt16 UniChar;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef signed long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFHashCode;
typedef unsigned long CFOptionFlags;

typedef const void *CFTypeRef;
typedef const struct __CFString *CFStringRef;
typedef struct __CFString *CFMutableStringRef;
typedef const struct __CFAllocator *CFAllocatorRef;
typedef CFTypeRef CFPropertyListRef;

typedef struct {
    CFIndex location;
    CFIndex length;
} CFRange;

static inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
    CFRange range = {location, length};
    return range;
}

typedef enum {
    kCFCompareLessThan = -1L,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
} CFComparisonResult;

enum { kCFNotFound = -1 };

/* Allocators. The stand-in has one heap; every allocator argument may be
 * NULL or kCFAllocatorDefault and means that heap. */
CF_EXPORT const CFAllocatorRef kCFAllocatorDefault;
CF_EXPORT const CFAllocatorRef kCFAllocatorSystemDefault;

/* Takes one more reference on cf and returns it. cf must not be NULL. */
CF_EXPORT CFTypeRef CFRetain(CFTypeRef cf);
/* Drops one reference; the last one frees the value. cf must not be NULL. */
CF_EXPORT void CFRelease(CFTypeRef cf);
CF_EXPORT CFIndex CFGetRetainCount(CFTypeRef cf);
CF_EXPORT CFTypeID CFGetTypeID(CFTypeRef cf);
/* True when both are the same value or equal values of one type. */
CF_EXPORT Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
/* Equal values have equal hashes. */
CF_EXPORT CFHashCode CFHash(CFTypeRef cf);
/* A readable text of the value, owned by the caller. */
CF_EXPORT CFStringRef CFCopyDescription(CFTypeRef cf);
/* The type's name ("CFString", ...), owned by the caller. */
CF_EXPORT CFStringRef CFCopyTypeIDDescription(CFTypeID type_id);

CF_EXTERN_C_END

#endif
