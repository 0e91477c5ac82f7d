// The galleria executable: headless commands, or the single-instance start of the program.

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "galleria/error.h"
#include "galleria/single_instance.h"
#include "galleria/utilities.h"

namespace {

constexpr const char* kUsage =
    "usage: galleria [PROJECT.qmvk]\n"
    "       galleria --new PROJECT.qmvk [--template TYPE] [--size WxH] [--music FILE]... PHOTO...\n"
    "                make a project of the photos with the default settings and save it\n"
    "       galleria --publish swf|exe|html|scr|email|preview --output PATH PROJECT.qmvk\n"
    "                publish a project as a movie, program, web page, screen saver or mail\n"
    "       galleria --show PROJECT.qmvk     print a project's photos, music and settings\n"
    "       galleria --version | --help\n";

int StartProgram(const std::vector<std::string>& args) {
  galleria::SingleInstance instance;
  if (!instance.IsFirst()) {
    // A running program takes the project over; without one listening there is nobody to tell.
    instance.HandOver(args.empty() ? std::nullopt : std::optional(args.front()));
    return 0;
  }
  std::fputs("galleria: this build has no main window yet; use the headless commands.\n", stderr);
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit must fail like a full disk, with an error the user sees,
  // instead of killing the program half-way through a file.
  std::signal(SIGXFSZ, SIG_IGN);
  QCoreApplication app(argc, argv);
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (!args.empty() && args[0] == "--version") {
      std::printf("galleria %s\n", galleria::ApplicationVersion().c_str());
      return 0;
    }
    if (!args.empty() && args[0] == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    const std::vector<std::string> rest(args.empty() ? args.end() : args.begin() + 1, args.end());
    if (!args.empty() && args[0] == "--new") return galleria::cli::NewCommand(rest);
    if (!args.empty() && args[0] == "--show") return galleria::cli::ShowCommand(rest);
    if (!args.empty() && args[0] == "--publish") return galleria::cli::PublishCommand(rest);
    if (!args.empty() && args[0].starts_with("--")) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    return StartProgram(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "galleria: %s\n", e.what());
    return 1;
  }
}
