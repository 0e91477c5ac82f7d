#include "gfx/scaled_decode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <jotter/jotter.h>

#include "gfx/resample.h"
#include "resampler.h"

namespace gfx {
namespace {

// A progressive JPEG keeps all its coefficients in memory; this caps what a hostile header can
// make libjpeg allocate (a 150-megapixel photo, the largest we accept, needs about 450 MiB).
constexpr long kMaxJpegMemory = 768L << 20;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool badData;  // a warning that means the picture is truncated or broken
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// libjpeg goes on after a truncated or corrupt scan, filling the rest with grey; such a file
// counts as broken here, as it does for the other decoders. Harmless warnings (extra bytes
// between markers) are let through.
void onMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level >= 0) return;
  const int code = cinfo->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE ||
      code == JWRN_MUST_RESYNC || code == JWRN_BOGUS_PROGRESSION || code == JWRN_NOT_SEQUENTIAL) {
    if (!err->badData) (*cinfo->err->format_message)(cinfo, err->message);
    err->badData = true;
  }
  ++cinfo->err->num_warnings;
}

std::uint32_t read16(const std::uint8_t* p, bool little) {
  return little ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
}
std::uint32_t read32(const std::uint8_t* p, bool little) {
  return little ? p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24
                : static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

// The Orientation tag (0x0112) of IFD0 in an APP1 "Exif" block; 1 when absent or malformed.
int exifOrientation(const std::uint8_t* data, std::size_t size) {
  if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
  const std::uint8_t* tiff = data + 6;
  const std::size_t length = size - 6;
  bool little;
  if (tiff[0] == 'I' && tiff[1] == 'I')
    little = true;
  else if (tiff[0] == 'M' && tiff[1] == 'M')
    little = false;
  else
    return 1;
  if (read16(tiff + 2, little) != 42) return 1;
  const std::uint32_t ifd = read32(tiff + 4, little);
  if (ifd > length - 2 || ifd < 8) return 1;
  const std::uint32_t count = read16(tiff + ifd, little);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + std::size_t{12} * i;
    if (entry + 12 > length) return 1;
    if (read16(tiff + entry, little) != 0x0112) continue;
    if (read16(tiff + entry + 2, little) != 3 || read32(tiff + entry + 4, little) != 1) return 1;
    const std::uint32_t value = read16(tiff + entry + 8, little);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool created = false;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// The calls into libjpeg, which leaves through longjmp on errors: nothing in these two frames
// may need destroying, so every C++ object lives in the caller.
bool readHeader(Decoder& d, std::FILE* file, const void* data, std::size_t size) {
  d.cinfo.err = jpeg_std_error(&d.err.pub);
  d.err.pub.error_exit = onError;
  d.err.pub.emit_message = onMessage;
  d.err.badData = false;
  d.err.message[0] = '\0';
  if (setjmp(d.err.jump)) return false;
  jpeg_create_decompress(&d.cinfo);
  d.created = true;
  d.cinfo.mem->max_memory_to_use = kMaxJpegMemory;
  if (file != nullptr)
    jpeg_stdio_src(&d.cinfo, file);
  else
    jpeg_mem_src(&d.cinfo, static_cast<const unsigned char*>(data),
                 static_cast<unsigned long>(size));
  jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&d.cinfo, TRUE);
  return true;
}

bool readRows(Decoder& d, int scale, std::uint32_t* row, Resampler* resampler) {
  if (setjmp(d.err.jump)) return false;
  d.cinfo.scale_num = static_cast<unsigned>(scale);
  d.cinfo.scale_denom = 8;
  d.cinfo.out_color_space = JCS_EXT_BGRA;  // 0xAARRGGBB in memory order, alpha 255
  // Smoothing only guesses coefficients of scans that are missing; a complete file has none.
  d.cinfo.do_block_smoothing = FALSE;
  jpeg_start_decompress(&d.cinfo);
  while (d.cinfo.output_scanline < d.cinfo.output_height && !resampler->done()) {
    JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(row)};
    if (jpeg_read_scanlines(&d.cinfo, rows, 1) != 1 || d.err.badData) return false;
    resampler->pushRow(row);
  }
  jpeg_abort_decompress(&d.cinfo);
  return !d.err.badData;
}

