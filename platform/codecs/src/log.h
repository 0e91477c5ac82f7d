#pragma once
// The one log of the codec library: lines go to the callback given to OvraInitializeCodecs.

#include "codecs-api/codecs.h"

#include <stdexcept>
#include <string>

namespace ovra::codecs {

void setLogCallback(OvraLogCallback callback);  // null keeps the current one
void clearLogCallback();
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A failure that the export catching it writes as its one log line.
class CodecError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// FFmpeg's text for an error code.
std::string errorText(int code);

// Runs body; any exception becomes one log line "<what>: <message>" and the failure value.
template <class R, class Body>
R guarded(const char* what, R failure, Body&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    logLine("%s: %s", what, e.what());
  } catch (...) {
    logLine("%s: unexpected failure", what);
  }
  return failure;
}

}  // namespace ovra::codecs
