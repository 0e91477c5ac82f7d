#pragma once
// Failures inside the program are exceptions that carry the text shown to the user; each command
// or thread catches them at its edge.

#include <stdexcept>
#include <string>

namespace galleria {

class GalleriaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace galleria