// The smallest M for which an M/8 reduction still covers width x height. Only 1/8, 1/4 and 1/2
// are tried: libjpeg-turbo has SIMD inverse DCTs for those alone, and the scalar 3/8 or 6/8 ones
// (chroma of a 4:2:0 picture is taken at twice the luma's scale) cost more than the larger
// picture they save the resampler.
int chooseScale(Decoder& d, std::int32_t width, std::int32_t height) {
  for (int m = 1; m < 8; m *= 2) {
    d.cinfo.scale_num = static_cast<unsigned>(m);
    d.cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&d.cinfo);
    if (static_cast<std::int64_t>(d.cinfo.output_width) >= width &&
        static_cast<std::int64_t>(d.cinfo.output_height) >= height)
      return m;
  }
  return 8;
}

// Stored pixel (x, y) of a w x h picture goes to the upright position for each EXIF orientation.
void orient(const std::uint32_t* in, std::int32_t w, std::int32_t h, int orientation,
            std::uint32_t* out) {
  const bool swap = orientation >= 5;
  const std::int32_t ow = swap ? h : w;
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint32_t* row = in + static_cast<std::size_t>(y) * w;
    for (std::int32_t x = 0; x < w; ++x) {
      std::int32_t ux = x, uy = y;
      switch (orientation) {
        case 2:
          ux = w - 1 - x;
          break;
        case 3:
          ux = w - 1 - x, uy = h - 1 - y;
          break;
        case 4:
          uy = h - 1 - y;
          break;
        case 5:
          ux = y, uy = x;
          break;
        case 6:
          ux = h - 1 - y, uy = x;
          break;
        case 7:
          ux = h - 1 - y, uy = w - 1 - x;
          break;
        case 8:
          ux = y, uy = w - 1 - x;
          break;
        default:
          break;
      }
      out[static_cast<std::size_t>(uy) * ow + ux] = row[x];
    }
  }
}

DecodeStatus fail(DecodeStatus status, const char* what, const char* detail) {
  OvraPrintfTextA("gfx: cannot decode %s: %s%s%s", what, statusText(status),
                  detail && *detail ? ": " : "", detail ? detail : "");
  return status;
}

enum class JpegPath { Done, NotHandled };

