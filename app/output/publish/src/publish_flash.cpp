#include "galleria/publish/publish_flash.h"

#include <cmath>
#include <fstream>
#include <set>
#include <system_error>

#include "galleria/app_folder.h"
#include "galleria/error.h"
#include "galleria/publish/output_copy_cache.h"
#include "galleria/publish/publish_messages.h"
#include "galleria/swf/swf_stream_reader.h"
#include "parallel_conversions.h"
#include "write_whole.h"

namespace fs = std::filesystem;

namespace galleria::publish {
namespace {

bool Exists(const fs::path& file) {
  std::error_code ec;
  return !file.empty() && fs::is_regular_file(file, ec);
}

fs::path TempFile(const char* name) {
  return TempFolder() / name;
}

}  // namespace

TPublishFlash::TPublishFlash(TProjItem& project, winmsg::WindowHandle msgHandle,
                             PhotoConverter convert)
    : FProjItem(project),
      FWriteFile(
          std::make_unique<TWriteFile>(ShippedFile(shipped::kBaseFlash), TempFile("TempData.dat"))),
      FMsgHandle(msgHandle),
      FConvert(std::move(convert)) {}

void TPublishFlash::CheckCancel() const {
  if (FProjItem.CalcelBuild) throw GalleriaError("Cancel");
}

void TPublishFlash::Progress(int done, int total, std::intptr_t stage) const {
  const auto percent =
      total > 0 ? static_cast<std::intptr_t>(std::lround(done * 100.0 / total)) : 0;
  winmsg::send(FMsgHandle, kMsgPublishProgress, percent, stage);
}

void TPublishFlash::BuildImage() {
  winmsg::send(FMsgHandle, kMsgPublishProgress, 0, kStagePhotos);
  TSeting& seting = FProjItem.Seting();
  const PhotoSize size = ComputePhotoSize(seting.Width(), seting.Height());
  const bool sizeChanged = size != PhotoSize{seting.ImgWidth(), seting.ImgHeight()};
  seting.SetImgWidth(size.width);
  seting.SetImgHeight(size.height);

  // Decide every photo's copy first, in gallery order, so that names are given exactly as one
  // photo after the other would give them; then convert them all at once.
  TImageObjList& images = FProjItem.Images();
  OutputCopyCache cache;
  std::vector<Conversion> jobs;
  std::vector<std::ptrdiff_t> jobOf(static_cast<std::size_t>(images.Count()), -1);
  std::set<fs::path> reserved;
  for (int i = 0; i < images.Count(); ++i) {
    TImageObj& photo = images[i];
    const fs::path source = photo.ISEdit() ? photo.EditFile() : photo.SrcFile();
    if (Exists(photo.OutFile()) && !sizeChanged) continue;
    if (auto copy = cache.Find(source, size.width, size.height)) {
      photo.SetOutFile(copy->string());
      continue;
    }
    const fs::path destination = CopyName(source, "_OutPut.jpeg", reserved);
    reserved.insert(destination);
    jobOf[static_cast<std::size_t>(i)] = static_cast<std::ptrdiff_t>(jobs.size());
    jobs.push_back({source, destination, size.width, size.height});
  }

  ParallelConversions conversions(jobs, FConvert, [this] { return FProjItem.CalcelBuild.load(); });
  for (int i = 0; i < images.Count(); ++i) {
    CheckCancel();
    if (const std::ptrdiff_t job = jobOf[static_cast<std::size_t>(i)]; job >= 0) {
      const Conversion& c = jobs[static_cast<std::size_t>(job)];
      const bool written = conversions.Result(static_cast<std::size_t>(job));
      CheckCancel();
      images[i].SetOutFile((written ? c.destination : c.source).string());
      if (written) cache.Remember(c.source, c.width, c.height, c.destination);
    }
    Progress(i + 1, images.Count());
  }
  cache.Save();
}

void TPublishFlash::PackDataBlock() {
  TTemplate& t = FProjItem.Template();
  CheckCancel();
  const fs::path storePath = ShippedFile(shipped::kTemplateStore);
  std::ifstream store(storePath, std::ios::binary);
  if (!store) throw GalleriaError("File Not Found " + storePath.string());
  std::error_code ec;
  const std::uint64_t storeSize = fs::file_size(storePath, ec);
  // The span comes from the catalogue; one outside the store means the template is not there.
  if (ec || std::uint64_t{t.SelectOffset()} + t.SelectSize() + 4 > storeSize)
    throw GalleriaError("The template is not in the template store " + storePath.string());
  const TFileInfo piece =
      FWriteFile->WriteBufData(store, t.SelectOffset(), std::uint64_t{t.SelectSize()} + 4);
  t.SetMD5O(piece.szOffset);
  t.SetCRTS(t.SelectSize());

  if (t.UseBgImage() && Exists(t.ThumbImg())) {
    const TFileInfo picture = FWriteFile->WriteFileData(t.ThumbImg());
    t.SetImgOffset(picture.szOffset);
    t.SetImgSize(picture.szSize);
  }

  TImageObjList& images = FProjItem.Images();
  winmsg::send(FMsgHandle, kMsgPublishProgress, 0, kStagePacking);
  for (int i = 0; i < images.Count(); ++i) {
    CheckCancel();
    const TFileInfo photo = FWriteFile->WriteFileData(images[i].OutFile());
    images[i].SetMD5O(photo.szOffset);
    images[i].SetCRTS(photo.szSize);
    Progress(i + 1, images.Count());
  }

  TSeting& seting = FProjItem.Seting();
  const fs::path music = TempFile("TempMusic.mp3");
  const bool withMusic = FProjItem.Audios().Count() > 0 && Exists(music);
  if (withMusic) {
    const TFileInfo piece = FWriteFile->WriteFileData(music);
    seting.SetMD5O(piece.szOffset);
    seting.SetCRTS(piece.szSize);
  }
  seting.SetUseMusic(withMusic);
}

void TPublishFlash::BuildFiles() {
  PackDataBlock();
  FWriteFile->Close();
  FWriteFile.reset();
  ChageFileSize();
  const fs::path description = TempFile("TemplateXML.xml");
  FProjItem.SaveAs(description);
  WriteFinalMovie(TempFile("FlashOutput.swf"), description, OutputPath());
}

void TPublishFlash::ChageFileSize() {
  const fs::path movie = TempFile("FlashOutput.swf");
  std::error_code ec;
  fs::remove(movie, ec);
  swf::ChangeStageSize(ShippedFile(shipped::kBasePlayerMovie), movie, FProjItem.Seting().Width(),
                       FProjItem.Seting().Height());
}

fs::path TPublishFlash::OutputPath() const {
  const PUBLISH_TYPE kind = FProjItem.ExportType;
  if (kind == PUBLISH_TYPE::ET_SWF || kind == PUBLISH_TYPE::ET_EMAIL) return FProjItem.ExportFile;
  return TempImgFolder() / "TempFlash.swf";
}

void TPublishFlash::WriteFinalMovie(const fs::path& movie, const fs::path& description,
                                    const fs::path& output) {
  WriteWhole(output, [&](const fs::path& file) {
    TWriteFile published(movie, file);
    published.WriteFlag();
    published.WriteFileData(description);
    published.WriteFileData(TempFile("TempData.dat"));
    published.Close();
  });
}

}  // namespace galleria::publish
