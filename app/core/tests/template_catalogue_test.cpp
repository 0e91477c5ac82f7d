#include "galleria/template_catalogue.h"

#include <gtest/gtest.h>

#include <fstream>

#include "scratch_folder.h"

using namespace galleria;

TEST(TemplateCatalogue, EntriesLookupsAndTheBias) {
  ScratchFolder dir;
  const auto file = dir.path() / "TemplateXML.xml";
  EXPECT_FALSE(TemplateCatalogue(file).SpanOf(1).has_value()) << "no catalogue, no span";

  std::ofstream(file)
      << "<ProjName><Templates>"
         "<T1><TemplateID>7</TemplateID><TemplateType>st_3d_Cool</TemplateType>"
         "<MD5O>515</MD5O><CRTS>1515</CRTS><mousedrag>TRUE</mousedrag>"
         "<autoscroll>yes</autoscroll></T1>"
         "<Other><TemplateID>9</TemplateID><TemplateType>st_wall</TemplateType>"
         "<MD5O>1519</MD5O><CRTS>2515</CRTS><usespotlight>true</usespotlight></Other>"
         "<Dup><TemplateID>7</TemplateID><TemplateType>second</TemplateType></Dup>"
         "</Templates></ProjName>";
  const TemplateCatalogue catalogue(file);
  ASSERT_EQ(catalogue.Entries().size(), 3u);
  EXPECT_EQ(catalogue.TemplateTypeOf(7), "st_3d_Cool") << "the first entry of an id wins";
  EXPECT_EQ(catalogue.TemplateTypeOf(8), "");
  const auto span = catalogue.SpanOf(9);
  ASSERT_TRUE(span);
  EXPECT_EQ(span->offset, 1004u);
  EXPECT_EQ(span->size, 2000u);
  const auto unknown = catalogue.SpanOf(42);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->offset, 0u - 515u);
  EXPECT_EQ(catalogue.IndexOfType("st_wall"), 1u);

  TProjItem project;
  ChooseTemplate(project, catalogue, 0);
  EXPECT_EQ(project.Template().TemplateID(), 7);
  EXPECT_EQ(project.Template().SelectOffset(), 0u);
  EXPECT_EQ(project.Template().SelectSize(), 1000u);
  EXPECT_TRUE(project.Template().mousedrag());
  EXPECT_FALSE(project.Template().autoscroll()) << "only \"True\" means supported";
  EXPECT_FALSE(project.Template().usespotlight());
}
