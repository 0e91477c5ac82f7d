#pragma once

#include "galleria/model/gallery.h"

namespace galleria::publish {

// What every publish does first: the movie shows "all" of the stage except in the preview, and
// an earlier cancel is forgotten.
inline void StartPublish(TProjItem& project, PUBLISH_TYPE kind) {
  project.Template().SetShowModel(kind == PUBLISH_TYPE::ET_PREVIEW ? "" : "SHOWALL");
  project.CalcelBuild = false;
}

}  // namespace galleria::publish
