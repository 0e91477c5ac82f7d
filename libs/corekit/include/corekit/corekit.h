#pragma once
// The core utility library: everything other libraries may use of it.

#include <cstdint>

#include "corekit/element_thread.h"
#include "corekit/local_memory.h"
#include "corekit/memory_stream.h"
#include "corekit/msg_queue.h"
#include "corekit/random.h"
#include "corekit/resource_load.h"
#include "corekit/video_frame.h"

extern "C" {
// Starts the graphics layer (once per process; no display needed) that resizeFrame, blendFrame
// and the save functions need. Returns 0 on success.
int InitializeCorekit();
// Has no effect: the graphics layer stays started until the process ends.
void DeinitializeCorekit();
// target * position / source; position unchanged when the resolutions are equal or the source
// resolution is not positive.
double ConvertPosByDpi(double position, std::int32_t source, std::int32_t target);
}
