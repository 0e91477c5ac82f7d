#include "galleria/publish/output_kinds.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <testkit/files.h>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace galleria;
using namespace galleria::publish;

namespace {

struct OutputKinds : ::testing::Test {
  OutputKinds() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < 1000; ++i) movie.push_back(static_cast<char>(i * 7));
    Put(dir / "movie.swf", movie);
  }
  ~OutputKinds() override { fs::remove_all(dir); }
  static void Put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  // Runs a published program with --extract and returns the movie it found in itself.
  std::string Extracted(const fs::path& program) {
    const fs::path out = dir / "extracted.swf";
    fs::remove(out);
    EXPECT_EQ(QProcess::execute(QString::fromStdString(program.string()),
                                {"--extract", QString::fromStdString(out.string())}),
              0);
    return testkit::ReadText(out);
  }
  const fs::path dir = fs::temp_directory_path() / ("output-kinds-" + std::to_string(getpid()));
  const fs::path app = GALLERIA_APP_DIR;
  std::string movie;
};

}  // namespace

TEST_F(OutputKinds, SelfRunningProgramCarriesItsMovieBehindThePlayer) {
  Put(dir / "player", std::string(5000, 'P'));
  WriteSelfRunningProgram(dir / "movie.swf", dir / "trip.exe", dir / "player");
  const std::string program = testkit::ReadText(dir / "trip.exe");
  ASSERT_EQ(program.size(), 5000u + 1008u);
  EXPECT_EQ(program.substr(5000, 1000), movie);
  EXPECT_EQ(program.substr(program.size() - 8), std::string("\x56\x34\x12\xFA\xE8\x03\x00\x00", 8));

  // The real player stub finds the movie in a program made from it.
  WriteSelfRunningProgram(dir / "movie.swf", dir / "real", app / "Velloplay");
  EXPECT_EQ(Extracted(dir / "real"), movie);
  EXPECT_NE(QProcess::execute(QString::fromStdString((app / "Velloplay").string()),
                              {"--extract", QString::fromStdString((dir / "none.swf").string())}),
            0)
      << "the bare stub carries no movie";

  EXPECT_ANY_THROW(WriteSelfRunningProgram(dir / "missing.swf", dir / "x.exe", dir / "player"));
  fs::create_directories(dir / "taken.exe" / "inside");
  EXPECT_ANY_THROW(WriteSelfRunningProgram(dir / "movie.swf", dir / "taken.exe", dir / "player"));
  EXPECT_FALSE(fs::exists(dir / "taken.exe.part")) << "nothing half-written is left behind";
  EXPECT_ANY_THROW(WriteSelfRunningProgram(dir / "movie.swf", dir / "x.exe", dir / "no-player"));
}

TEST_F(OutputKinds, ScreenSaverIsStubLengthMovieAndStubSize) {
  Put(dir / "stub", std::string(200000, 'S'));
  ASSERT_TRUE(WriteScreenSaver(dir / "movie.swf", dir / "trip.scr", dir / "stub"));
  const std::string saver = testkit::ReadText(dir / "trip.scr");
  ASSERT_EQ(saver.size(), 200000u + 4 + 1000 + 4);
  EXPECT_EQ(saver.substr(200000, 4), std::string("\x00\x00\x03\xE8", 4));
  EXPECT_EQ(saver.substr(200004, 1000), movie);
  EXPECT_EQ(saver.substr(saver.size() - 4), std::string("\x40\x0D\x03\x00", 4));
  EXPECT_FALSE(WriteScreenSaver(dir / "movie.swf", dir / "x.scr", dir / "no-stub"));

  ASSERT_TRUE(WriteScreenSaver(dir / "movie.swf", dir / "real.scr", app / "idlescene"));
  EXPECT_EQ(Extracted(dir / "real.scr"), movie);

  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  const fs::path installed = InstallScreenSaver(dir / "real.scr");
  EXPECT_EQ(installed, dir / "data" / "galleria" / "screensavers" / "real.scr");
  EXPECT_EQ(testkit::ReadText(installed), testkit::ReadText(dir / "real.scr"));
  EXPECT_NE(fs::status(installed).permissions() & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(OutputKinds, WebPageLinesAndTheMovieBesideIt) {
  TProjItem project;
  project.Seting().SetWidth(960);
  project.Seting().SetHeight(540);
  project.ExportFile = (dir / "My Trip.html").string();
  WriteWebPage(project, dir / "movie.swf");
  EXPECT_EQ(testkit::ReadText(dir / "My Trip.swf"), movie);

  std::istringstream page(testkit::ReadText(dir / "My Trip.html"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(page, line);) {
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.back(), '\r') << "every line ends with CR LF";
    line.pop_back();
    lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 27u);
  EXPECT_EQ(lines[3], "My Trip");
  EXPECT_EQ(lines[6], "<body bgcolor=\"#FFFFFF\" onload=\"javascript: ovra.focus()\">");
  EXPECT_TRUE(
      lines[12].starts_with("      document.write('<object "
                            "classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=\""));
  EXPECT_NE(lines[12].find("/pub/shockwave/cabs/flash/swflash.cab#version=9.0.0.0\"width=\" 960\" "
                           "height=\"540\" ID=\"ovra\" VIEWASTEXT>');  "),
            std::string::npos);
  EXPECT_EQ(lines[13],
            "      document.write('  <param name=\"movie\" value=\"My Trip.swf\" />');  ");
  EXPECT_EQ(lines[16],
            "      document.write('  <param name=\"allowScriptAccess\" value=\"always\" />'); ");
  EXPECT_TRUE(lines[18].starts_with(
      "      document.write('  <embed src=\"My Trip.swf\" quality=\"high\" name=\"ovra\""));
  EXPECT_TRUE(
      lines[18].ends_with("/go/getflashplayer\" type=\"application/x-shockwave-flash\" "
                          "width=\"960\" height=\"540\"></embed>');  "));
  EXPECT_EQ(lines[20], "</script> ");
  EXPECT_EQ(lines[26], "</html>");
}

TEST(MailHandOver, CommandIsTheHelperWithTheMoviePath) {
  const auto command = MailCommand("/out/My Trip.swf");
  ASSERT_EQ(command.size(), 2u);
  EXPECT_TRUE(command[0].ends_with("/postbox"));
  EXPECT_EQ(command[1], "/out/My Trip.swf") << "one argument, spaces and all";
}
