#pragma once
// The message numbers of the publish protocol between the publishing thread, the music mixer
// and the progress window.

#include <cstdint>

namespace galleria::publish {

inline constexpr std::uint32_t kMsgPublishSucceeded = 6001;  // posted
inline constexpr std::uint32_t kMsgPublishCancelled = 6002;  // posted
// Sent: wParam percent 0..100; lParam 0, or the stage that starts.
inline constexpr std::uint32_t kMsgPublishProgress = 6003;
// Posted: wParam = address of the thread's NUL-terminated UTF-8 error text.
inline constexpr std::uint32_t kMsgPublishFailed = 6004;
inline constexpr std::intptr_t kStagePacking = 6005;  // stage 3/3
inline constexpr std::intptr_t kStagePhotos = 6006;   // stage 2/3
inline constexpr std::uint32_t kMsgStartExport = 6008;
// Posted by the music mixer: wParam kind (0 progress in seconds, 1 finished, 2 started).
inline constexpr std::uint32_t kMsgMusicNotify = 6009;
inline constexpr std::uint32_t kMsgPreviewReady = 6011;

}  // namespace galleria::publish
