// Loud failures: what the platform treats as a crash stops the process
// here too, with one line on stderr.
#pragma once

[[noreturn]] void ns_fatal(const char *format, ...) __attribute__((format(printf, 1, 2)));
