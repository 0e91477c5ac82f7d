#include "galleria/language.h"

#include <gtest/gtest.h>

#include <fstream>

#include "scratch_folder.h"

using namespace galleria;

TEST(Language, LooksTextsUpByIdAndFallsBackWhenMissing) {
  ScratchFolder dir;
  EXPECT_FALSE(LoadLanguage(dir.path() / "missing.xml"));
  EXPECT_EQ(LanguageName(), "english");
  EXPECT_EQ(LookupText("fl_new"), "");

  std::ofstream(dir.path() / "other.xml") << "<words><fl_new>New</fl_new></words>";
  EXPECT_FALSE(LoadLanguage(dir.path() / "other.xml")) << "no language element";
  EXPECT_EQ(LookupText("fl_new", "fallback"), "fallback");

  std::ofstream(dir.path() / "language.xml")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language name=\"fran\xc3\xa7"
         "ais\">"
      << "<fl_new>Nouveau</fl_new><fl_new>second</fl_new><frm_main_unit>photos ajout\xc3\xa9"
         "es</frm_main_unit>"
      << "</language>";
  ASSERT_TRUE(LoadLanguage(dir.path() / "language.xml"));
  EXPECT_EQ(LanguageName(),
            "fran\xc3\xa7"
            "ais");
  EXPECT_EQ(LookupText("fl_new"), "Nouveau") << "only the first element of an id counts";
  EXPECT_EQ(LookupText("frm_main_unit"),
            "photos ajout\xc3\xa9"
            "es");
  EXPECT_EQ(LookupText("fl_missing", "x"), "x");
  ReleaseLanguage();
  EXPECT_EQ(LookupText("fl_new"), "");
}
