// x11_pointer_lab: a private Xorg with an inputtest mouse and touchpad for
// the walk-through (scripts/run.sh). Prints "xorg DISPLAY" once it is up
// ("none REASON" when it cannot start), then answers commands on stdin:
//   stroke mouse|touchpad UNITS  -> the pixels a fast stroke moved the pointer
//   quit (or end of input)       -> stops Xorg, then closes the feeders
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "x_server.h"

int main() {
    std::string why;
    auto xorg = glissor_test::XServer::try_start(glissor_test::XServer::Kind::XorgInputtest, why);
    if (!xorg) {
        std::printf("none %s\n", why.c_str());
        return 1;
    }
    std::printf("xorg %s\n", xorg->display().c_str());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command, device;
        int units = 0;
        words >> command >> device >> units;
        if (command == "quit") break;
        if (command != "stroke" || units <= 0 || (device != "mouse" && device != "touchpad")) {
            std::printf("error: %s\n", line.c_str());
        } else {
            auto &feeder = device == "mouse" ? xorg->mouse() : xorg->touchpad();
            std::printf("%d\n", xorg->stroke(feeder, units));
        }
        std::fflush(stdout);
    }
    return 0;
}
