#include "galleria/publish/output_copy_cache.h"

#include <pugixml.hpp>

#include <algorithm>
#include <system_error>

#include "galleria/app_folder.h"

namespace fs = std::filesystem;

namespace galleria::publish {
namespace {

struct Stamp {
  long long size = -1, time = 0;
};

Stamp StampOf(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec) return {};
  const auto time = fs::last_write_time(file, ec);
  if (ec) return {};
  return {static_cast<long long>(size), static_cast<long long>(time.time_since_epoch().count())};
}

}  // namespace

OutputCopyCache::OutputCopyCache() : file_(TempImgFolder() / "OutputCopies.xml") {
  pugi::xml_document document;
  if (!document.load_file(file_.c_str())) return;
  for (pugi::xml_node copy : document.document_element().children("Copy"))
    entries_.push_back({copy.attribute("source").value(), copy.attribute("file").value(),
                        copy.attribute("width").as_int(), copy.attribute("height").as_int(),
                        copy.attribute("size").as_llong(), copy.attribute("time").as_llong()});
}

std::optional<fs::path> OutputCopyCache::Find(const fs::path& source, int width, int height) const {
  const Stamp stamp = StampOf(source);
  for (const Entry& e : entries_) {
    if (e.source != source || e.width != width || e.height != height) continue;
    std::error_code ec;
    if (e.size == stamp.size && e.time == stamp.time && fs::is_regular_file(e.copy, ec))
      return e.copy;
  }
  return std::nullopt;
}

void OutputCopyCache::Remember(const fs::path& source, int width, int height,
                               const fs::path& copy) {
  std::erase_if(entries_, [&](const Entry& e) {
    return e.source == source && e.width == width && e.height == height;
  });
  const Stamp stamp = StampOf(source);
  entries_.push_back({source, copy, width, height, stamp.size, stamp.time});
}

void OutputCopyCache::Save() const {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("OutputCopies");
  for (const Entry& e : entries_) {
    pugi::xml_node copy = root.append_child("Copy");
    copy.append_attribute("source") = e.source.c_str();
    copy.append_attribute("file") = e.copy.c_str();
    copy.append_attribute("width") = e.width;
    copy.append_attribute("height") = e.height;
    copy.append_attribute("size") = e.size;
    copy.append_attribute("time") = e.time;
  }
  document.save_file(file_.c_str());
}

}  // namespace galleria::publish
