// hidsystemd-desktop: the event service's backend for desktops that keep
// the pointer settings themselves (settings stores, the session bus,
// compositor sockets). Each kind is one knobs file in this folder.
#include "backend_program.h"

int main(int argc, char **argv) { return hidsystemd_backend::run_backend(argc, argv, "hidsystemd-desktop", ""); }
