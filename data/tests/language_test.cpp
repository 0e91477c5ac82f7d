// The shipped English language file: it must parse, be the document the program looks for, and
// hold one text for every id the program looks up.

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace {

const std::filesystem::path kLanguageFile =
    std::filesystem::path(GALLERIA_APP_DIR) / "language" / "language.xml";

// Texts that appear on the controls before texts are applied; the file must repeat them exactly,
// blanks included.
const std::map<std::string, std::string> kFixedTexts = {
    {"frm_main_unit", "photos added"},
    {"frm_main_untitle", "Untitle*"},
    {"fl_file", "File"},
    {"fl_help", "Help"},
    {"fl_new", "New"},
    {"fl_open", "Open"},
    {"fl_save", "Save"},
    {"fl_saveas", "Save As"},
    {"fl_exit", "Exit"},
    {"fl_tech", "Tech Support"},
    {"fl_about", "About"},
    {"fl_addphoto", "Add Photo"},
    {"fl_editphoto", "Edit Photo"},
    {"fl_delphoto", "Delete Photo"},
    {"fl_addcaption", "Add Caption"},
    {"fl_arrange", "Arrang By"},
    {"fl_name", "Name"},
    {"fl_size", "Size"},
    {"fl_date", "Date Modified"},
    {"frm_about_title", "About"},
    {"frm_addmusic_title", "Add Music"},
    {"frm_addmusic_remove", " Remove Music"},
    {"frm_addmusic_moveup", "Move Up"},
    {"frm_addmusic_movedown", "Move Down"},
    {"frm_addmusic_play", "Play"},
    {"frm_addmusic_pause", "Pause"},
    {"frm_addmusic_stop", "Stop"},
    {"frm_addmusic_reset", "Reset"},
    {"frm_addmusic_fadein", "Fade In"},
    {"frm_addmusic_fadeout", "Fade Out"},
    {"frm_addmusic_loop", "Loop background music automatically"},
    {"frm_addmusic_musicfile", "Music File"},
    {"frm_addmusic_begin", "Begin time"},
    {"frm_addmusic_end", "End time"},
    {"frm_publish_title", "Publishing"},
    {"frm_publishset_title", "Publish Settings"},
    {"frm_publishset_output", " Output Options "},
    {"frm_publishset_size", "Size:"},
    {"frm_publishset_width", "Width:"},
    {"frm_publishset_height", "Height:"},
    {"frm_publishset_image", "Image Quality :"},
    {"frm_publishset_path", "Output Path:"},
    {"frm_publishset_file", "File Name:"},
    {"frm_publishset_custom", "Custom"},
    {"frm_addcaption_caption", "Add Caption"},
    {"frm_addcaption_title", "Title:"},
    {"frm_addcaption_des", "Description:"},
    {"frm_addcaption_specify", "Specify a URL to open when click on the caption"},
    {"frm_addcaption_apply", "Apply this URL to all photos"},
    {"frm_template_setting", "Template Settings"},
    {"frm_template_background", " Background "},
    {"frm_template_bkcolor", "Background Color"},
    {"frm_template_bkimage", "Background Image"},
    {"frm_template_thumb", " Thumbnail Effect "},
    {"frm_template_add", " Add Border"},
    {"frm_template_use", "Use Spotlight "},
    {"frm_template_fill", "Fill Background"},
    {"frm_template_scr", "  Scrolling Action "},
    {"frm_template_mouse", "Mouse Drag"},
    {"frm_template_cur", "Cursor Auto-sensing"},
    {"frm_template_auto", "Auto-scroll"},
    {"frm_template_play", " Playback Option "},
    {"frm_template_autoplay", "Play Automatically"},
    {"frm_template_loop", "Loop Forever"},
    {"frm_template_full", "Full Screen"},
    {"frm_template_photo", "Photo Transition Delay Time"},
};

// Ids whose texts are ours: messages, composed labels and the About box's notice line.
const std::set<std::string> kWrittenTexts = {
    "frm_about_legal",    "frm_msg_some",          "frm_flash_ver",
    "frm_addmusic_total", "frm_publish_editmusic", "frm_publish_edit",
    "frm_publish_create", "msg_thereis",           "msg_issave",
    "msg_invalid_file",   "msg_projectexists",     "msg_max_photo",
    "msg_the_follow",     "msg_the_following",     "msg_the_folder",
    "msg_the_output",     "msg_click_here",        "msg_click_learn",
    "msg_publishsuccess", "msg_failed_swf",        "msg_run_is_failed",
};

class LanguageFile : public testing::Test {
 protected:
  void SetUp() override {
    const pugi::xml_parse_result parsed = doc_.load_file(kLanguageFile.c_str());
    ASSERT_TRUE(parsed) << kLanguageFile << ": " << parsed.description();
    root_ = doc_.document_element();
  }
  pugi::xml_document doc_;
  pugi::xml_node root_;
};

TEST_F(LanguageFile, IsAnEnglishLanguageDocument) {
  EXPECT_STREQ(root_.name(), "language");
  EXPECT_STREQ(root_.attribute("name").value(), "english");
}

TEST_F(LanguageFile, HoldsEveryIdExactlyOnceAndNothingElse) {
  std::map<std::string, int> seen;
  for (pugi::xml_node n : root_.children()) {
    ASSERT_EQ(n.type(), pugi::node_element) << "stray content in the language element";
    ++seen[n.name()];
  }
  for (const auto& [id, count] : seen) {
    EXPECT_EQ(count, 1) << id << " appears " << count << " times";
    EXPECT_TRUE(kFixedTexts.count(id) || kWrittenTexts.count(id)) << "unknown id " << id;
  }
  for (const auto& [id, text] : kFixedTexts) EXPECT_EQ(seen[id], 1) << "missing " << id;
  for (const std::string& id : kWrittenTexts) EXPECT_EQ(seen[id], 1) << "missing " << id;
}

TEST_F(LanguageFile, FixedTextsAreExactAndWrittenOnesAreNotEmpty) {
  for (const auto& [id, text] : kFixedTexts)
    EXPECT_EQ(root_.child(id.c_str()).text().get(), text) << id;
  for (const std::string& id : kWrittenTexts)
    EXPECT_STRNE(root_.child(id.c_str()).text().get(), "") << id;
  // Appended straight after a command line, so it must not glue onto the last word.
  EXPECT_EQ(std::string(root_.child("msg_run_is_failed").text().get()).front(), ' ');
}

}  // namespace
