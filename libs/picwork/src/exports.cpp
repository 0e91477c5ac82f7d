// The flat exports of documents: the image-data exports without an instance, and the processing
// instance of a front end.

#include <memory>
#include <new>

#include <corekit/memory_stream.h>
#include <gfx/startup.h>

#include "log.h"
#include "picwork/document.h"
#include "picwork/picwork.h"

struct EditorHandle {
  std::unique_ptr<CImageDocument> document;
  ImageNotifyProc notify = nullptr;
  void* user = nullptr;
};

namespace {

constexpr std::int32_t kSaveQuality = 80;

// A temporary document without a view: load, render without frames, copy out, destroy.
template <typename Load>
std::int32_t DeliverPixels(tagVideoFrame* frame, Load load) {
  if (frame == nullptr) return 0;
  CImageDocument document;
  if (!load(document) || !document.Render(false)) return 0;
  COvraImage* shown = document.Displayed();
  return shown != nullptr && shown->Imp()->CopyToFrame(frame) ? 1 : 0;
}

}  // namespace

extern "C" {

std::int32_t OvraGetImageData(const char* source, CVXMemoryStream* edits, tagVideoFrame* frame) {
  try {
    return DeliverPixels(frame, [&](CImageDocument& d) {
      return source != nullptr && d.LoadFileWithData(source, edits, false);
    });
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraGetImageDataEx(const tagVideoFrame* source, CVXMemoryStream* edits,
                                tagVideoFrame* frame) {
  try {
    return DeliverPixels(frame,
                         [&](CImageDocument& d) { return d.LoadFrame(source, edits, false); });
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraGetImageDataColor(std::uint32_t color, std::int32_t width, std::int32_t height,
                                   CVXMemoryStream* edits, tagVideoFrame* frame) {
  try {
    return DeliverPixels(frame, [&](CImageDocument& d) {
      return d.LoadColorWithData(color, width, height, edits, false);
    });
  } catch (...) {
    return 0;
  }
}

void OvraGetImageEditRect(OvraRectD* rect, CVXMemoryStream* edits) {
  try {
    if (rect == nullptr) return;
    if (edits == nullptr) {
      *rect = {0, 0, 1, 1};
      return;
    }
    picwork::ReadEditRect(*edits, *rect);
  } catch (...) {
  }
}

EditorHandle* OvraInitRetouch(ImageNotifyProc notify, void* user, void* parentWindow,
                              ImageLogProc log) {
  try {
    picwork::SetLogCallback(log);
    gfx::startup();
    if (parentWindow != nullptr) {
      // The editing view is not part of this build; an instance without it still loads,
      // renders and saves.
      picwork::Log("no editing view in this build: parent window refused");
      return nullptr;
    }
    auto handle = std::make_unique<EditorHandle>();
    handle->document = std::make_unique<CImageDocument>(nullptr);
    handle->notify = notify;
    handle->user = user;
    return handle.release();
  } catch (...) {
    return nullptr;
  }
}

void OvraDeinitRetouch(EditorHandle* handle) {
  try {
    if (handle == nullptr) return;
    handle->document.reset();  // the document first, then (with a view) the view
    delete handle;
  } catch (...) {
  }
}

std::int32_t OvraLoadImage(const char* path, EditorHandle* handle) {
  try {
    return handle != nullptr && path != nullptr && handle->document->LoadFile(path) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraLoadFromData(const char* path, CVXMemoryStream* edits, EditorHandle* handle) {
  try {
    return handle != nullptr && path != nullptr && handle->document->LoadFileWithData(path, edits)
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraLoadFromDataColor(std::uint32_t color, std::int32_t width, std::int32_t height,
                                   CVXMemoryStream* edits, EditorHandle* handle) {
  try {
    if (handle == nullptr) return 0;
    CImageDocument& d = *handle->document;
    // Without a block it is the plain colour fill, rendered with selection frames.
    const bool ok = edits == nullptr ? d.LoadColor(width, height, color)
                                     : d.LoadColorWithData(color, width, height, edits);
    return ok ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraCreateImage(std::int32_t width, std::int32_t height, std::uint32_t color,
                             EditorHandle* handle) {
  try {
    return handle != nullptr && handle->document->LoadColor(width, height, color) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraGetImageSize(std::int32_t* width, std::int32_t* height, EditorHandle* handle) {
  try {
    if (width != nullptr) *width = 0;
    if (height != nullptr) *height = 0;
    if (handle == nullptr || !handle->document->output) return 0;
    handle->document->output->GetSize(width, height);
    return 1;
  } catch (...) {
    return 0;
  }
}

std::int32_t OvraSaveImage(const char* path, EditorHandle* handle, std::int32_t type) {
  try {
    if (handle == nullptr) return 0;
    CImageDocument& d = *handle->document;
    if (!d.Render(false)) return 0;
    if (path != nullptr) return *path != '\0' && d.Save(path, type, kSaveQuality) ? 1 : 0;
    if (d.outputPath.empty()) return 0;
    // Saving to the output path goes together with the XML settings file, which this build
    // cannot write yet; the picture alone would be an incomplete save.
    picwork::Log("cannot save %s: the settings file is not supported yet", d.outputPath.c_str());
    return 0;
  } catch (...) {
    return 0;
  }
}

CVXMemoryStream* OvraSaveDataToStream(EditorHandle* handle) {
  try {
    if (handle == nullptr) return nullptr;
    auto stream = std::make_unique<CVXMemoryStream>();
    if (!picwork::WriteEditData(*stream, handle->document->Edits())) return nullptr;
    return stream.release();
  } catch (...) {
    return nullptr;
  }
}

void OvraSetOutSettings(const char* outputPath, const char* settingsPath, std::int32_t type,
                        EditorHandle* handle) {
  try {
    if (handle == nullptr) return;
    CImageDocument& d = *handle->document;
    if (outputPath != nullptr) d.outputPath = outputPath;
    if (settingsPath != nullptr) d.settingsPath = settingsPath;
    if (type != -1) d.outputType = type;
  } catch (...) {
  }
}

}  // extern "C"
