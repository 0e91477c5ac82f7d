#include <gtest/gtest.h>

#include <testkit/files.h>
#include <fstream>
#include <sstream>

#include "galleria/error.h"
#include "galleria/model/gallery.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;
using namespace galleria;

namespace {

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::string Document(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tavio version=\"1.0.0.1\">" + body +
         "</Tavio>\n";
}

// Fills every kind of property with a value that differs from its default.
void FillProject(TProjItem& project) {
  ApplyNewProjectDefaults(project);
  TImageObj& a = project.Images().Add();
  a.SetID(7);
  a.SetSrcFile("/photos/caf\xc3\xa9 <1> & 'two'.jpg");
  a.SetThumbFile("/t/a_thumb.jpeg");
  a.SetEditFile("/e/a_edt.jpeg");
  a.SetOutFile("/o/a_OutPut.jpeg");
  a.SetDescription("line one\nline two \"quoted\"");
  a.SetURL("http://example.org/?a=1&b=2");
  a.SetURLType(TWindowType::st_current);
  a.SetISEdit(true);
  a.SetCaption("  spaced caption  ");
  a.SetModifyTime(46000.123456789);
  a.SetCreateTime(-1.5e-7);
  a.SetFileSize(5000000000);
  a.SetMD5O(123);
  a.SetCRTS(456);
  project.Images().Add().SetCaption("second");
  TAudio& clip = project.Audios().Add();
  clip.SetID(3);
  clip.SetFileName("/music/song.mp3");
  clip.SetBeginTime(10);
  clip.SetEndTime(200);
  clip.SetLength(240);
  clip.SetbFadeIn(true);
  TTemplate& t = project.Template();
  t.SetTemplateID(2);
  t.SetTemplateName("Cool");
  t.SetBgColor(0x00FF8040);
  t.SetMD5O(4000000000u);
  t.SetSelectOffset(100);
  t.SetSelectSize(200);
  t.Setusespotlight(true);
  t.SetShowModel("SHOWALL");
  project.Seting().SetOutPut("/out");
  project.Seting().SetMD5O(-5);
  project.Seting().SetUseMusic(true);
}

void ExpectSameProject(const TProjItem& a, const TProjItem& b) {
  ASSERT_EQ(a.Images().Count(), b.Images().Count());
  ASSERT_EQ(a.Audios().Count(), b.Audios().Count());
  const auto same = [](const TProjObj& x, const TProjObj& y) {
    for (const Property& p : x.Properties()) {
      if (!p.get) continue;
      EXPECT_EQ(p.get(x), p.get(y)) << x.ClassName() << "." << p.name;
    }
  };
  for (int i = 0; i < a.Images().Count(); ++i) same(a.Images()[i], b.Images()[i]);
  for (int i = 0; i < a.Audios().Count(); ++i) same(a.Audios()[i], b.Audios()[i]);
  same(a.Template(), b.Template());
  same(a.Seting(), b.Seting());
}

struct ProjectFile : ::testing::Test {
  ScratchFolder dir;
  TProjItem project;
};

}  // namespace

TEST_F(ProjectFile, EmptyProjectIsWrittenExactly) {
  const fs::path file = dir.path() / "empty.qmvk";
  project.SaveAs(file);
  const std::string t = "\t\t";
  const std::string expected = Document(
      "\n\t<Images />\n\t<Template>\n" + t + "<TemplateID>0</TemplateID>\n" + t +
      "<TemplateName />\n" + t + "<TemplateType />\n" + t + "<TemplateIndex>0</TemplateIndex>\n" +
      t + "<UseFrame>False</UseFrame>\n" + t + "<BgColor>0</BgColor>\n" + t + "<BgImage />\n" + t +
      "<ThumbImg />\n" + t + "<MD5O>0</MD5O>\n" + t + "<CRTS>0</CRTS>\n" + t +
      "<SelectOffset>0</SelectOffset>\n" + t + "<SelectSize>0</SelectSize>\n" + t +
      "<ImgOffset>0</ImgOffset>\n" + t + "<ImgSize>0</ImgSize>\n" + t +
      "<DragType>st_Auto</DragType>\n" + t + "<UseLight>False</UseLight>\n" + t +
      "<UseFill>False</UseFill>\n" + t + "<AutoDelay>0</AutoDelay>\n" + t +
      "<UseBgImage>False</UseBgImage>\n" + t + "<AutoPlay>False</AutoPlay>\n" + t +
      "<AutoLoop>False</AutoLoop>\n" + t + "<FullPlay>False</FullPlay>\n" + t +
      "<mousedrag>False</mousedrag>\n" + t + "<autocursor>False</autocursor>\n" + t +
      "<autoscroll>False</autoscroll>\n" + t + "<usespotlight>False</usespotlight>\n" + t +
      "<UseBgColor>False</UseBgColor>\n" + t + "<ShowModel />\n\t</Template>\n\t<Audios />\n" +
      "\t<Seting>\n" + t + "<Width>0</Width>\n" + t + "<Height>0</Height>\n" + t +
      "<ImgWidth>0</ImgWidth>\n" + t + "<ImgHeight>0</ImgHeight>\n" + t +
      "<FrameRate>0</FrameRate>\n" + t + "<ImgQuality>0</ImgQuality>\n" + t + "<EndURL />\n" + t +
      "<OutPut />\n" + t + "<MD5O>0</MD5O>\n" + t + "<CRTS>0</CRTS>\n" + t +
      "<UseMusic>False</UseMusic>\n" + t + "<OutType>st_169</OutType>\n" + t +
      "<MusicLoop>False</MusicLoop>\n\t</Seting>\n");
  EXPECT_EQ(testkit::ReadText(file), expected);
  EXPECT_EQ(project.FileName(), file);
  EXPECT_EQ(project.ProjVersion(), "1.0.0.1");

  TProjItem loaded;
  loaded.Images().Add();
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.Images().Count(), 0);
  EXPECT_EQ(loaded.Audios().Count(), 0);
}

