#pragma once
// The terminal's progress window: receives the publish messages, shows the stage lines and the
// percentage, and runs the follow-up of the publish kind when the movie is done.

#include <cstdint>
#include <memory>
#include <string>

#include "galleria/model/gallery.h"
#include "winmsg/winmsg.h"

namespace galleria::cli {

class ConsoleProgress : public winmsg::Window {
 public:
  explicit ConsoleProgress(TProjItem& project);
  ~ConsoleProgress() override;

  // Starts stage 1 (or posts the start of stage 2 when there is no music); throws GalleriaError
  // when the mixer cannot start.
  void Start();
  std::intptr_t message(std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) override;

  // 0 when the publish and its follow-up succeeded, 1 on failure, 130 when cancelled.
  int ExitCode() const { return exitCode_; }

 private:
  void StageLine(const char* stage, const char* textId);
  void Percent(int percent);
  void Finish(int exitCode);
  void FollowUp();
  void StartExport();
  void MusicNews(std::intptr_t kind, std::intptr_t value);

  TProjItem& project_;
  struct Running;
  std::unique_ptr<Running> running_;
  int exitCode_ = 1;
  bool tty_;
  int lastPercent_ = -1;
};

}  // namespace galleria::cli
