// A Unix socket listening at a path, for the stand-ins that serve one.
#pragma once

#include <string>

namespace hidsystem_test {

// Replaces whatever is at the path; throws when it cannot listen there.
int listen_at(const std::string &path);

}  // namespace hidsystem_test
