// The headless commands, run as the real program the way users and scripts run them.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/resource.h>
#include <testkit/files.h>

#include "galleria/model/gallery.h"

namespace fs = std::filesystem;
using namespace galleria;

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

class Cli : public ::testing::Test {
 protected:
  Cli() {
    fs::remove_all(dir);
    fs::create_directories(dir / "photos");
    for (const auto& sample : fs::directory_iterator(fs::path(GALLERIA_APP_DIR) / "samples"))
      if (sample.path().extension() == ".jpg") {
        fs::copy_file(sample.path(), dir / "photos" / sample.path().filename());
        photos.push_back((dir / "photos" / sample.path().filename()).string());
      }
    std::sort(photos.begin(), photos.end());
  }
  ~Cli() override { fs::remove_all(dir); }

  // Runs galleria; with fileSizeLimit, under that limit on the size of the files it writes, which
  // makes a write fail as on a full disk.
  Outcome Galleria(const std::vector<std::string>& args, long fileSizeLimit = 0) {
    QProcess process;
    if (fileSizeLimit > 0)
      process.setChildProcessModifier([fileSizeLimit] {
        const rlimit limit{static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
      });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("GALLERIA_HOME", QString::fromStdString((dir / "home").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((dir / "data").string()));
    process.setProcessEnvironment(env);
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    process.start(GALLERIA_EXECUTABLE, list);
    process.waitForFinished(120000);
    return {process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
  }

  std::map<fs::path, fs::file_time_type> CopyTimes() {
    std::map<fs::path, fs::file_time_type> times;
    for (const auto& e : fs::directory_iterator(dir / "home" / "TempImg"))
      if (e.path().string().ends_with("_OutPut.jpeg")) times[e.path()] = e.last_write_time();
    return times;
  }

  const fs::path dir = fs::temp_directory_path() / ("galleria-cli-" + std::to_string(getpid()));
  std::vector<std::string> photos;
};

// The project description and data block of a published movie, found as the player movie finds
// them: the "*****" whose two lengths lead exactly to the end of the file.
std::pair<std::string, std::string> Appended(const std::string& movie) {
  for (std::size_t at = movie.find("*****"); at != std::string::npos;
       at = movie.find("*****", at + 1)) {
    if (at + 9 > movie.size()) break;
    const std::uint64_t x = testkit::BigEndian32(movie, at + 5);
    if (at + 13 + x > movie.size()) continue;
    const std::uint64_t d = testkit::BigEndian32(movie, at + 9 + x);
    if (at + 13 + x + d == movie.size())
      return {movie.substr(at + 9, x), movie.substr(at + 13 + x)};
  }
  return {};
}

}  // namespace

TEST_F(Cli, NewMakesAProjectOfThePhotosWithTheDefaults) {
  std::vector<std::string> args{
      "--new", (dir / "trip.qmvk").string(), "--size", "1280x720", "--template", "st_3d_Wall"};
  args.insert(args.end(), photos.begin(), photos.end());
  const Outcome run = Galleria(args);
  ASSERT_EQ(run.exitCode, 0) << run.err;

  TProjItem project;
  project.LoadFromFile(dir / "trip.qmvk");
  ASSERT_EQ(project.Images().Count(), static_cast<int>(photos.size()));
  EXPECT_EQ(project.Images()[0].SrcFile(), photos[0]);
  EXPECT_EQ(project.Images()[0].Caption(), fs::path(photos[0]).stem().string());
  EXPECT_EQ(project.Images()[0].FileSize(), static_cast<std::int64_t>(fs::file_size(photos[0])));
  EXPECT_EQ(project.Seting().Width(), 1280);
  EXPECT_EQ(project.Seting().Height(), 720);
  EXPECT_EQ(project.Template().TemplateType(), "st_3d_Wall");
  EXPECT_EQ(project.Template().TemplateIndex(), 1);
  EXPECT_EQ(project.Template().AutoDelay(), 5);

  const struct {
    std::vector<std::string> args;
    const char* error;
  } failures[] = {
      {{"--new", (dir / "x.qmvk").string(), (dir / "missing.jpg").string()}, "File Not Found"},
      {{"--new", (dir / "x.qmvk").string(), "--size", "12by3"}, "--size"},
      {{"--new", (dir / "x.qmvk").string(), "--template", "st_none"},
       "no template of type st_none"},
      {{"--new", (dir / "x.qmvk").string(), "--bogus"}, "unknown option"},
  };
  for (const auto& f : failures) {
    const Outcome bad = Galleria(f.args);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find(f.error), std::string::npos) << bad.err;
  }
  EXPECT_FALSE(fs::exists(dir / "x.qmvk")) << "a failed --new writes no project";
}

TEST_F(Cli, PublishWritesTheMovieAndReusesUnchangedCopies) {
  std::vector<std::string> args{"--new", (dir / "trip.qmvk").string()};
  args.insert(args.end(), photos.begin(), photos.end());
  ASSERT_EQ(Galleria(args).exitCode, 0);
  const std::string projectBefore = testkit::ReadText(dir / "trip.qmvk");

  const fs::path movie = dir / "out" / "trip.swf";
  const Outcome first =
      Galleria({"--publish", "swf", "--output", movie.string(), (dir / "trip.qmvk").string()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("(2/3)  Preparing the photos..."), std::string::npos) << first.out;
  EXPECT_NE(first.out.find("(3/3)  Creating the gallery movie..."), std::string::npos);
  EXPECT_EQ(first.out.find("(1/3)"), std::string::npos) << "no music, no music stage";
  const std::string bytes = testkit::ReadText(movie);
  EXPECT_NE(bytes.find("*****"), std::string::npos);
  EXPECT_EQ(testkit::ReadText(dir / "trip.qmvk"), projectBefore)
      << "the user's project is not rewritten";
  EXPECT_FALSE(fs::exists(dir / "home" / "Temp")) << "the work folder goes with the publish";

  const auto times = CopyTimes();
  ASSERT_EQ(times.size(), photos.size());
  ASSERT_EQ(Galleria({"--publish", "html", "--output", (dir / "web" / "My Trip.html").string(),
                      (dir / "trip.qmvk").string()})
                .exitCode,
            0);
  EXPECT_EQ(CopyTimes(), times) << "a republish converts no photo";
  EXPECT_TRUE(fs::exists(dir / "web" / "My Trip.swf"));

  ASSERT_EQ(Galleria({"--publish", "preview", (dir / "trip.qmvk").string()}).exitCode, 0);
  EXPECT_TRUE(fs::exists(dir / "home" / "TempImg" / "TempFlash.swf"));
}

TEST_F(Cli, PublishFailuresExitNonZeroWithTheirText) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--publish", "gif", "--output", "x", "p.qmvk"}, "usage"},
      {{"--publish", "swf", (dir / "p.qmvk").string()}, "usage"},
      {{"--publish", "swf", "--output", (dir / "o.swf").string(), (dir / "missing.qmvk").string()},
       "Cannot open project file"},
  };
  for (const auto& c : cases) {
    const Outcome run = Galleria(c.args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
  }

  std::ofstream(dir / "gone.qmvk")
      << "<Tavio><Images><TImageObj><SrcFile>" << (dir / "nowhere.jpg").string()
      << "</SrcFile></TImageObj></Images></Tavio>";
  const Outcome missing = Galleria(
      {"--publish", "swf", "--output", (dir / "o.swf").string(), (dir / "gone.qmvk").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("File Not Found " + (dir / "nowhere.jpg").string()), std::string::npos)
      << missing.err;
  EXPECT_FALSE(fs::exists(dir / "o.swf"));

  // A disk that fills up while the movie is written: an error, and no movie that looks whole.
  std::vector<std::string> args{"--new", (dir / "p.qmvk").string()};
  args.insert(args.end(), photos.begin(), photos.end());
  ASSERT_EQ(Galleria(args).exitCode, 0);
  const Outcome full = Galleria(
      {"--publish", "swf", "--output", (dir / "full.swf").string(), (dir / "p.qmvk").string()},
      200 * 1024);
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.err.find("Sorry, the gallery could not be published."), std::string::npos)
      << full.err;
  EXPECT_FALSE(fs::exists(dir / "full.swf"));
  EXPECT_FALSE(fs::exists(dir / "full.swf.part"));
}

TEST_F(Cli, MusicIsMixedIntoTheMovie) {
  const std::string tone =
      std::string(GALLERIA_SOURCE_DIR) + "/platform/codecs/tests/data/tone440-44100-stereo.mp3";
  ASSERT_EQ(
      Galleria({"--new", (dir / "m.qmvk").string(), "--music", tone, "--music", tone, photos[0]})
          .exitCode,
      0);
  TProjItem project;
  project.LoadFromFile(dir / "m.qmvk");
  ASSERT_EQ(project.Audios().Count(), 2);
  EXPECT_EQ(project.Audios()[1].EndTime(), 1);
  EXPECT_TRUE(project.Audios()[1].bFadeIn());
  EXPECT_EQ(Galleria({"--new", (dir / "x.qmvk").string(), "--music", photos[0]}).exitCode, 1)
      << "a picture is no music";

  const Outcome run = Galleria(
      {"--publish", "swf", "--output", (dir / "m.swf").string(), (dir / "m.qmvk").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("(1/3)  Mixing the background music..."), std::string::npos) << run.out;
  const auto [description, block] = Appended(testkit::ReadText(dir / "m.swf"));
  ASSERT_FALSE(description.empty());
  std::ofstream(dir / "published.xml", std::ios::binary) << description;
  TProjItem published;
  published.LoadFromFile(dir / "published.xml");
  ASSERT_TRUE(published.Seting().UseMusic());
  const auto offset = static_cast<std::size_t>(published.Seting().MD5O());
  ASSERT_EQ(testkit::BigEndian32(block, offset), published.Seting().CRTS());
  std::ofstream(dir / "music.mp3", std::ios::binary)
      << block.substr(offset + 4, published.Seting().CRTS());

  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration,format_name", "-of",
                          "default=nw=1", QString::fromStdString((dir / "music.mp3").string())});
  ASSERT_TRUE(probe.waitForFinished(30000));
  const std::string info = probe.readAllStandardOutput().toStdString();
  EXPECT_NE(info.find("format_name=mp3"), std::string::npos) << info;
  const double seconds = std::stod(info.substr(info.find("duration=") + 9));
  EXPECT_NEAR(seconds, 2.0, 0.1) << "two one-second clips back to back";

  // Publishing the same clips again takes the kept mix: the same music in the movie.
  const std::string music = block.substr(offset + 4, published.Seting().CRTS());
  ASSERT_EQ(Galleria({"--publish", "swf", "--output", (dir / "again.swf").string(),
                      (dir / "m.qmvk").string()})
                .exitCode,
            0);
  const auto [description2, block2] = Appended(testkit::ReadText(dir / "again.swf"));
  EXPECT_NE(block2.find(music), std::string::npos);

  // Another trim makes a new mix.
  project.Audios()[1].SetEndTime(0);
  project.SaveAs(dir / "m.qmvk");
  ASSERT_EQ(Galleria({"--publish", "swf", "--output", (dir / "one.swf").string(),
                      (dir / "m.qmvk").string()})
                .exitCode,
            0);
  const auto [description3, block3] = Appended(testkit::ReadText(dir / "one.swf"));
  EXPECT_EQ(block3.find(music), std::string::npos) << "one clip left, not the kept two-clip mix";
}
