#include "galleria/app_folder.h"

#include <cstdlib>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace galleria {
namespace {

fs::path WithTrailingSeparator(fs::path folder) {
  folder /= "";
  return folder;
}

fs::path ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return WithTrailingSeparator(ec ? fs::current_path() : exe.parent_path());
}

fs::path UserDataFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
    return fs::path(data) / "galleria";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "galleria";
}

fs::path CreatedFolder(fs::path folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  return WithTrailingSeparator(std::move(folder));
}

}  // namespace

const fs::path& ApplicationFolder() {
  static const fs::path folder = ExecutableFolder();
  return folder;
}

fs::path WorkFolder() {
  if (const char* home = std::getenv("GALLERIA_HOME"); home && *home) return CreatedFolder(home);
  const fs::path& app = ApplicationFolder();
  if (access(app.c_str(), W_OK) == 0) return app;
  return CreatedFolder(UserDataFolder());
}

fs::path ShippedFile(const char* relative) {
  return ApplicationFolder() / relative;
}

fs::path TempFolder() {
  return CreatedFolder(WorkFolder() / "Temp");
}
fs::path TempImgFolder() {
  return CreatedFolder(WorkFolder() / "TempImg");
}
fs::path FolderMemoryFile() {
  return WorkFolder() / "TempData.dat";
}

}  // namespace galleria
