// Everything the service holds: the parameters, the log of changes and
// the backend that applies the speeds to the desktop.
#pragma once

#include <string>
#include <vector>

#include "backend_supervisor.h"
#include "change_log.h"
#include "parameter_store.h"

namespace hidsystemd {

struct ServiceState {
    explicit ServiceState(const std::vector<std::string> &refused_keys, const BackendOptions &backend_options = {})
        : parameters(refused_keys), backend(backend_options) {}
    ParameterStore parameters;
    ChangeLog log;
    BackendSupervisor backend;
};

}  // namespace hidsystemd
