/*
 * CFString.h: immutable Unicode strings.
 */
#ifndef CF_STRING_H
#define CF_STRING_H

#include <CoreFoundation/CFBase.h>

#include <stdarg.h>
#include <CoreFoundation/CFArray.h>

CF_EXTERN_C_BEGIN

typedef UInt32 CFStringEncoding;

enum {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingISOLatin1 = 0x0201,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

typedef enum {
    kCFCompareCaseInsensitive = 1,
    kCFCompareBackwards = 4,
    kCFCompareAnchored = 8,
    kCFCompareNonliteral = 16,
    kCFCompareLocalized = 32,
    kCFCompareNumerically = 64
} CFStringCompareFlags;

CF_EXPORT CFTypeID CFStringGetTypeID(void);

/* An immortal string for a literal; the same text gives the same reference. */
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
CF_EXPORT CFStringRef __CFStringMakeConstantString(const char *cStr);

/* Decodes a NUL-terminated C string. NULL when the bytes are not valid in
 * the encoding or the allocation fails. Caller owns the result. */
CF_EXPORT CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr,
                                                CFStringEncoding encoding);
/* Decodes numBytes bytes, U+0000 included (a C string would end there).
 * isExternalRepresentation: a leading byte order mark is skipped. NULL when
 * the bytes are not valid in the encoding or the allocation fails. Caller
 * owns the result. */
CF_EXPORT CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8 *bytes, CFIndex numBytes,
                                              CFStringEncoding encoding, Boolean isExternalRepresentation);
/* Caller owns the result (which may be the same immutable string, retained). */
CF_EXPORT CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);
/* Length in UTF-16 code units. */
CF_EXPORT CFIndex CFStringGetLength(CFStringRef theString);
CF_EXPORT UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx);
/* Compares by Unicode code unit; kCFCompareCaseInsensitive folds case. */
CF_EXPORT CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2,
                                             CFStringCompareFlags compareOptions);
/* The pieces between every occurrence of separatorString; a string with no
 * separator gives one piece, the whole string. Caller owns the array. */
CF_EXPORT CFArrayRef CFStringCreateArrayBySeparatingStrings(CFAllocatorRef alloc,
                                                            CFStringRef theString,
                                                            CFStringRef separatorString);
/* A pointer into the string's own storage when its text is held byte for
 * byte in that encoding (for Mac Roman and ASCII: plain ASCII text; for
 * UTF-8: always), else NULL. Borrowed: valid while the string lives. */
CF_EXPORT const char *CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding);
/* Converts into buffer, NUL-terminated. False when the text does not fit
 * or has characters the encoding cannot hold. */
CF_EXPORT Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize,
                                     CFStringEncoding encoding);
/* Bytes needed for the text in the encoding, without the terminating NUL. */
CF_EXPORT CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);
CF_EXPORT Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix);
CF_EXPORT Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix);
/* A string from a printf-style format, formatted the same in every locale
 * ("%.1f" of 2.5 is "2.5"); %@ and %n are not supported (NULL). NULL also
 * when the result is not UTF-8. Caller owns it. */
CF_EXPORT CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFTypeRef formatOptions,
                                               CFStringRef format, ...);
/* The same, with the arguments in a va_list. Caller owns it. */
CF_EXPORT CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFTypeRef formatOptions,
                                                           CFStringRef format, va_list arguments);
/* The leading decimal number of the text, as strtod reads it; 0 when none. */
CF_EXPORT double CFStringGetDoubleValue(CFStringRef str);
CF_EXPORT SInt32 CFStringGetIntValue(CFStringRef str);

CF_EXTERN_C_END

#endif
