#include "galleria/publish/output_kinds.h"

#include <QProcess>
#include <QStringList>

#include <cstdlib>
#include <fstream>
#include <system_error>

#include "galleria/app_folder.h"
#include "galleria/error.h"
#include "galleria/publish/write_file.h"
#include "write_whole.h"

namespace fs = std::filesystem;

namespace galleria::publish {
namespace {

constexpr const char* kPlayerCabinet =
    "http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=9.0.0.0";
constexpr const char* kPlayerDownload = "http://www.macromedia.com/go/getflashplayer";

void AppendLittleEndian(std::ofstream& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                         static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
  out.write(bytes, 4);
}

void AppendFile(std::ofstream& out, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw GalleriaError("File Not Found " + file.string());
  out << in.rdbuf();
}

std::uint32_t SizeOf(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec) throw GalleriaError("File Not Found " + file.string());
  if (size > UINT32_MAX) throw GalleriaError("The movie is larger than 4 GB");
  return static_cast<std::uint32_t>(size);
}

}  // namespace

void WriteSelfRunningProgram(const fs::path& movie, const fs::path& output,
                             const fs::path& player) {
  const std::uint32_t movieSize = SizeOf(movie);
  SizeOf(player);
  WriteWhole(output, [&](const fs::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw GalleriaError("Cannot write " + output.string());
    AppendFile(out, player);
    AppendFile(out, movie);
    AppendLittleEndian(out, kPlayerTrailerMagic);
    AppendLittleEndian(out, movieSize);
    out.close();
    if (!out) throw GalleriaError("Cannot write " + output.string());
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
  });
}

std::vector<std::string> WebPageLines(const std::string& name, int width, int height) {
  const std::string w = std::to_string(width);
  const std::string h = std::to_string(height);
  return {
      "<html>",
      "<head>",
      "<title>",
      name,
      "</title>",
      "</head>",
      "<body bgcolor=\"#FFFFFF\" onload=\"javascript: ovra.focus()\">",
      "<table width=100% height=100%>",
      "<tr>",
      "<td>",
      "<center>",
      " <script language=\"javascript\">",
      std::string(
          "      document.write('<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
          "codebase=\"") +
          kPlayerCabinet + "\"width=\" " + w + "\" height=\"" + h +
          "\" ID=\"ovra\" VIEWASTEXT>');  ",
      "      document.write('  <param name=\"movie\" value=\"" + name + ".swf\" />');  ",
      "      document.write('  <param name=\"quality\" value=\"high\" />');  ",
      "      document.write('  <param name=\"wmode\" value=\"window\" />');  ",
      "      document.write('  <param name=\"allowScriptAccess\" value=\"always\" />'); ",
      "      document.write('  <param name=\"allowFullScreen\" value=\"True\" />');  ",
      "      document.write('  <embed src=\"" + name +
          ".swf\" quality=\"high\" name=\"ovra\" allowScriptAccess=\"always\" "
          "allowFullScreen=\"true\" "
          "pluginspage=\"" +
          kPlayerDownload + "\" type=\"application/x-shockwave-flash\" width=\"" + w +
          "\" height=\"" + h + "\"></embed>');  ",
      "      document.write('</object>');  ",
      "</script> ",
      "</center>",
      "</td>",
      "</tr>",
      "</table>",
      "</body>",
      "</html>",
  };
}

void WriteWebPage(const TProjItem& project, const fs::path& movie) {
  const fs::path page = project.ExportFile;
  const std::string name = page.stem().string();
  WriteWhole(page.parent_path() / (name + ".swf"), [&](const fs::path& file) {
    fs::copy_file(movie, file, fs::copy_options::overwrite_existing);
  });
  WriteWhole(page, [&](const fs::path& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) throw GalleriaError("Cannot write " + page.string());
    for (const std::string& line :
         WebPageLines(name, project.Seting().Width(), project.Seting().Height()))
      out << line << "\r\n";
    out.close();
    if (!out) throw GalleriaError("Cannot write " + page.string());
  });
}

bool WriteScreenSaver(const fs::path& movie, const fs::path& output, const fs::path& stub) {
  std::error_code ec;
  if (!fs::is_regular_file(stub, ec)) return false;
  const std::uint32_t stubSize = SizeOf(stub);
  WriteWhole(output, [&](const fs::path& file) {
    TWriteFile saver(stub, file);
    saver.WriteFileData(movie);
    saver.WriteFileSize(stubSize);
    saver.Close();
    fs::permissions(file, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
  });
  return true;
}

fs::path InstallScreenSaver(const fs::path& screenSaver) {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const fs::path folder =
      (data && *data ? fs::path(data) : fs::path(home ? home : "/tmp") / ".local/share") /
      "galleria" / "screensavers";
  std::error_code ec;
  fs::create_directories(folder, ec);
  const fs::path installed = folder / screenSaver.filename();
  fs::copy_file(screenSaver, installed, fs::copy_options::overwrite_existing, ec);
  if (ec) throw GalleriaError("Cannot install the screen saver: " + ec.message());
  fs::permissions(installed,
                  fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec,
                  ec);
  return installed;
}

std::vector<std::string> MailCommand(const fs::path& movie) {
  return {ShippedFile(shipped::kMailHelper).string(), movie.string()};
}

bool SendByMail(const fs::path& movie) {
  const std::vector<std::string> command = MailCommand(movie);
  QStringList arguments;
  for (std::size_t i = 1; i < command.size(); ++i) arguments << QString::fromStdString(command[i]);
  return QProcess::startDetached(QString::fromStdString(command[0]), arguments);
}

}  // namespace galleria::publish
