#pragma once
// The one failure kind of the system: a run, a decoder or a storage raises it with a
// (German, Windows-1252) message; the run catches it at its outer edge.

#include <stdexcept>
#include <string>

namespace dz {

class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  const std::string Message() const { return what(); }
};

}  // namespace dz