// The streaming path. NotHandled sends CMYK and YCCK pictures to the general decoder.
JpegPath decodeJpeg(std::FILE* file, const void* data, std::size_t size, const SizeChooser& choose,
                    Picture& picture, DecodeStatus& status, const char* what) {
  auto decoder = std::make_unique<Decoder>();
  Decoder& d = *decoder;
  if (!readHeader(d, file, data, size)) {
    status = fail(DecodeStatus::Corrupt, what, d.err.message);
    return JpegPath::Done;
  }
  if (d.cinfo.jpeg_color_space == JCS_CMYK || d.cinfo.jpeg_color_space == JCS_YCCK)
    return JpegPath::NotHandled;
  const std::int32_t sw = static_cast<std::int32_t>(d.cinfo.image_width);
  const std::int32_t sh = static_cast<std::int32_t>(d.cinfo.image_height);
  PictureInfo& info = picture.info;
  info.format = PictureFormat::Jpeg;
  for (jpeg_saved_marker_ptr m = d.cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
        std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      info.orientation = exifOrientation(m->data, m->data_length);
      break;
    }
  }
  const bool swap = info.orientation >= 5;
  info.width = swap ? sh : sw;
  info.height = swap ? sw : sh;
  if (d.cinfo.saw_JFIF_marker && d.cinfo.X_density > 0 && d.cinfo.Y_density > 0 &&
      (d.cinfo.density_unit == 1 || d.cinfo.density_unit == 2)) {
    const double unit = d.cinfo.density_unit == 2 ? 2.54 : 1.0;
    info.xDpi = (swap ? d.cinfo.Y_density : d.cinfo.X_density) * unit;
    info.yDpi = (swap ? d.cinfo.X_density : d.cinfo.Y_density) * unit;
  }
  if (sw <= 0 || sh <= 0) {
    status = fail(DecodeStatus::Corrupt, what, "no size");
    return JpegPath::Done;
  }
  if (sw > kMaxPictureSide || sh > kMaxPictureSide || std::int64_t{sw} * sh > kMaxPicturePixels) {
    status = fail(DecodeStatus::TooLarge, what,
                  (std::to_string(sw) + " x " + std::to_string(sh)).c_str());
    return JpegPath::Done;
  }
  std::int32_t outW = 0, outH = 0;
  if (!choose(info.width, info.height, outW, outH)) {
    status = DecodeStatus::Ok;
    return JpegPath::Done;
  }
  if (outW <= 0 || outH <= 0 || std::int64_t{outW} * outH > kMaxPicturePixels) {
    status = fail(DecodeStatus::TooLarge, what, "requested size");
    return JpegPath::Done;
  }
  const std::int32_t tw = swap ? outH : outW, th = swap ? outW : outH;  // in stored orientation
  const int scale = chooseScale(d, tw, th);
  std::vector<std::uint32_t> stored, row;
  try {
    picture.pixels.resize(static_cast<std::size_t>(outW) * outH);
    if (info.orientation != 1) stored.resize(picture.pixels.size());
    // Rows as wide as the largest reduction could make them, whatever libjpeg rounds to.
    row.resize(static_cast<std::size_t>(sw) + 16);
  } catch (const std::bad_alloc&) {
    picture.pixels.clear();
    status = fail(DecodeStatus::NoMemory, what, nullptr);
    return JpegPath::Done;
  }
  std::uint32_t* target = info.orientation != 1 ? stored.data() : picture.pixels.data();
  const BitmapView view{reinterpret_cast<std::uint8_t*>(target), tw, th, tw * 4};
  d.cinfo.scale_num = static_cast<unsigned>(scale);
  d.cinfo.scale_denom = 8;
  jpeg_calc_output_dimensions(&d.cinfo);
  std::unique_ptr<Resampler> resampler;
  try {
    resampler = std::make_unique<Resampler>(static_cast<std::int32_t>(d.cinfo.output_width),
                                            static_cast<std::int32_t>(d.cinfo.output_height), view);
  } catch (const std::bad_alloc&) {
    picture.pixels.clear();
    status = fail(DecodeStatus::NoMemory, what, nullptr);
    return JpegPath::Done;
  }
  if (!readRows(d, scale, row.data(), resampler.get()) || !resampler->done()) {
    picture.pixels.clear();
    status = fail(DecodeStatus::Corrupt, what, d.err.message);
    return JpegPath::Done;
  }
  if (info.orientation != 1) orient(stored.data(), tw, th, info.orientation, picture.pixels.data());
  picture.width = outW;
  picture.height = outH;
  status = DecodeStatus::Ok;
  return JpegPath::Done;
}

// Any other kind: decoded whole, then resampled.
DecodeStatus resampleDecoded(Picture& whole, const SizeChooser& choose, Picture& picture) {
  picture.info = whole.info;
  std::int32_t outW = 0, outH = 0;
  if (!choose(whole.width, whole.height, outW, outH)) return DecodeStatus::Ok;
  if (outW <= 0 || outH <= 0 || std::int64_t{outW} * outH > kMaxPicturePixels)
    return DecodeStatus::TooLarge;
  if (outW == whole.width && outH == whole.height) {
    picture = std::move(whole);
    return DecodeStatus::Ok;
  }
  picture.pixels.resize(static_cast<std::size_t>(outW) * outH);
  picture.width = outW;
  picture.height = outH;
  if (!resample(whole.view(), picture.view())) {
    picture.pixels.clear();
    return DecodeStatus::NoMemory;
  }
  return DecodeStatus::Ok;
}

