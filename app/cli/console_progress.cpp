#include "console_progress.h"

#include <soundmix/soundmix.h>
#include <QCoreApplication>

#include <soundmix/soundmix.h>
#include <cmath>

#include <cmath>

#include <unistd.h>
#include <cstdio>

#include "galleria/app_folder.h"
#include "galleria/error.h"
#include "galleria/language.h"
#include "galleria/publish/export_thread.h"
#include "galleria/publish/music_stage.h"
#include "galleria/publish/output_kinds.h"
#include "galleria/publish/publish_messages.h"

namespace fs = std::filesystem;

namespace galleria::cli {

using namespace publish;

struct ConsoleProgress::Running {
  std::unique_ptr<MusicStage> music;
  std::unique_ptr<TExportThread> exportThread;
};

ConsoleProgress::ConsoleProgress(TProjItem& project)
    : project_(project), running_(std::make_unique<Running>()), tty_(isatty(STDOUT_FILENO)) {}

ConsoleProgress::~ConsoleProgress() {
  // The thread is waited for before its error text goes; the work folder goes with the publish.
  running_.reset();
  std::error_code ec;
  fs::remove_all(TempFolder(), ec);
}

void ConsoleProgress::Start() {
  if (project_.Audios().Count() > 0) {
    running_->music = std::make_unique<MusicStage>(project_, this);
    // Without a clip the mixer can use there is no music stage, as without clips at all.
    if (running_->music->LengthSeconds() > 0) {
      if (!running_->music->Start()) throw GalleriaError("Cannot start mixing the music");
      return;
    }
  }
  winmsg::post(this, kMsgStartExport);
}

void ConsoleProgress::MusicNews(std::intptr_t kind, std::intptr_t value) {
  switch (kind) {
    case OVRA_MUSIC_STARTED:
      StageLine("(1/3)", "frm_publish_editmusic");
      Percent(0);
      break;
    case OVRA_MUSIC_PROGRESS:
      if (project_.CalcelBuild) running_->music->Cancel();
      Percent(static_cast<int>(std::lround(value * 100.0 / running_->music->LengthSeconds())));
      break;
    case OVRA_MUSIC_FINISHED:
      Percent(100);
      // A mix that failed half-way must not be packed as if it were the music.
      if (value == OVRA_MUSIC_FAILURE) {
        std::fprintf(stderr, "%s\nThe music could not be mixed.\n",
                     LookupText("msg_failed_swf").c_str());
        return Finish(1);
      }
      if (value == OVRA_MUSIC_SUCCESS) running_->music->Keep();
      StartExport();
      break;
  }
}

void ConsoleProgress::StageLine(const char* stage, const char* textId) {
  if (tty_ && lastPercent_ >= 0) std::putchar('\n');
  std::printf("%s  %s...\n", stage, LookupText(textId).c_str());
  std::fflush(stdout);
  lastPercent_ = -1;
}

void ConsoleProgress::Percent(int percent) {
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  if (tty_) {
    const int filled = percent * 40 / 100;
    std::printf("\r[%.*s%*s] %3d%%", filled, "########################################",
                40 - filled, "", percent);
    std::fflush(stdout);
  } else if (percent % 25 == 0) {
    std::printf("%d%%\n", percent);
  }
}

void ConsoleProgress::StartExport() {
  if (project_.CalcelBuild) return Finish(130);
  running_->exportThread = std::make_unique<TExportThread>(project_, this);
  running_->exportThread->Start();
}

void ConsoleProgress::Finish(int exitCode) {
  if (tty_ && lastPercent_ >= 0) std::putchar('\n');
  exitCode_ = exitCode;
  QCoreApplication::exit(exitCode);
}

void ConsoleProgress::FollowUp() {
  const fs::path movie = TempImgFolder() / "TempFlash.swf";
  const fs::path output = project_.ExportFile;
  switch (project_.ExportType) {
    case PUBLISH_TYPE::ET_SWF:
      break;
    case PUBLISH_TYPE::ET_PREVIEW:
      std::printf("preview movie: %s\n", movie.c_str());
      return;
    case PUBLISH_TYPE::ET_EXE:
      WriteSelfRunningProgram(movie, output, ShippedFile(shipped::kPlayerStub));
      break;
    case PUBLISH_TYPE::ET_HTML:
      WriteWebPage(project_, movie);
      break;
    case PUBLISH_TYPE::ET_EMAIL:
      if (!SendByMail(output)) {
        const auto command = MailCommand(output);
        throw GalleriaError(command[0] + " \"" + command[1] + "\"" +
                            LookupText("msg_run_is_failed"));
      }
      std::printf("handed %s to the mail program\n", output.c_str());
      return;
    case PUBLISH_TYPE::ET_SRC: {
      if (!WriteScreenSaver(movie, output, ShippedFile(shipped::kScreenSaverStub)))
        throw GalleriaError(LookupText("msg_failed_swf"));
      const fs::path installed = InstallScreenSaver(output);
      std::printf("screen saver written to %s and installed as %s\n", output.c_str(),
                  installed.c_str());
      std::printf(
          "To use it, add that program to the \"programs:\" list of ~/.xscreensaver and choose it\n"
          "in the screen saver settings.\n");
      return;
    }
  }
  std::printf("published %s\n", output.c_str());
}

std::intptr_t ConsoleProgress::message(std::uint32_t id, std::intptr_t wparam,
                                       std::intptr_t lparam) {
  switch (id) {
    case kMsgStartExport:
      StartExport();
      break;
    case kMsgMusicNotify:
      MusicNews(wparam, lparam);
      break;
    case kMsgPublishProgress:
      if (lparam == kStagePhotos) StageLine("(2/3)", "frm_publish_edit");
      if (lparam == kStagePacking) StageLine("(3/3)", "frm_publish_create");
      Percent(static_cast<int>(wparam & 0xFFFF));
      break;
    case kMsgPublishSucceeded:
      try {
        FollowUp();
        Finish(0);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n%s\n", LookupText("msg_failed_swf").c_str(), e.what());
        Finish(1);
      }
      break;
    case kMsgPublishCancelled:
      std::fprintf(stderr, "Cancel\n");
      Finish(130);
      break;
    case kMsgPublishFailed:
      std::fprintf(stderr, "%s\n%s\n", LookupText("msg_failed_swf").c_str(),
                   reinterpret_cast<const char*>(wparam));
      Finish(1);
      break;
  }
  return 0;
}

}  // namespace galleria::cli
