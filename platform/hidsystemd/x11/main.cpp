// hidsystemd-x11: the event service's X11 backend, one process per X server
// connection, on the display in $DISPLAY.
#include "backend_program.h"

int main(int argc, char **argv) { return hidsystemd_backend::run_backend(argc, argv, "hidsystemd-x11", "x11"); }
