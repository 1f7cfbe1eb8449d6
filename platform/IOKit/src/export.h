// Marks a function of the public API; everything else stays inside the library.
#pragma once

#define IOKIT_EXPORT extern "C" __attribute__((visibility("default")))
