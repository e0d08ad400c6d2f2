// Starting the device of an interactive front end (the shell, serve).
#pragma once

#include <iostream>
#include <memory>
#include <stdexcept>

#include "host/devices/Catalog.h"

namespace qv::sim {

// The session, or nullptr once the reason it cannot start is said: an unknown device, a device
// that cannot be set up.
template <typename Session, typename Options>
std::unique_ptr<Session> startSession(const Options& options, const host::Catalog& catalog) {
  try {
    return std::make_unique<Session>(options, catalog);
  } catch (const std::runtime_error& e) {
    std::cerr << "quorvane-sim: " << e.what() << '\n';
    return nullptr;
  }
}

}  // namespace qv::sim