TEST_F(ProjectFile, PhotoElementsAreWrittenInPropertyOrder) {
  TImageObj& photo = project.Images().Add();
  photo.SetID(1);
  photo.SetCaption("A & B");
  photo.SetModifyTime(45000.5);
  photo.SetFileSize(-1);
  project.SaveAs(dir.path() / "p.qmvk");
  const std::string text = testkit::ReadText(dir.path() / "p.qmvk");
  const std::string expected =
      "\t<Images>\n\t\t<TImageObj>\n\t\t\t<ID>1</ID>\n\t\t\t<SrcFile />\n\t\t\t<ThumbFile />\n"
      "\t\t\t<EditFile />\n\t\t\t<OutFile />\n\t\t\t<Description />\n\t\t\t<URL />\n"
      "\t\t\t<URLType>st_new</URLType>\n\t\t\t<ISEdit>False</ISEdit>\n"
      "\t\t\t<Caption>A &amp; B</Caption>\n\t\t\t<ModifyTime>45000.5</ModifyTime>\n"
      "\t\t\t<CreateTime>0</CreateTime>\n\t\t\t<FileSize>-1</FileSize>\n\t\t\t<MD5O>0</MD5O>\n"
      "\t\t\t<CRTS>0</CRTS>\n\t\t</TImageObj>\n\t</Images>\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
}

TEST_F(ProjectFile, SavedAndLoadedBackIsIdentical) {
  FillProject(project);
  const fs::path file = dir.path() / "d\xc3\xa9j\xc3\xa0 vu" / "nested" / "gallery.qmvk";
  project.SaveAs(file);

  TProjItem loaded;
  int notifications = 0;
  loaded.OnChange = [&](TProjObj&) { ++notifications; };
  loaded.LoadFromFile(file);
  EXPECT_EQ(notifications, 0) << "loading does not notify";
  EXPECT_FALSE(loaded.Changed());
  EXPECT_EQ(loaded.FileName(), file);
  ExpectSameProject(project, loaded);

  // Writing what was read gives the same bytes again.
  loaded.SaveAs(dir.path() / "again.qmvk");
  EXPECT_EQ(testkit::ReadText(dir.path() / "again.qmvk"), testkit::ReadText(file));
}

TEST_F(ProjectFile, LoadingIsLenientAboutNamesCaseAndDecimalCommas) {
  WriteFile(
      dir.path() / "hand.qmvk",
      "<?xml version=\"1.0\"?>\n<tavio version=\"2.0.0.0\"><IMAGES>"
      "<Photo><caption>one</caption><urltype>ST_CURRENT</urltype><Unknown>x</Unknown></Photo>"
      "<whatever><ID>12abc</ID><ModifyTime>45000,25</ModifyTime><FileSize>99</FileSize></whatever>"
      "<!-- a comment is not a photo --></IMAGES>"
      "<template><autodelay> 8 </autodelay><usefill>true</usefill><MD5O>-1</MD5O></template>"
      "<Seting><Width>1.5</Width><ImgQuality>80</ImgQuality></Seting></tavio>");
  project.Template().SetAutoDelay(5);
  project.Template().SetBgColor(77);
  project.LoadFromFile(dir.path() / "hand.qmvk");

  EXPECT_EQ(project.ProjVersion(), "2.0.0.0");
  ASSERT_EQ(project.Images().Count(), 2);
  EXPECT_EQ(project.Images()[0].Caption(), "one");
  EXPECT_EQ(project.Images()[0].URLType(), TWindowType::st_current);
  EXPECT_EQ(project.Images()[1].ID(), 0) << "a number that does not parse becomes 0";
  EXPECT_DOUBLE_EQ(project.Images()[1].ModifyTime(), 45000.25);
  EXPECT_EQ(project.Images()[1].FileSize(), 99);
  EXPECT_EQ(project.Template().AutoDelay(), 8);
  EXPECT_TRUE(project.Template().UseFill());
  EXPECT_EQ(project.Template().MD5O(), 0u);
  EXPECT_EQ(project.Template().BgColor(), 77) << "absent elements keep their values";
  EXPECT_EQ(project.Seting().Width(), 0);
  EXPECT_EQ(project.Seting().ImgQuality(), 80);
}

