// Loud failures: what the platform treats as a crash stops the process
// here too, with one line on stderr. What the platform only logs gives one
// warning line and carries on.
#pragma once

[[noreturn]] void ns_fatal(const char *format, ...) __attribute__((format(printf, 1, 2)));
void ns_warn(const char *format, ...) __attribute__((format(printf, 1, 2)));
