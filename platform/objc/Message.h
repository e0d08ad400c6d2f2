// Messages on the stand-in: the tweak's send helper (port/objc/Message.h) and the exception the
// platform raises, which the stand-in's frameworks, the hosts and the tests catch by type.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "port/objc/Message.h"

namespace qv {

// What the platform raises (an NSException there): a name and a reason.
class ObjCException : public std::runtime_error {
 public:
  ObjCException(std::string name, const std::string& reason)
      : std::runtime_error(reason), name_(std::move(name)) {}
  const std::string& name() const { return name_; }
  std::string reason() const { return what(); }

 private:
  std::string name_;
};

}  // namespace qv