TEST_F(ProjectFile, BadFilesGiveClearErrorsAndLeaveTheProjectAlone) {
  FillProject(project);
  const fs::path good = dir.path() / "good.qmvk";
  project.SaveAs(good);
  const std::string full = testkit::ReadText(good);
  WriteFile(dir.path() / "truncated.qmvk", full.substr(0, full.size() / 2));
  WriteFile(dir.path() / "binary.qmvk", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
  WriteFile(dir.path() / "empty.qmvk", "");

  const struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"missing.qmvk", "Cannot open project file"},
      {"truncated.qmvk", "is not valid XML"},
      {"binary.qmvk", "is not valid XML"},
      {"empty.qmvk", "is not valid XML"},
  };
  for (const auto& c : cases) {
    TProjItem target;
    FillProject(target);
    target.SaveAs(dir.path() / "target.qmvk");
    try {
      target.LoadFromFile(dir.path() / c.name);
      ADD_FAILURE() << c.name << " loaded";
    } catch (const GalleriaError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    ExpectSameProject(project, target);
    EXPECT_EQ(target.FileName(), dir.path() / "target.qmvk");
  }
}

TEST_F(ProjectFile, HugeNonXmlFileFailsCleanly) {
  const fs::path file = dir.path() / "huge.qmvk";
  {
    std::ofstream out(file, std::ios::binary);
    const std::string block(1 << 20, 'z');
    for (int i = 0; i < 100; ++i) out << block;
  }
  EXPECT_THROW(project.LoadFromFile(file), GalleriaError);
  EXPECT_TRUE(project.FileName().empty());
}

TEST_F(ProjectFile, WrongRootLoadsNothingButIsRemembered) {
  FillProject(project);
  project.SetChanged(true);
  WriteFile(dir.path() / "other.xml", "<Other version=\"9\"><Images><TImageObj/></Images></Other>");
  project.LoadFromFile(dir.path() / "other.xml");
  EXPECT_EQ(project.Images().Count(), 2);
  EXPECT_EQ(project.FileName(), dir.path() / "other.xml");
  EXPECT_EQ(project.ProjVersion(), "9");
  EXPECT_FALSE(project.Changed());
}

TEST_F(ProjectFile, InvalidEnumerationStopsLoadingWithItsText) {
  WriteFile(dir.path() / "bad.qmvk",
            "<Tavio><Template><AutoDelay>3</AutoDelay><UseLight>maybe</UseLight>"
            "<AutoLoop>True</AutoLoop></Template></Tavio>");
  try {
    project.LoadFromFile(dir.path() / "bad.qmvk");
    FAIL() << "loaded";
  } catch (const GalleriaError& e) {
    EXPECT_STREQ(e.what(), "Invalid property element: maybe");
  }
  EXPECT_EQ(project.Template().AutoDelay(), 3) << "values read before it keep their new values";
  EXPECT_FALSE(project.Template().AutoLoop());
  EXPECT_TRUE(project.FileName().empty());

  project.Template().SetAutoDelay(4);
  EXPECT_TRUE(project.Changed()) << "a failed load leaves the model notifying again";
}

TEST_F(ProjectFile, SaveNeverLosesThePreviousFile) {
  EXPECT_NO_THROW(project.Save()) << "a project never saved has nowhere to go";
  EXPECT_TRUE(fs::is_empty(dir.path()));

  FillProject(project);
  const fs::path file = dir.path() / "keep.qmvk";
  project.SaveAs(file);
  const std::string before = testkit::ReadText(file);
  project.Images()[0].SetCaption("newer");
  project.Save();
  EXPECT_NE(testkit::ReadText(file).find("newer"), std::string::npos);

  // A target that cannot be replaced: the error reaches the caller and nothing is left behind.
  const fs::path blocked = dir.path() / "blocked.qmvk";
  fs::create_directories(blocked / "inside");
  EXPECT_THROW(project.SaveAs(blocked), GalleriaError);
  EXPECT_TRUE(fs::is_directory(blocked / "inside"));
  EXPECT_EQ(project.FileName(), file);
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().string().find(".saving-"), std::string::npos) << entry.path();

  const fs::path underFile = file / "child.qmvk";
  EXPECT_THROW(project.SaveAs(underFile), GalleriaError);
}
