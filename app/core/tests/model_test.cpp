#include <gtest/gtest.h>

#include <vector>

#include "galleria/model/gallery.h"

using namespace galleria;

namespace {

struct Project : ::testing::Test {
  // A project with two photos and one clip, all marked unchanged.
  Project() {
    project.Images().Add().SetCaption("first");
    project.Images().Add().SetCaption("second");
    project.Audios().Add().SetFileName("/music/a.mp3");
    ResetChanged();
  }
  void ResetChanged() {
    project.SetChanged(false);
    project.Images().SetChanged(false);
    project.Audios().SetChanged(false);
    project.Template().SetChanged(false);
    project.Seting().SetChanged(false);
    for (int i = 0; i < project.Images().Count(); ++i) project.Images()[i].SetChanged(false);
  }
  TProjItem project;
};

}  // namespace

TEST_F(Project, ChangesClimbFromPhotoToProjectInOrder) {
  std::vector<std::string> order;
  TImageObj& photo = project.Images()[1];
  photo.OnChange = [&](TProjObj& sender) {
    EXPECT_EQ(&sender, &photo);
    EXPECT_FALSE(project.Images().Changed()) << "the object's own event comes before its owner";
    order.push_back("photo");
  };
  project.OnChange = [&](TProjObj&) { order.push_back("project"); };

  photo.SetCaption("renamed");
  EXPECT_TRUE(photo.Changed());
  EXPECT_TRUE(project.Images().Changed());
  EXPECT_TRUE(project.Changed());
  EXPECT_FALSE(project.Images()[0].Changed());
  EXPECT_EQ(order, (std::vector<std::string>{"photo", "project"}));
}

TEST_F(Project, EqualValuesAndQuietSettersLeaveChangedAlone) {
  project.Images()[0].SetCaption("first");
  project.Template().SetShowModel("SHOWALL");
  TSeting& s = project.Seting();
  s.SetUseMusic(true);
  s.SetEndURL("http://example.org");
  s.SetOutPut("/out");
  s.SetOutType(TOutType::st_43);
  s.SetFrameRate(25);
  s.SetImgHeight(1200);
  s.SetImgQuality(80);
  EXPECT_FALSE(project.Changed());
  EXPECT_EQ(s.ImgHeight(), 1200) << "quiet setters still store";
  EXPECT_EQ(project.Template().ShowModel(), "SHOWALL");

  s.SetImgWidth(1600);
  EXPECT_TRUE(project.Changed());
}

TEST_F(Project, IgnoreChangeStopsPropagationWhereItIsSet) {
  project.SetIgnoreChange(true);
  project.Template().SetAutoDelay(9);
  EXPECT_TRUE(project.Template().Changed());
  EXPECT_FALSE(project.Changed());

  project.SetIgnoreChange(false);
  project.Images().SetIgnoreChange(true);
  project.Images()[0].SetURL("http://a");
  EXPECT_TRUE(project.Images()[0].Changed());
  EXPECT_FALSE(project.Images().Changed());
  EXPECT_FALSE(project.Changed());
}

TEST_F(Project, ListEditsNotifyAndOwnTheirItems) {
  TImageObjList& images = project.Images();
  const TImageObj stranger;
  EXPECT_EQ(images.Remove(&stranger), -1);
  EXPECT_FALSE(project.Changed()) << "removing a stranger changes nothing";
  EXPECT_EQ(images.Count(), 2);

  std::unique_ptr<TProjObj> kept = images.DeleteNoFree(0);
  EXPECT_EQ(static_cast<TImageObj&>(*kept).Caption(), "first");
  EXPECT_EQ(images.Count(), 1);
  EXPECT_TRUE(project.Changed());

  ResetChanged();
  const int index = images.Add(std::move(kept));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(images[1].Owner(), &images);
  EXPECT_TRUE(project.Changed()) << "an added item notifies through its new owner";

  images.Move(1, 0);
  EXPECT_EQ(images[0].Caption(), "first");
  images.Exchange(0, 1);
  EXPECT_EQ(images[0].Caption(), "second");
  EXPECT_EQ(images.First(), &images[0]);
  EXPECT_EQ(images.Last(), &images[1]);
  EXPECT_EQ(images.Remove(&images[0]), 0);
  EXPECT_EQ(images[0].Caption(), "first");
  EXPECT_THROW(images.Delete(5), std::out_of_range);
  images.Clear();
  EXPECT_EQ(images.Count(), 0);
  EXPECT_EQ(images.First(), nullptr);
}

