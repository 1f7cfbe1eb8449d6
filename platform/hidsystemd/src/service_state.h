// Everything the service holds: the parameters and the log of changes.
#pragma once

#include <string>
#include <vector>

#include "change_log.h"
#include "parameter_store.h"

namespace hidsystemd {

struct ServiceState {
    explicit ServiceState(const std::vector<std::string> &refused_keys) : parameters(refused_keys) {}
    ParameterStore parameters;
    ChangeLog log;
};

}  // namespace hidsystemd
