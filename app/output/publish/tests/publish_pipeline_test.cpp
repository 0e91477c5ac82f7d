#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <testkit/files.h>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "galleria/app_folder.h"
#include "galleria/publish/export_thread.h"
#include "galleria/publish/publish_messages.h"
#include "galleria/swf/swf_stream_reader.h"
#include "galleria/template_catalogue.h"

namespace fs = std::filesystem;
using namespace galleria;
using namespace galleria::publish;

namespace {

// Stands in for the image library: the copy names its size and carries the source's bytes, so a
// test can tell which photo at which size went into the movie.
struct RecordingConverter {
  bool operator()(const fs::path& source, const fs::path& destination, int w, int h) {
    {
      std::lock_guard lock(mutex);
      calls.push_back(source);
      if (cancelAfter >= 0 && static_cast<int>(calls.size()) > cancelAfter)
        project->CalcelBuild = true;
    }
    if (source.filename() == "broken.jpg" || !fs::exists(source)) return false;
    std::ofstream(destination, std::ios::binary)
        << w << "x" << h << ":" << testkit::ReadText(source);
    return true;
  }
  std::mutex mutex;
  std::vector<fs::path> calls;
  int cancelAfter = -1;
  TProjItem* project = nullptr;
};

// What the progress window received.
struct Outcome {
  struct Entry {
    std::uint32_t id;
    std::intptr_t wparam, lparam;
    bool operator==(const Entry&) const = default;
  };
  std::vector<Entry> log;
  std::uint32_t result = 0;
  std::string error;
};

struct ProgressWindow : winmsg::Window {
  std::intptr_t message(std::uint32_t id, std::intptr_t wparam, std::intptr_t lparam) override {
    if (id == kMsgPublishFailed) seen.error = reinterpret_cast<const char*>(wparam);
    seen.log.push_back({id, wparam, lparam});
    if (id == kMsgPublishSucceeded || id == kMsgPublishCancelled || id == kMsgPublishFailed)
      seen.result = id;
    return 0;
  }
  Outcome seen;
};

class Publish : public ::testing::Test {
 protected:
  Publish() {
    static int argc = 1;
    static char name[] = "publish";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    fs::remove_all(home);
    fs::create_directories(home / "photos");
    setenv("GALLERIA_HOME", home.c_str(), 1);
    ApplyNewProjectDefaults(project);
    const TemplateCatalogue catalogue(ShippedFile(shipped::kTemplateCatalogue));
    EXPECT_FALSE(catalogue.Entries().empty()) << "the build writes the shipped catalogue";
    if (!catalogue.Entries().empty()) ChooseTemplate(project, catalogue, 0);
    project.ExportType = PUBLISH_TYPE::ET_SWF;
    project.ExportFile = (home / "out" / "gallery.swf").string();
    fs::create_directories(home / "out");
  }
  ~Publish() override {
    unsetenv("GALLERIA_HOME");
    fs::remove_all(home);
  }

  TImageObj& AddPhoto(const std::string& name, const std::string& bytes) {
    const fs::path file = home / "photos" / name;
    std::ofstream(file, std::ios::binary) << bytes;
    TImageObj& photo = project.Images().Add();
    photo.SetSrcFile(file.string());
    photo.SetCaption(name);
    return photo;
  }

