// hidctl's commands. Each prints its result on stdout and returns the exit
// status; failures print one line on stderr.
#pragma once

#include <string_view>

#include <hidsystem/socket_path.h>

namespace hidctl {

int run_get(const hidsystem::SocketPath &path, std::string_view key);
int run_log(const hidsystem::SocketPath &path);
int run_ping(const hidsystem::SocketPath &path);
enum class Output { Text, Json };
int run_backend(const hidsystem::SocketPath &path, Output output);

}  // namespace hidctl
