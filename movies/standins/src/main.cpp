// Writes the stand-in movies, the template store and its catalogue into an application folder:
//   galleria_standins <application folder>

#include <pugixml.hpp>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin_movie.h"

namespace fs = std::filesystem;
using galleria::standins::BuildMovie;
using galleria::standins::StandinMovie;

namespace {

// The catalogue stores every offset and size of the template store with this bias.
constexpr std::uint64_t kCatalogueBias = 515;

struct Template {
  int Id;
  StandinMovie Movie;  // its name is the template type word
  bool MouseDrag, AutoCursor, AutoScroll, Spotlight;
};

// Template 0 is the one a new project starts with; the others differ in the options they offer
// so that the settings dialog has something to enable and disable.
std::vector<Template> Templates() {
  return {
      {0,
       {"st_3d_Cool", 960, 540, {0x12, 0x2A, 0x4A}, {0x4F, 0x9D, 0xE8}, true},
       true,
       true,
       true,
       true},
      {1,
       {"st_3d_Wall", 960, 540, {0x14, 0x3A, 0x24}, {0x5C, 0xC8, 0x7A}, false},
       true,
       true,
       false,
       true},
      {2,
       {"st_2d_Strip", 960, 540, {0x4A, 0x16, 0x16}, {0xE8, 0x6A, 0x5A}, true},
       true,
       false,
       true,
       false},
  };
}

// Written under a temporary name and renamed, so an interrupted build never leaves a short file
// under the real name.
void WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  const fs::path part = file.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("Cannot write " + part.string());
  }
  fs::rename(part, file);
}

void AppendBigEndian32(std::string& out, std::uint64_t value) {
  if (value > 0xFFFFFFFFu) throw std::runtime_error("Template movie too large for the store");
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

const char* Flag(bool supported) {
  return supported ? "True" : "False";
}

void WriteStoreAndCatalogue(const fs::path& appDir) {
  std::string store;
  pugi::xml_document catalogue;
  auto declaration = catalogue.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  auto list = catalogue.append_child("ProjName").append_child("Templates");

  for (const Template& t : Templates()) {
    const std::string movie = BuildMovie(t.Movie);
    const std::uint64_t offset = store.size();
    AppendBigEndian32(store, movie.size());
    store += movie;

    auto entry = list.append_child("Template");
    const auto field = [&entry](const char* name, const std::string& text) {
      entry.append_child(name).text().set(text.c_str());
    };
    field("TemplateID", std::to_string(t.Id));
    field("TemplateType", t.Movie.Name);
    field("MD5O", std::to_string(offset + kCatalogueBias));
    field("CRTS", std::to_string(movie.size() + kCatalogueBias));
    field("mousedrag", Flag(t.MouseDrag));
    field("autocursor", Flag(t.AutoCursor));
    field("autoscroll", Flag(t.AutoScroll));
    field("usespotlight", Flag(t.Spotlight));
  }

  std::ostringstream xml;
  catalogue.save(xml, "  ", pugi::format_default, pugi::encoding_utf8);
  WriteFile(appDir / "libavcodec-52.dll", store);
  WriteFile(appDir / "Res" / "TemplateXML.xml", xml.str());
}

void WriteStandins(const fs::path& appDir) {
  // The head of every data block; nothing plays it, so it stays small.
  WriteFile(appDir / "Res" / "BaseFlash.swf",
            BuildMovie({"BaseFlash", 320, 240, {0x20, 0x20, 0x20}, {0x80, 0x80, 0x80}, false}));
  // The player movie whose stage every publish rewrites.
  WriteFile(appDir / "libavformat-52.dll",
            BuildMovie({"BasePlayer", 960, 540, {0x00, 0x00, 0x33}, {0xF0, 0xC0, 0x30}, true}));
  // The preview shell fills the main window's preview panel.
  WriteFile(appDir / "libavcodec.dll",
            BuildMovie({"PreviewShell", 979, 615, {0x30, 0x30, 0x30}, {0xB0, 0x50, 0xD0}, true}));
  WriteStoreAndCatalogue(appDir);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <application folder>\n", argv[0]);
    return 2;
  }
  try {
    WriteStandins(argv[1]);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