  // Runs stages 2 and 3 on the export thread the way the progress window does.
  Outcome Run(TProjItem& target) {
    converter.project = &target;
    ProgressWindow window;
    TExportThread thread(target, &window, std::ref(converter));
    thread.Start();
    QElapsedTimer clock;
    clock.start();
    while (!window.seen.result && clock.elapsed() < 60000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    thread.Wait();
    return window.seen;
  }
  Outcome Run() { return Run(project); }

  const fs::path home = fs::temp_directory_path() / ("publish-test-" + std::to_string(getpid()));
  TProjItem project;
  RecordingConverter converter;
};

// Walks a published movie the way the player movie does, checking every length and offset.
void ExpectWellFormedMovie(const fs::path& file, const TProjItem& project) {
  const std::string movie = testkit::ReadText(file);
  swf::TSWFStreamReader player(ShippedFile(shipped::kBasePlayerMovie));
  std::stringbuf expectedPlayer;
  player.SetWidth(project.Seting().Width());
  player.SetHeight(project.Seting().Height());
  player.SaveToStream(expectedPlayer);
  const std::size_t m = expectedPlayer.str().size();
  ASSERT_GT(movie.size(), m + 13);
  EXPECT_EQ(movie.substr(0, m), expectedPlayer.str()) << "the player movie with the stage size";
  ASSERT_EQ(movie.substr(m, 5), "*****");
  const std::uint32_t x = testkit::BigEndian32(movie, m + 5);
  const std::string description = movie.substr(m + 9, x);
  const std::uint32_t d = testkit::BigEndian32(movie, m + 9 + x);
  ASSERT_EQ(std::uint64_t{m} + 13 + x + d, movie.size())
      << "the two lengths lead exactly to the end";
  const std::string block = movie.substr(m + 13 + x);

  EXPECT_NE(description.find("<Tavio"), std::string::npos);
  EXPECT_EQ(block.substr(0, fs::file_size(ShippedFile(shipped::kBaseFlash))),
            testkit::ReadText(ShippedFile(shipped::kBaseFlash)));
  const TTemplate& t = project.Template();
  EXPECT_EQ(t.MD5O(), fs::file_size(ShippedFile(shipped::kBaseFlash)));
  EXPECT_EQ(testkit::BigEndian32(block, t.MD5O()), t.CRTS());
  const std::string store = testkit::ReadText(ShippedFile(shipped::kTemplateStore));
  EXPECT_EQ(block.substr(t.MD5O(), t.CRTS() + 4),
            store.substr(t.SelectOffset(), t.SelectSize() + 4));
  for (int i = 0; i < project.Images().Count(); ++i) {
    const TImageObj& photo = project.Images()[i];
    ASSERT_EQ(testkit::BigEndian32(block, static_cast<std::size_t>(photo.MD5O())), photo.CRTS());
    EXPECT_EQ(block.substr(static_cast<std::size_t>(photo.MD5O()) + 4,
                           static_cast<std::size_t>(photo.CRTS())),
              testkit::ReadText(photo.OutFile()))
        << "photo " << i;
    EXPECT_NE(description.find("<MD5O>" + std::to_string(photo.MD5O()) + "</MD5O>"),
              std::string::npos);
  }
  EXPECT_NE(description.find(project.Seting().UseMusic() ? "<UseMusic>True</UseMusic>"
                                                         : "<UseMusic>False</UseMusic>"),
            std::string::npos);
}

}  // namespace

TEST_F(Publish, MovieCarriesEveryPhotoWithProgressInGalleryOrder) {
  for (int i = 0; i < 7; ++i)
    AddPhoto("photo" + std::to_string(i) + ".jpg", "bytes of photo " + std::to_string(i));
  AddPhoto("broken.jpg", "cannot be converted");
  project.Seting().SetWidth(1920);
  project.Seting().SetHeight(1080);

  const Outcome window = Run();
  ASSERT_EQ(window.result, kMsgPublishSucceeded) << window.error;
  EXPECT_EQ(project.Seting().ImgWidth(), 1440);
  EXPECT_EQ(project.Seting().ImgHeight(), 1080);

  std::vector<Outcome::Entry> expected{{kMsgPublishProgress, 0, kStagePhotos}};
  const int percents[] = {13, 25, 38, 50, 63, 75, 88, 100};
  for (int p : percents) expected.push_back({kMsgPublishProgress, p, 0});
  expected.push_back({kMsgPublishProgress, 0, kStagePacking});
  for (int p : percents) expected.push_back({kMsgPublishProgress, p, 0});
  expected.push_back({kMsgPublishSucceeded, 0, 0});
  EXPECT_EQ(window.log, expected);

  EXPECT_EQ(testkit::ReadText(project.Images()[3].OutFile()), "1440x1080:bytes of photo 3");
  EXPECT_EQ(fs::path(project.Images()[3].OutFile()).filename(), "photo3_OutPut.jpeg");
  EXPECT_EQ(project.Images()[7].OutFile(), project.Images()[7].SrcFile()) << "packed unconverted";
  ExpectWellFormedMovie(project.ExportFile, project);
  EXPECT_FALSE(fs::exists(project.ExportFile + ".part"));
}

TEST_F(Publish, OnlyMissingOrResizedCopiesAreConverted) {
  AddPhoto("same.jpg", "first");
  AddPhoto("same.jpg.jpg", "clash");  // same stem up to the first dot
  TImageObj& edited = AddPhoto("edited.jpg", "original");
  std::ofstream(home / "photos" / "edited_edt.jpeg") << "retouched";
  edited.SetEditFile((home / "photos" / "edited_edt.jpeg").string());
  edited.SetISEdit(true);

  ASSERT_EQ(Run().result, kMsgPublishSucceeded);
  EXPECT_EQ(converter.calls.size(), 3u);
  EXPECT_NE(project.Images()[0].OutFile(), project.Images()[1].OutFile())
      << "converted at once, named apart";
  EXPECT_EQ(testkit::ReadText(project.Images()[2].OutFile()), "720x540:retouched")
      << "an edited photo comes from its edit";

  converter.calls.clear();
  ASSERT_EQ(Run().result, kMsgPublishSucceeded);
  EXPECT_TRUE(converter.calls.empty()) << "nothing changed, nothing converted";

  // A fresh copy of the project (as a reopened, unsaved file would be) still finds its copies.
  TProjItem reopened;
  reopened.Assign(project);
  for (int i = 0; i < reopened.Images().Count(); ++i) reopened.Images()[i].SetOutFile("");
  ASSERT_EQ(Run(reopened).result, kMsgPublishSucceeded);
  EXPECT_TRUE(converter.calls.empty());
  EXPECT_EQ(reopened.Images()[0].OutFile(), project.Images()[0].OutFile());

  project.Seting().SetWidth(1920);
  project.Seting().SetHeight(1080);
  ASSERT_EQ(Run().result, kMsgPublishSucceeded);
  EXPECT_EQ(converter.calls.size(), 3u) << "a new photo size converts every photo";
}

TEST_F(Publish, CancelInStageTwoLeavesNoMovie) {
  for (int i = 0; i < 6; ++i) AddPhoto("p" + std::to_string(i) + ".jpg", "x");
  converter.cancelAfter = 1;
  const Outcome window = Run();
  EXPECT_EQ(window.result, kMsgPublishCancelled);
  EXPECT_FALSE(fs::exists(project.ExportFile));
  EXPECT_LT(converter.calls.size(), 6u);
}

TEST_F(Publish, EmptyProjectStillPublishes) {
  const Outcome window = Run();
  ASSERT_EQ(window.result, kMsgPublishSucceeded) << window.error;
  EXPECT_EQ(window.log.front(), (Outcome::Entry{kMsgPublishProgress, 0, kStagePhotos}));
  ExpectWellFormedMovie(project.ExportFile, project);
}

TEST_F(Publish, FailuresArriveAsErrorTextsWithoutAMovie) {
  AddPhoto("a.jpg", "a");
  project.Images()[0].SetSrcFile((home / "photos" / "gone.jpg").string());
  const Outcome missing = Run();
  ASSERT_EQ(missing.result, kMsgPublishFailed);
  EXPECT_EQ(missing.error, "File Not Found " + (home / "photos" / "gone.jpg").string());
  EXPECT_FALSE(fs::exists(project.ExportFile));

  project.Images().Clear();
  const TemplateCatalogue catalogue(ShippedFile(shipped::kTemplateCatalogue));
  const auto unknown = catalogue.SpanOf(-12345);
  ASSERT_TRUE(unknown);
  project.Template().SetSelectOffset(unknown->offset);
  project.Template().SetSelectSize(unknown->size);
  const Outcome outside = Run();
  ASSERT_EQ(outside.result, kMsgPublishFailed);
  EXPECT_NE(outside.error.find("not in the template store"), std::string::npos) << outside.error;

  ChooseTemplate(project, catalogue, 0);
  project.ExportFile = (home / "photos" / "a.jpg" / "x.swf").string();  // under a file
  const Outcome unwritable = Run();
  EXPECT_EQ(unwritable.result, kMsgPublishFailed);
}