bool isJpeg(const std::uint8_t* p, std::size_t size) {
  return size >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// The output buffer libjpeg allocates with malloc.
struct EncodeBuffer {
  unsigned char* data = nullptr;
  unsigned long size = 0;
  ~EncodeBuffer() { std::free(data); }
};

bool compress(jpeg_compress_struct& cinfo, ErrorManager& err, const BitmapView& bitmap, int quality,
              double xDpi, double yDpi, EncodeBuffer& buffer, bool& created) {
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  if (setjmp(err.jump)) return false;
  jpeg_create_compress(&cinfo);
  created = true;
  jpeg_mem_dest(&cinfo, &buffer.data, &buffer.size);
  cinfo.image_width = static_cast<JDIMENSION>(bitmap.width);
  cinfo.image_height = static_cast<JDIMENSION>(bitmap.height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1;
  auto density = [](double dpi) {
    return static_cast<UINT16>(dpi >= 1.0 && dpi <= 65535.0 ? dpi + 0.5 : 96);
  };
  cinfo.X_density = density(xDpi);
  cinfo.Y_density = density(yDpi);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {
        reinterpret_cast<JSAMPROW>(bitmap.row(static_cast<std::int32_t>(cinfo.next_scanline)))};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

DecodeStatus decodeMemoryScaled(const void* data, std::size_t size, const SizeChooser& choose,
                                Picture& picture) {
  const char* what = "picture in memory";
  try {
    picture = Picture{};
    if (data == nullptr || size == 0) return fail(DecodeStatus::Corrupt, what, nullptr);
    if (size > static_cast<std::uint64_t>(kMaxPictureBytes))
      return fail(DecodeStatus::TooLarge, what, nullptr);
    if (isJpeg(static_cast<const std::uint8_t*>(data), size)) {
      DecodeStatus status = DecodeStatus::Corrupt;
      if (decodeJpeg(nullptr, data, size, choose, picture, status, what) == JpegPath::Done)
        return status;
      picture = Picture{};
    }
    Picture whole;
    const DecodeStatus status = decodeMemory(data, size, whole);
    if (status != DecodeStatus::Ok) return status;
    return resampleDecoded(whole, choose, picture);
  } catch (...) {
    picture = Picture{};
    return fail(DecodeStatus::NoMemory, what, nullptr);
  }
}

DecodeStatus decodeFileScaled(const std::filesystem::path& file, const SizeChooser& choose,
                              Picture& picture) {
  const std::string name = file.string();
  try {
    picture = Picture{};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
      return fail(DecodeStatus::NotFound, name.c_str(), nullptr);
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(file.c_str(), "rb"));
    if (!f) return fail(DecodeStatus::NotFound, name.c_str(), nullptr);
    std::uint8_t head[3] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, f.get());
    if (isJpeg(head, got)) {
      std::rewind(f.get());
      DecodeStatus status = DecodeStatus::Corrupt;
      if (decodeJpeg(f.get(), nullptr, 0, choose, picture, status, name.c_str()) == JpegPath::Done)
        return status;
      picture = Picture{};
    }
    f.reset();
    Picture whole;
    const DecodeStatus status = decodeFile(file, whole);
    if (status != DecodeStatus::Ok) return status;
    return resampleDecoded(whole, choose, picture);
  } catch (...) {
    picture = Picture{};
    return fail(DecodeStatus::NoMemory, name.c_str(), nullptr);
  }
}

bool encodeJpeg(const BitmapView& bitmap, int quality, double xDpi, double yDpi,
                std::vector<std::uint8_t>& out) {
  if (!bitmap.valid()) return false;
  quality = std::clamp(quality, 0, 100);
  auto state = std::make_unique<jpeg_compress_struct>();
  auto err = std::make_unique<ErrorManager>();
  EncodeBuffer buffer;
  bool created = false;
  const bool ok = compress(*state, *err, bitmap, quality, xDpi, yDpi, buffer, created);
  if (created) jpeg_destroy_compress(state.get());
  if (!ok) {
    OvraPrintfTextA("gfx: JPEG encoding failed: %s", err->message);
    return false;
  }
  try {
    out.assign(buffer.data, buffer.data + buffer.size);
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace gfx
