#include <chrono>
#include <cstdio>
#include <filesystem>

#include "commands.h"
#include "galleria/app_folder.h"
#include "galleria/error.h"
#include "galleria/model/gallery.h"
#include "galleria/publish/music_stage.h"
#include "galleria/template_catalogue.h"
#include "galleria/utilities.h"

namespace fs = std::filesystem;

namespace galleria::cli {
namespace {

// Project files keep times as days since 1899-12-30 in local time, fractions for the time of day.
double LocalDateTime(fs::file_time_type time) {
  const std::time_t seconds =
      std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(time));
  std::tm local{};
  localtime_r(&seconds, &local);
  constexpr double kUnixEpochDay = 25569;
  return kUnixEpochDay + static_cast<double>(seconds + local.tm_gmtoff) / 86400.0;
}

std::pair<int, int> ParseSize(const std::string& text) {
  int w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') ||
      w < 1 || h < 1 || w > 10000 || h > 10000)
    throw GalleriaError("--size takes WIDTHxHEIGHT, each from 1 to 10000: " + text);
  return {w, h};
}

void AddPhoto(TProjItem& project, const std::string& file) {
  const fs::path path = fs::absolute(file).lexically_normal();
  const std::int64_t size = FileSize(path);
  if (size < 0) throw GalleriaError("File Not Found " + path.string());
  TImageObj& photo = project.Images().Add();
  photo.SetID(project.Images().Count());
  photo.SetSrcFile(path.string());
  photo.SetCaption(path.stem().string());
  photo.SetFileSize(size);
  photo.SetModifyTime(LocalDateTime(fs::last_write_time(path)));
}

// The whole file, faded in and out; clips play back to back in the order given.
void AddMusic(TProjItem& project, const std::string& file) {
  const fs::path path = fs::absolute(file).lexically_normal();
  if (FileSize(path) < 0) throw GalleriaError("File Not Found " + path.string());
  const std::int64_t seconds = publish::MusicFileSeconds(path);
  if (seconds <= 0) throw GalleriaError("No music the mixer can use in " + path.string());
  TAudio& clip = project.Audios().Add();
  clip.SetID(project.Audios().Count());
  clip.SetFileName(path.string());
  clip.SetBeginTime(0);
  clip.SetEndTime(seconds);
  clip.SetLength(seconds);
  clip.SetbFadeIn(true);
  clip.SetFadeOut(true);
}

}  // namespace

int NewCommand(const std::vector<std::string>& args) {
  if (args.empty()) throw GalleriaError("--new needs the project file to write");
  TProjItem project;
  ApplyNewProjectDefaults(project);
  const TemplateCatalogue catalogue(ShippedFile(shipped::kTemplateCatalogue));
  std::string templateType = project.Template().TemplateType();
  std::vector<std::string> photos, music;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--template" && hasValue) {
      templateType = args[++i];
    } else if (arg == "--size" && hasValue) {
      const auto [w, h] = ParseSize(args[++i]);
      project.Seting().SetWidth(w);
      project.Seting().SetHeight(h);
      project.Seting().SetOutType(w * 9 == h * 16  ? TOutType::st_169
                                  : w * 3 == h * 4 ? TOutType::st_43
                                                   : TOutType::st_Custom);
    } else if (arg == "--music" && hasValue) {
      music.push_back(args[++i]);
    } else if (arg.starts_with("--")) {
      throw GalleriaError("unknown option for --new: " + arg);
    } else {
      photos.push_back(arg);
    }
  }
  if (!catalogue.Entries().empty()) {
    const auto index = catalogue.IndexOfType(templateType);
    if (!index) throw GalleriaError("no template of type " + templateType + " in the catalogue");
    ChooseTemplate(project, catalogue, *index);
  }
  for (const std::string& photo : photos) AddPhoto(project, photo);
  for (const std::string& clip : music) AddMusic(project, clip);
  project.SaveAs(fs::absolute(args[0]));
  std::printf("saved %s with %d photos and %d music clips\n", project.FileName().c_str(),
              project.Images().Count(), project.Audios().Count());
  return 0;
}

int ShowCommand(const std::vector<std::string>& args) {
  if (args.size() != 1) throw GalleriaError("--show needs one project file");
  TProjItem project;
  project.LoadFromFile(args[0]);
  const TTemplate& t = project.Template();
  const TSeting& s = project.Seting();
  std::printf("project %s (version %s)\n", project.FileName().c_str(),
              project.ProjVersion().c_str());
  std::printf("template %s, stage %dx%d, delay %d s\n", t.TemplateType().c_str(), s.Width(),
              s.Height(), t.AutoDelay());
  for (int i = 0; i < project.Images().Count(); ++i) {
    const TImageObj& photo = project.Images()[i];
    std::printf("photo %d: %s  \"%s\"  %s\n", photo.ID(), photo.SrcFile().c_str(),
                photo.Caption().c_str(), photo.URL().c_str());
  }
  for (int i = 0; i < project.Audios().Count(); ++i) {
    const TAudio& clip = project.Audios()[i];
    std::printf("music %d: %s  %s-%s\n", clip.ID(), clip.FileName().c_str(),
                DurationText(clip.BeginTime()).c_str(), DurationText(clip.EndTime()).c_str());
  }
  return 0;
}

}  // namespace galleria::cli