TEST_F(Project, AssignCopiesDeeplyAndIndependently) {
  project.Images()[0].SetURLType(TWindowType::st_current);
  project.Images()[0].SetMD5O(1234567890123);
  project.Template().SetDragType(TDragType::st_Influence);
  project.Template().SetShowModel("SHOWALL");
  project.Seting().SetOutPut("/published");
  project.ExportFile = "/out/movie.swf";
  project.ExportType = PUBLISH_TYPE::ET_HTML;

  TProjItem copy;
  copy.Assign(project);
  ASSERT_EQ(copy.Images().Count(), 2);
  EXPECT_NE(&copy.Images()[0], &project.Images()[0]);
  EXPECT_EQ(copy.Images()[0].Owner(), &copy.Images());
  EXPECT_EQ(copy.Images()[0].URLType(), TWindowType::st_current);
  EXPECT_EQ(copy.Images()[0].MD5O(), 1234567890123);
  EXPECT_EQ(copy.Images()[1].Caption(), "second");
  EXPECT_EQ(copy.Audios()[0].FileName(), "/music/a.mp3");
  EXPECT_EQ(copy.Template().DragType(), TDragType::st_Influence);
  EXPECT_EQ(copy.Template().ShowModel(), "SHOWALL");
  EXPECT_EQ(copy.Seting().OutPut(), "/published");
  EXPECT_EQ(copy.ExportFile, "/out/movie.swf");
  EXPECT_EQ(copy.ExportType, PUBLISH_TYPE::ET_HTML);
  EXPECT_TRUE(copy.Changed());

  copy.Images()[0].SetCaption("changed in the copy");
  EXPECT_EQ(project.Images()[0].Caption(), "first");

  TAudio clip;
  EXPECT_THROW(clip.Assign(project.Images()[0]), std::invalid_argument);
}

TEST_F(Project, OwnerProjectIsFoundUpTheChain) {
  EXPECT_EQ(project.Images()[0].GetOwnerProj(), &project);
  EXPECT_EQ(project.Images().GetOwnerProj(), &project);
  EXPECT_EQ(project.Template().GetOwnerProj(), &project);
  EXPECT_EQ(project.GetOwnerProj(), nullptr);
  const TImageObj loose;
  EXPECT_EQ(loose.GetOwnerProj(), nullptr);
  TImageObjList looseList;
  looseList.Add();
  EXPECT_EQ(looseList[0].GetOwnerProj(), nullptr);
}

TEST(ProjectDefaults, NewProjectSettings) {
  TProjItem project;
  ApplyNewProjectDefaults(project);
  EXPECT_EQ(project.Seting().Width(), 960);
  EXPECT_EQ(project.Seting().Height(), 540);
  EXPECT_EQ(project.Seting().ImgQuality(), 85);
  EXPECT_TRUE(project.Seting().MusicLoop());
  EXPECT_TRUE(project.Template().UseLight());
  EXPECT_EQ(project.Template().AutoDelay(), 5);
  EXPECT_EQ(project.Template().TemplateType(), "st_3d_Cool");
  EXPECT_EQ(project.Template().DragType(), TDragType::st_Drag);
  EXPECT_EQ(project.Seting().OutType(), TOutType::st_169);
}

TEST(Enumerations, NamesRoundTripAndMatchWithoutCase) {
  EXPECT_EQ(EnumName(PUBLISH_TYPE::ET_PREVIEW), "ET_PREVIEW");
  EXPECT_EQ(EnumName(TOutType::st_Custom), "st_Custom");
  EXPECT_EQ(EnumFromName<TDragType>("ST_INFLUENCE"), TDragType::st_Influence);
  EXPECT_EQ(EnumFromName<TWindowType>("st_current"), TWindowType::st_current);
  EXPECT_EQ(EnumFromName<bool>("true"), true);
  EXPECT_EQ(EnumFromName<TOutType>("st_11"), std::nullopt);
}
