#include "galleria/model/base_proj.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "ascii.h"
#include "galleria/error.h"
#include "galleria/utilities.h"

namespace fs = std::filesystem;

namespace galleria {
namespace {

[[noreturn]] void Fail(const std::string& what, const fs::path& file, int error) {
  throw GalleriaError(what + " " + file.string() + ": " + std::strerror(error));
}

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
  std::string text;
};

// The new contents go to a temporary file beside the target, which then replaces the target in
// one rename: a save that dies half-way leaves the previous file whole.
void WriteReplacing(const fs::path& file, const std::string& contents) {
  std::random_device random;
  const fs::path temporary =
      fs::path(file).concat(".saving-" + std::to_string(random() & 0xFFFFFF));
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) Fail("Cannot write project file", file, errno);
  size_t written = 0;
  while (written < contents.size()) {
    const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      close(fd);
      unlink(temporary.c_str());
      Fail("Cannot write project file", file, error);
    }
    written += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0 || rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    Fail("Cannot write project file", file, error);
  }
}

std::string ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail("Cannot open project file", file, errno ? errno : ENOENT);
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) Fail("Cannot read project file", file, errno ? errno : EIO);
  return std::move(contents).str();
}

}  // namespace

void TBaseProj::SaveAs(const fs::path& file) {
  std::error_code ec;
  if (file.has_parent_path() && !fs::is_directory(file.parent_path())) {
    fs::create_directories(file.parent_path(), ec);
    if (ec) Fail("Cannot create folder", file.parent_path(), ec.value());
  }
  DoSaveAs(file);
  fileName_ = file;
  AfterSave();
}

void TBaseProj::Save() {
  if (!fileName_.empty()) SaveAs(fileName_);
}

void TBaseProj::LoadFromFile(const fs::path& file) {
  DoLoadFromFile(file);
  fileName_ = file;
  SetChanged(false);
  AfterLoad();
}

void TBaseProj::DoSaveAs(const fs::path& file) {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  const std::string version = ApplicationVersion();
  pugi::xml_node root = document.append_child(ProjName.c_str());
  root.append_attribute("version") = version.c_str();
  SaveToNode(root);

  StringWriter writer;
  document.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
  WriteReplacing(file, writer.text);
  projVersion_ = version;
}

void TBaseProj::DoLoadFromFile(const fs::path& file) {
  std::string contents = ReadWhole(file);
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer_inplace(
      contents.data(), contents.size(), pugi::parse_default | pugi::parse_ws_pcdata_single,
      pugi::encoding_auto);
  if (!parsed)
    throw GalleriaError("Project file " + file.string() + " is not valid XML: " +
                        parsed.description() + " at offset " + std::to_string(parsed.offset));
  const pugi::xml_node root = document.document_element();
  projVersion_ = root.attribute("version").value();
  if (EqualIgnoringCase(root.name(), ProjName)) LoadFromNode(root);
}

void TBaseProj::Assign(const TProjObj& source) {
  TProjObj::Assign(source);
  fileName_ = static_cast<const TBaseProj&>(source).fileName_;
}

}  // namespace galleria
