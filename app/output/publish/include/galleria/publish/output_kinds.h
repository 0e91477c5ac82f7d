#pragma once
// What each kind of publish makes of the finished movie: a self-running program, a web page, a
// screen saver or a mail hand-over. Each throws GalleriaError when a file cannot be written.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "galleria/model/gallery.h"

namespace galleria::publish {

// The trailer value a self-running program ends with, before the movie's size.
inline constexpr std::uint32_t kPlayerTrailerMagic = 0xFA123456;

// player + movie + 0xFA123456 + movie size (both little-endian), written to `output`.
void WriteSelfRunningProgram(const std::filesystem::path& movie,
                             const std::filesystem::path& output,
                             const std::filesystem::path& player);

// The lines of the web page that shows `name`.swf at width x height.
std::vector<std::string> WebPageLines(const std::string& name, int width, int height);

// Writes the page to the project's ExportFile (CR LF line ends) and copies the movie beside it
// as <page name>.swf.
void WriteWebPage(const TProjItem& project, const std::filesystem::path& movie);

// stub + big-endian movie size + movie + stub size (little-endian). False when the stub is
// missing.
bool WriteScreenSaver(const std::filesystem::path& movie, const std::filesystem::path& output,
                      const std::filesystem::path& stub);

// Copies a screen saver into the user's screen-saver folder ($XDG_DATA_HOME/galleria/
// screensavers/) as an executable and returns the installed path.
std::filesystem::path InstallScreenSaver(const std::filesystem::path& screenSaver);

// The mail helper's command line for `movie`, and its start (without waiting). False when it
// could not be started.
std::vector<std::string> MailCommand(const std::filesystem::path& movie);
bool SendByMail(const std::filesystem::path& movie);

}  // namespace galleria::publish
