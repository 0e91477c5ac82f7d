// Packs the template movies into the template store and writes its catalogue:
//   galleria_template_store <application folder> <id>|<type>|<options>|<movie.swf> ...
// <options> is a comma list of the options the template offers (mousedrag, autocursor,
// autoscroll, usespotlight). The store is a run of pieces, each a big-endian length and the
// movie, written by the same container writer that publishing uses, so the two agree on the
// layout by construction; the catalogue gives each piece's offset and size plus 515.

#include <pugixml.hpp>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "galleria/publish/write_file.h"

namespace fs = std::filesystem;

namespace {

// The catalogue stores every offset and size of the template store with this bias.
constexpr std::uint64_t kCatalogueBias = 515;
constexpr const char* kOptions[] = {"mousedrag", "autocursor", "autoscroll", "usespotlight"};

struct Template {
  std::string Id, Type;
  std::set<std::string> Options;
  fs::path Movie;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

Template Parse(const std::string& argument) {
  const std::vector<std::string> fields = Split(argument, '|');
  if (fields.size() != 4 || fields[0].empty() || fields[1].empty() || fields[3].empty())
    throw std::runtime_error("expected <id>|<type>|<options>|<movie>, got: " + argument);
  Template t{fields[0], fields[1], {}, fields[3]};
  for (const std::string& option : Split(fields[2], ',')) {
    if (option.empty()) continue;
    bool known = false;
    for (const char* name : kOptions) known |= option == name;
    if (!known) throw std::runtime_error("unknown template option: " + option);
    t.Options.insert(option);
  }
  return t;
}

void CheckMovie(const fs::path& movie) {
  std::ifstream in(movie, std::ios::binary);
  char head[3] = {};
  if (!in.read(head, 3) ||
      !((head[0] == 'F' || head[0] == 'C') && head[1] == 'W' && head[2] == 'S'))
    throw std::runtime_error("not a movie: " + movie.string());
}

void Write(const fs::path& appDir, const std::vector<Template>& templates) {
  const fs::path store = appDir / "libavcodec-52.dll";
  const fs::path catalogueFile = appDir / "Res" / "TemplateXML.xml";
  // Both files are written under temporary names and renamed at the end, so an interrupted build
  // never leaves a store that disagrees with its catalogue.
  const fs::path empty = store.string() + ".base";
  const fs::path storePart = store.string() + ".part";
  const fs::path cataloguePart = catalogueFile.string() + ".part";
  fs::create_directories(appDir / "Res");
  std::ofstream(empty, std::ios::binary | std::ios::trunc).close();

  pugi::xml_document catalogue;
  auto declaration = catalogue.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  auto list = catalogue.append_child("ProjName").append_child("Templates");

  galleria::publish::TWriteFile writer(empty, storePart);
  std::set<std::string> ids;
  for (const Template& t : templates) {
    if (!ids.insert(t.Id).second) throw std::runtime_error("template id repeated: " + t.Id);
    CheckMovie(t.Movie);
    const galleria::publish::TFileInfo piece = writer.WriteFileData(t.Movie);
    auto entry = list.append_child("Template");
    const auto field = [&entry](const char* name, const std::string& text) {
      entry.append_child(name).text().set(text.c_str());
    };
    field("TemplateID", t.Id);
    field("TemplateType", t.Type);
    field("MD5O", std::to_string(piece.szOffset + kCatalogueBias));
    field("CRTS", std::to_string(piece.szSize + kCatalogueBias));
    for (const char* option : kOptions) field(option, t.Options.count(option) ? "True" : "False");
  }
  writer.Close();
  fs::remove(empty);
  if (!catalogue.save_file(cataloguePart.c_str(), "  ", pugi::format_default, pugi::encoding_utf8))
    throw std::runtime_error("cannot write " + cataloguePart.string());
  fs::rename(storePart, store);
  fs::rename(cataloguePart, catalogueFile);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <application folder> <id>|<type>|<options>|<movie> ...\n",
                 argv[0]);
    return 2;
  }
  try {
    std::vector<Template> templates;
    for (int i = 2; i < argc; ++i) templates.push_back(Parse(argv[i]));
    Write(argv[1], templates);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
