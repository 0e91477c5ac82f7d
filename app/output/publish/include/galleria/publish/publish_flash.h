#pragma once
// Stages 2 and 3 of publishing: the photos' output copies, then the data block, the player movie
// with the project's stage size, the project description and the final movie.

#include <filesystem>
#include <memory>

#include "galleria/model/gallery.h"
#include "galleria/publish/photo_copies.h"
#include "galleria/publish/write_file.h"
#include "winmsg/winmsg.h"

namespace galleria::publish {

class TPublishFlash {
 public:
  // Opens the data block (Temp/TempData.dat behind a copy of Res/BaseFlash.swf); throws
  // "File Not Found ..." when the base is missing.
  TPublishFlash(TProjItem& project, winmsg::WindowHandle msgHandle,
                PhotoConverter convert = ImageLibraryConverter());

  // Stage 2: makes every output copy that is missing or whose size changed. Photos are converted
  // on all cores; progress still reaches the window in gallery order.
  void BuildImage();
  // Stage 3: packs the data block and writes the final movie.
  void BuildFiles();
  // Writes the base player movie with the project's stage size to Temp/FlashOutput.swf.
  void ChageFileSize();

  // Where the final movie goes, by the project's ExportType: ExportFile for a movie or a mail,
  // else TempImg/TempFlash.swf for the kinds that build on it.
  std::filesystem::path OutputPath() const;

 private:
  void CheckCancel() const;
  void Progress(int done, int total, std::intptr_t stage = 0) const;
  void PackDataBlock();
  void WriteFinalMovie(const std::filesystem::path& movie, const std::filesystem::path& description,
                       const std::filesystem::path& output);

  TProjItem& FProjItem;
  std::unique_ptr<TWriteFile> FWriteFile;
  winmsg::WindowHandle FMsgHandle;
  PhotoConverter FConvert;
};

}  // namespace galleria::publish
