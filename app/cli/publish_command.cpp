#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "commands.h"
#include "console_progress.h"
#include "galleria/app_folder.h"
#include "galleria/error.h"
#include "galleria/language.h"
#include "galleria/publish/publish_start.h"

namespace fs = std::filesystem;

namespace galleria::cli {
namespace {

const std::map<std::string, PUBLISH_TYPE> kKinds = {
    {"swf", PUBLISH_TYPE::ET_SWF},     {"exe", PUBLISH_TYPE::ET_EXE},
    {"html", PUBLISH_TYPE::ET_HTML},   {"scr", PUBLISH_TYPE::ET_SRC},
    {"email", PUBLISH_TYPE::ET_EMAIL}, {"preview", PUBLISH_TYPE::ET_PREVIEW},
};

// Ctrl-C cancels the way the progress window's Cancel button does: the pipeline stops at its
// next check and reports "Cancel".
std::atomic<bool>* cancelFlag = nullptr;
void Cancel(int) {
  if (cancelFlag) cancelFlag->store(true);
}

}  // namespace

int PublishCommand(const std::vector<std::string>& args) {
  std::string output;
  std::vector<std::string> rest;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--output" && i + 1 < args.size())
      output = args[++i];
    else
      rest.push_back(args[i]);
  }
  const auto kind = args.empty() ? kKinds.end() : kKinds.find(args[0]);
  if (kind == kKinds.end() || rest.size() != 1 ||
      (output.empty() && kind->second != PUBLISH_TYPE::ET_PREVIEW))
    throw GalleriaError(
        "usage: galleria --publish swf|exe|html|scr|email|preview --output PATH PROJECT.qmvk");

  if (!output.empty()) {
    // The publish dialog only offers existing folders; on the command line the folder is made.
    std::error_code ec;
    const fs::path folder = fs::absolute(output).parent_path();
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder))
      throw GalleriaError("Cannot make the output folder " + folder.string());
  }
  LoadLanguage(ShippedFile(shipped::kLanguageFile));
  TProjItem project;
  project.LoadFromFile(rest[0]);
  project.ExportType = kind->second;
  project.ExportFile = output.empty() ? std::string() : fs::absolute(output).string();
  publish::StartPublish(project, kind->second);

  cancelFlag = &project.CalcelBuild;
  std::signal(SIGINT, Cancel);
  std::signal(SIGTERM, Cancel);
  ConsoleProgress progress(project);
  progress.Start();
  QCoreApplication::exec();
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  cancelFlag = nullptr;
  return progress.ExitCode();
}

}  // namespace galleria::cli
