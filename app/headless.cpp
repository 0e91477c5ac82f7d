#include "headless.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "galleria/error.h"
#include "galleria/model/gallery.h"
#include "galleria/utilities.h"

namespace fs = std::filesystem;

namespace galleria::app {
namespace {

// Project files keep times as days since 1899-12-30 in local time, fractions for the time of day.
double LocalDateTime(fs::file_time_type time) {
  const auto system = std::chrono::file_clock::to_sys(time);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
  std::tm local{};
  localtime_r(&seconds, &local);
  constexpr double kUnixEpochDay = 25569;
  return kUnixEpochDay + static_cast<double>(seconds + local.tm_gmtoff) / 86400.0;
}

}  // namespace

int NewProjectCommand(const std::string& out, const std::vector<std::string>& photos) {
  TProjItem project;
  ApplyNewProjectDefaults(project);
  int id = 0;
  for (const std::string& photo : photos) {
    const fs::path path = fs::absolute(photo).lexically_normal();
    const std::int64_t size = FileSize(path);
    if (size < 0) throw GalleriaError("File Not Found " + path.string());
    TImageObj& image = project.Images().Add();
    image.SetID(++id);
    image.SetSrcFile(path.string());
    image.SetCaption(path.stem().string());
    image.SetFileSize(size);
    image.SetModifyTime(LocalDateTime(fs::last_write_time(path)));
  }
  project.SaveAs(fs::absolute(out));
  std::printf("saved %s with %d photos\n", project.FileName().c_str(), project.Images().Count());
  return 0;
}

int ShowProjectCommand(const std::string& file) {
  TProjItem project;
  project.LoadFromFile(file);
  const TTemplate& t = project.Template();
  const TSeting& s = project.Seting();
  std::printf("project %s (version %s)\n", project.FileName().c_str(),
              project.ProjVersion().c_str());
  std::printf("template %s, stage %dx%d, delay %d s\n", t.TemplateType().c_str(), s.Width(),
              s.Height(), t.AutoDelay());
  for (int i = 0; i < project.Images().Count(); ++i) {
    const TImageObj& image = project.Images()[i];
    std::printf("photo %d: %s  \"%s\"  %s\n", image.ID(), image.SrcFile().c_str(),
                image.Caption().c_str(), image.URL().c_str());
  }
  for (int i = 0; i < project.Audios().Count(); ++i) {
    const TAudio& clip = project.Audios()[i];
    std::printf("music %d: %s  %s-%s\n", clip.ID(), clip.FileName().c_str(),
                DurationText(clip.BeginTime()).c_str(), DurationText(clip.EndTime()).c_str());
  }
  return 0;
}

}  // namespace galleria::app
