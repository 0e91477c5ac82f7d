#include "picwork/edit_data.h"

#include <bit>
#include <cstring>

#include <corekit/memory_stream.h>

namespace picwork {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the block's fields are copied as they lie in memory");

constexpr char16_t kDataTag[] = u"Image Data";
constexpr char16_t kTextTag[] = u"Image Text";
constexpr std::int32_t kTagBytes = sizeof kDataTag;  // 11 characters with the zero
static_assert(kTagBytes == 22 && sizeof kTextTag == 22);

char16_t Lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Reads fields one after another; after the first short read every later one fails too.
class Reader {
 public:
  explicit Reader(CVXMemoryStream& stream) : stream_(stream) {}
  bool Bytes(void* dest, std::int32_t count) {
    if (!ok_) return false;
    if (count == 0) return true;
    std::int32_t done = 0;
    ok_ = stream_.Read(dest, count, &done) && done == count;
    return ok_;
  }
  template <typename T>
  bool Value(T& value) {
    return Bytes(&value, sizeof value);
  }
  // Whether the next 22 bytes are the tag (case ignored); false also at the end.
  bool Tag(const char16_t* tag, bool& matches) {
    std::uint8_t raw[kTagBytes];
    if (!Bytes(raw, kTagBytes)) return false;
    matches = true;
    for (int i = 0; i < kTagBytes / 2; ++i) {
      const auto c = static_cast<char16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
      if (Lower(c) != Lower(tag[i])) matches = false;
    }
    return true;
  }
  std::int32_t Remaining() const { return stream_.GetLength() - stream_.Tell(); }

 private:
  CVXMemoryStream& stream_;
  bool ok_ = true;
};

bool ReadText(Reader& in, EditTextRecord& text) {
  std::int32_t bytes = 0;
  if (!in.Value(bytes)) return false;
  // A length the stream cannot hold, or half a character, means the block is broken.
  if (bytes < 0 || bytes % 2 != 0 || bytes > in.Remaining()) return false;
  std::u16string caption(static_cast<std::size_t>(bytes / 2), u'\0');
  if (!in.Bytes(caption.data(), bytes)) return false;
  caption.resize(std::char_traits<char16_t>::length(caption.c_str()));
  text.caption = std::move(caption);
  return in.Value(text.font) && in.Value(text.selected) && in.Value(text.width) &&
         in.Value(text.height) && in.Value(text.x) && in.Value(text.y) && in.Value(text.id) &&
         in.Value(text.turn) && in.Value(text.flip);
}

class Writer {
 public:
  explicit Writer(CVXMemoryStream& stream) : stream_(stream) {}
  template <typename T>
  void Value(const T& value) {
    Bytes(&value, sizeof value);
  }
  void Bytes(const void* source, std::int32_t count) {
    if (ok_ && count > 0) ok_ = stream_.Write(source, count);
  }
  bool ok() const { return ok_; }

 private:
  CVXMemoryStream& stream_;
  bool ok_ = true;
};

}  // namespace

bool ReadEditData(CVXMemoryStream& stream, EditData& data) {
  Reader in(stream);
  bool matches = false;
  if (!in.Tag(kDataTag, matches) || !matches) return false;
  data = EditData{};
  if (!in.Value(data.editWidth) || !in.Value(data.editHeight) || !in.Value(data.crop) ||
      !in.Value(data.turn) || !in.Value(data.flip))
    return true;
  std::int32_t texts = 0;
  if (!in.Value(texts)) return true;
  for (std::int32_t i = 0; i < texts; ++i) {
    if (!in.Tag(kTextTag, matches)) return true;
    EditTextRecord text;
    if (matches && !ReadText(in, text)) return true;
    data.texts.push_back(std::move(text));
  }
  std::int32_t filters = 0;
  if (!in.Value(filters)) return true;
  for (std::int32_t i = 0; i < filters; ++i) {
    FilterEntry entry{};
    if (!in.Value(entry)) break;
    data.filters.push_back(entry);
  }
  return true;
}

bool ReadEditRect(CVXMemoryStream& stream, OvraRectD& rect) {
  Reader in(stream);
  bool matches = false;
  std::int32_t size[2];
  OvraRectD crop;
  if (!in.Tag(kDataTag, matches) || !matches || !in.Value(size) || !in.Value(crop)) return false;
  rect = crop;
  return true;
}

bool WriteEditData(CVXMemoryStream& stream, const EditData& data) {
  Writer out(stream);
  out.Bytes(kDataTag, kTagBytes);
  out.Value(data.editWidth);
  out.Value(data.editHeight);
  out.Value(data.crop);
  out.Value(data.turn);
  out.Value(data.flip);
  out.Value(static_cast<std::int32_t>(data.texts.size()));
  for (const EditTextRecord& text : data.texts) {
    out.Bytes(kTextTag, kTagBytes);
    const auto bytes =
        static_cast<std::int32_t>(text.caption.empty() ? 0 : 2 * text.caption.size() + 2);
    out.Value(bytes);
    out.Bytes(text.caption.c_str(), bytes);
    out.Value(text.font);
    out.Value(text.selected);
    out.Value(text.width);
    out.Value(text.height);
    out.Value(text.x);
    out.Value(text.y);
    out.Value(text.id);
    out.Value(text.turn);
    out.Value(text.flip);
  }
  out.Value(static_cast<std::int32_t>(data.filters.size()));
  for (const FilterEntry& entry : data.filters) out.Value(entry);
  return out.ok();
}

}  // namespace picwork
