#include "gfx/decode.h"

#include <vips/vips.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>

#include <jotter/jotter.h>

#include "gfx/startup.h"

namespace gfx {
namespace {

struct Unref {
  void operator()(void* object) const { g_object_unref(object); }
};
using ImagePtr = std::unique_ptr<VipsImage, Unref>;
using RegionPtr = std::unique_ptr<VipsRegion, Unref>;

// The operation cache keys buffer loads by address and length: a later decode of other bytes at
// a reused address could be answered with the earlier picture. Decoding never repeats an
// operation on purpose, so the cache only costs memory; it is switched off once.
int startDecoding() {
  static std::once_flag once;
  static int status = -1;
  std::call_once(once, [] {
    status = startup();
    if (status == 0) vips_cache_set_max(0);
  });
  return status;
}

bool hasPrefix(const std::uint8_t* p, std::size_t size, std::string_view prefix) {
  return size >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The libvips error text flattened to one line, then cleared.
std::string takeVipsError() {
  std::string text = vips_error_buffer();
  vips_error_clear();
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

DecodeStatus fail(DecodeStatus status, const char* what, const char* detail) {
  OvraPrintfTextA("gfx: cannot decode %s: %s%s%s", what, statusText(status),
                  detail && *detail ? ": " : "", detail ? detail : "");
  return status;
}

// What sniffing looks at, at most.
constexpr std::size_t kSniffBytes = 64;

// Where the bytes are: in memory, or in a file that is read only as far as the reader needs
// (a header probe of a big photo touches its first kilobytes).
struct Input {
  const void* data = nullptr;
  std::size_t size = 0;
  const char* file = nullptr;

  using SourcePtr = std::unique_ptr<VipsSource, Unref>;
  SourcePtr source() const {
    return SourcePtr(file != nullptr ? vips_source_new_from_file(file)
                                     : vips_source_new_from_memory(data, size));
  }
};

// A loaded header or picture, for one format. Loaders read only the header until pixels are
// asked for. fail_on=error turns truncated and broken data into failures instead of grey rows.
ImagePtr load(PictureFormat format, const Input& input, std::int32_t frame, VipsAccess access) {
  VipsImage* out = nullptr;
  int rc = -1;
  const int fail = VIPS_FAIL_ON_ERROR;
  if (format == PictureFormat::Bmp) {
    // The only BMP reader libvips has goes through ImageMagick, from memory only; the sniffing
    // makes sure it is never handed anything but a BMP header.
    rc = vips_magickload_buffer(const_cast<void*>(input.data), input.size, &out, "access", access,
                                "fail_on", fail, nullptr);
  } else if (const Input::SourcePtr source = input.source()) {
    using Loader = int (*)(VipsSource*, VipsImage**, ...);
    Loader loader = nullptr;
    bool paged = true;  // the kind has frames or pages
    switch (format) {
      case PictureFormat::Jpeg:
        loader = vips_jpegload_source, paged = false;
        break;
      case PictureFormat::Png:
        loader = vips_pngload_source, paged = false;
        break;
      case PictureFormat::Gif:
        loader = vips_gifload_source;
        break;
      case PictureFormat::Webp:
        loader = vips_webpload_source;
        break;
      case PictureFormat::Tiff:
        loader = vips_tiffload_source;
        break;
      case PictureFormat::Heif:
        loader = vips_heifload_source;
        break;
      default:
        break;
    }
    if (loader != nullptr && paged) {
      rc = loader(source.get(), &out, "access", access, "fail_on", fail, "page", frame, "n", 1,
                  nullptr);
    } else if (loader != nullptr) {
      rc = loader(source.get(), &out, "access", access, "fail_on", fail, nullptr);
    }
  }
  if (rc != 0) {
    if (out != nullptr) g_object_unref(out);
    return nullptr;
  }
  return ImagePtr(out);
}

// "2019:07:14 10:20:30 (2019:07:14 10:20:30, ASCII, 20 components, 20 bytes)" -> the first part.
std::string exifText(VipsImage* image, const char* field) {
  const char* value = nullptr;
  if (vips_image_get_typeof(image, field) == 0 ||
      vips_image_get_string(image, field, &value) != 0 || value == nullptr) {
    vips_error_clear();
    return {};
  }
  std::string text = value;
  const std::size_t cut = text.find(" (");
  if (cut != std::string::npos) text.resize(cut);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

void readInfo(VipsImage* image, PictureFormat format, PictureInfo& info) {
  info.format = format;
  int orientation = 1;
  if (vips_image_get_typeof(image, VIPS_META_ORIENTATION) != 0)
    vips_image_get_int(image, VIPS_META_ORIENTATION, &orientation);
  info.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
  const bool swap = info.orientation >= 5;
  const int w = vips_image_get_width(image);
  const int h = vips_image_get_height(image);
  info.width = swap ? h : w;
  info.height = swap ? w : h;
  // libvips gives pixels per millimetre and 1.0 when the file has no resolution; 1 pixel/mm is
  // 25.4 dpi, which no camera or scanner writes, so it is read as "not given".
  const bool given = vips_image_get_typeof(image, "resolution-unit") != 0 ||
                     vips_image_get_xres(image) != 1.0 || vips_image_get_yres(image) != 1.0;
  double x = given ? vips_image_get_xres(image) * 25.4 : 96.0;
  double y = given ? vips_image_get_yres(image) * 25.4 : 96.0;
  if (!(x > 0.5 && x < 1e6)) x = 96.0;
  if (!(y > 0.5 && y < 1e6)) y = 96.0;
  info.xDpi = swap ? y : x;
  info.yDpi = swap ? x : y;
  info.hasAlpha = vips_image_hasalpha(image) != 0;
  info.frameCount = std::max(1, vips_image_get_n_pages(image));
  info.frameDelays.clear();
  int* delays = nullptr;
  int count = 0;
  if (info.frameCount > 1 && vips_image_get_typeof(image, "delay") != 0 &&
      vips_image_get_array_int(image, "delay", &delays, &count) == 0) {
    info.frameDelays.assign(delays, delays + count);
  }
  info.dateTimeOriginal = exifText(image, "exif-ifd2-DateTimeOriginal");
  info.dateTime = exifText(image, "exif-ifd0-DateTime");
  vips_error_clear();
}

DecodeStatus checkSize(const PictureInfo& info) {
  if (info.width <= 0 || info.height <= 0) return DecodeStatus::Corrupt;
  if (info.width > kMaxPictureSide || info.height > kMaxPictureSide ||
      std::int64_t{info.width} * info.height > kMaxPicturePixels)
    return DecodeStatus::TooLarge;
  return DecodeStatus::Ok;
}

// Header and limits; on success the image is the lazily loaded source.
// input.data holds the whole picture, or for a file at least its first bytes.
DecodeStatus openHeader(const Input& input, std::int32_t frame, PictureInfo& info, ImagePtr* image,
                        std::string& detail) {
  info = PictureInfo{};
  const void* data = input.data;
  const std::size_t size = input.size;
  if (data == nullptr || size == 0) return DecodeStatus::Corrupt;
  if (size > static_cast<std::uint64_t>(kMaxPictureBytes)) return DecodeStatus::TooLarge;
  const PictureFormat format = sniffFormat(data, input.file ? std::min(size, kSniffBytes) : size);
  info.format = format;
  switch (format) {
    case PictureFormat::Unknown:
      detail = "not a picture of a known kind";
      return DecodeStatus::Unsupported;
    case PictureFormat::Emf:
    case PictureFormat::Wmf:
      detail = std::string(formatName(format)) + " pictures have no reader";
      return DecodeStatus::Unsupported;
    case PictureFormat::Heif:
      if (vips_type_find("VipsOperation", "heifload_buffer") == 0) {
        detail = "this libvips has no HEIF reader";
        return DecodeStatus::Unsupported;
      }
      break;
    default:
      break;
  }
  if (startDecoding() != 0) {
    detail = "libvips did not start";
    return DecodeStatus::NoMemory;
  }
  if (frame < 0) return DecodeStatus::Corrupt;
  if (format == PictureFormat::Bmp) {
    // Checked before ImageMagick sees the header, whatever its own limits are.
    const auto* p = static_cast<const std::uint8_t*>(data);
    const bool core = le32(p + 14) == 12;
    const std::int64_t w = core ? (p[18] | p[19] << 8) : static_cast<std::int32_t>(le32(p + 18));
    std::int64_t h = core ? (p[20] | p[21] << 8) : static_cast<std::int32_t>(le32(p + 22));
    if (h < 0) h = -h;  // top-down rows
    if (w > kMaxPictureSide || h > kMaxPictureSide || w * h > kMaxPicturePixels) {
      detail = std::to_string(w) + " x " + std::to_string(h);
      return DecodeStatus::TooLarge;
    }
  }
  ImagePtr header = load(format, input, frame, VIPS_ACCESS_SEQUENTIAL);
  if (!header) {
    detail = takeVipsError();
    return DecodeStatus::Corrupt;
  }
  readInfo(header.get(), format, info);
  if (frame > 0 && frame >= info.frameCount) {  // kinds without frames ignore the page option
    detail = "no frame " + std::to_string(frame) + " in " + std::to_string(info.frameCount);
    return DecodeStatus::Corrupt;
  }
  const DecodeStatus sized = checkSize(info);
  if (sized != DecodeStatus::Ok) {
    detail = std::to_string(info.width) + " x " + std::to_string(info.height);
    return sized;
  }
  if (image != nullptr) *image = std::move(header);
  return DecodeStatus::Ok;
}

// Whatever the loader gave (grey, grey + alpha, RGB, CMYK, 16-bit, more bands) as 8-bit R, G,
// B, A bands.
ImagePtr toRgba(VipsImage* in) {
  ImagePtr image(in);
  g_object_ref(in);
  VipsImage* next = nullptr;
  auto step = [&](int rc) {
    if (rc != 0) {
      if (next != nullptr) g_object_unref(next);
      next = nullptr;
      return false;
    }
    image.reset(next);
    next = nullptr;
    return true;
  };
  if (vips_colourspace_issupported(image.get()) &&
      vips_image_guess_interpretation(image.get()) != VIPS_INTERPRETATION_sRGB) {
    if (!step(vips_colourspace(image.get(), &next, VIPS_INTERPRETATION_sRGB, nullptr)))
      return nullptr;
  }
  if (vips_image_get_format(image.get()) != VIPS_FORMAT_UCHAR) {
    if (vips_image_get_interpretation(image.get()) == VIPS_INTERPRETATION_RGB16 ||
        vips_image_get_interpretation(image.get()) == VIPS_INTERPRETATION_GREY16) {
      if (!step(vips_rshift_const1(image.get(), &next, 8, nullptr))) return nullptr;
    }
    if (!step(vips_cast_uchar(image.get(), &next, nullptr))) return nullptr;
  }
  const int bands = vips_image_get_bands(image.get());
  const bool alpha = vips_image_hasalpha(image.get()) != 0;
  if (bands < 3) {
    VipsImage* grey = nullptr;
    if (vips_extract_band(image.get(), &grey, 0, nullptr) != 0) return nullptr;
    ImagePtr g(grey);
    VipsImage* parts[4] = {grey, grey, grey, nullptr};
    int n = 3;
    VipsImage* a = nullptr;
    if (bands == 2) {
      if (vips_extract_band(image.get(), &a, 1, nullptr) != 0) return nullptr;
      parts[n++] = a;
    }
    ImagePtr aHolder(a);
    if (!step(vips_bandjoin(parts, &next, n, nullptr))) return nullptr;
  } else if (bands > 4 || (bands == 4 && !alpha)) {
    if (!step(vips_extract_band(image.get(), &next, 0, "n", 3, nullptr))) return nullptr;
  }
  if (vips_image_get_bands(image.get()) == 3) {
    if (!step(vips_bandjoin_const1(image.get(), &next, 255.0, nullptr))) return nullptr;
  }
  return image;
}

// Pulls the pixels through the pipeline strip by strip straight into the result, so the only
// full-size buffer is the caller's.
DecodeStatus copyPixels(VipsImage* rgba, Picture& picture, std::string& detail) {
  const int width = vips_image_get_width(rgba);
  const int height = vips_image_get_height(rgba);
  if (width <= 0 || height <= 0 ||
      std::int64_t{width} * height > kMaxPicturePixels) {  // a loader that lied in its header
    detail = "decoded size differs from the header";
    return DecodeStatus::Corrupt;
  }
  try {
    picture.pixels.resize(static_cast<std::size_t>(width) * height);
  } catch (const std::bad_alloc&) {
    return DecodeStatus::NoMemory;
  }
  RegionPtr region(vips_region_new(rgba));
  constexpr int kStrip = 64;
  for (int top = 0; top < height; top += kStrip) {
    VipsRect rect{0, top, width, std::min(kStrip, height - top)};
    if (vips_region_prepare(region.get(), &rect) != 0) {
      detail = takeVipsError();
      picture.pixels.clear();
      return DecodeStatus::Corrupt;
    }
    for (int y = rect.top; y < rect.top + rect.height; ++y) {
      const auto* src = reinterpret_cast<const std::uint8_t*>(VIPS_REGION_ADDR(region.get(), 0, y));
      std::uint32_t* dst = picture.pixels.data() + static_cast<std::size_t>(y) * width;
      for (int x = 0; x < width; ++x, src += 4)
        dst[x] = static_cast<std::uint32_t>(src[3]) << 24 | src[0] << 16 | src[1] << 8 | src[2];
    }
  }
  picture.width = width;
  picture.height = height;
  return DecodeStatus::Ok;
}

DecodeStatus decodeInput(const Input& input, Picture& picture, const DecodeOptions& options,
                         const char* what) {
  picture = Picture{};
  std::string detail;
  ImagePtr header;
  DecodeStatus status = openHeader(input, options.frame, picture.info, &header, detail);
  if (status != DecodeStatus::Ok) return fail(status, what, detail.c_str());

  ImagePtr upright;
  const PictureInfo& info = picture.info;
  const bool shrink = options.fitWidth > 0 && options.fitHeight > 0 &&
                      (info.width > options.fitWidth || info.height > options.fitHeight);
  if (shrink) {
    header.reset();
    // The thumbnail operation picks the loader's own shrink (JPEG DCT scaling, the embedded
    // HEIF thumbnail, WebP scaled decoding), turns the picture upright and fits it in the box.
    char loaderOptions[64];
    std::snprintf(loaderOptions, sizeof loaderOptions,
                  info.format == PictureFormat::Jpeg || info.format == PictureFormat::Png ||
                          info.format == PictureFormat::Bmp
                      ? "fail_on=error"
                      : "fail_on=error,page=%d",
                  options.frame);
    VipsImage* out = nullptr;
    int rc = -1;
    if (info.format == PictureFormat::Bmp) {
      rc = vips_thumbnail_buffer(const_cast<void*>(input.data), input.size, &out, options.fitWidth,
                                 "height", options.fitHeight, "size", VIPS_SIZE_DOWN,
                                 "option_string", loaderOptions, nullptr);
    } else if (const Input::SourcePtr source = input.source()) {
      rc = vips_thumbnail_source(source.get(), &out, options.fitWidth, "height", options.fitHeight,
                                 "size", VIPS_SIZE_DOWN, "option_string", loaderOptions, nullptr);
    }
    if (rc != 0) {
      if (out != nullptr) g_object_unref(out);
      return fail(DecodeStatus::Corrupt, what, takeVipsError().c_str());
    }
    upright.reset(out);
  } else {
    // Turning the picture needs random access to its rows; upright pictures stream.
    if (info.orientation != 1) {
      header = load(info.format, input, options.frame, VIPS_ACCESS_RANDOM);
      if (!header) return fail(DecodeStatus::Corrupt, what, takeVipsError().c_str());
    }
    VipsImage* out = nullptr;
    if (vips_autorot(header.get(), &out, nullptr) != 0) {
      if (out != nullptr) g_object_unref(out);
      return fail(DecodeStatus::Corrupt, what, takeVipsError().c_str());
    }
    upright.reset(out);
  }
  ImagePtr rgba = toRgba(upright.get());
  if (!rgba) return fail(DecodeStatus::Corrupt, what, takeVipsError().c_str());
  status = copyPixels(rgba.get(), picture, detail);
  if (status != DecodeStatus::Ok) {
    const PictureInfo keep = picture.info;
    picture = Picture{};
    picture.info = keep;
    return fail(status, what, detail.c_str());
  }
  return DecodeStatus::Ok;
}

// A file as an Input: its first bytes for sniffing, and its path for the reader, which reads as
// far as it needs. Kinds whose reader works from memory only are read whole.
DecodeStatus openFile(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes,
                      Input& input) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return DecodeStatus::NotFound;
  const auto length = std::filesystem::file_size(file, ec);
  if (ec) return DecodeStatus::NotFound;
  if (length > static_cast<std::uint64_t>(kMaxPictureBytes)) return DecodeStatus::TooLarge;
  std::ifstream in(file, std::ios::binary);
  if (!in) return DecodeStatus::NotFound;
  constexpr std::size_t kHead = kSniffBytes;
  bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, kHead)));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::size_t>(in.gcount()) != bytes.size()) return DecodeStatus::NotFound;
  const PictureFormat format = sniffFormat(bytes.data(), bytes.size());
  const bool wholeInMemory = format == PictureFormat::Bmp;
  if (wholeInMemory && length > kHead) {
    try {
      bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
      return DecodeStatus::NoMemory;
    }
    in.read(reinterpret_cast<char*>(bytes.data() + kHead),
            static_cast<std::streamsize>(length - kHead));
    if (static_cast<std::uint64_t>(in.gcount()) != length - kHead) return DecodeStatus::NotFound;
  }
  input.data = bytes.data();
  input.size = wholeInMemory ? bytes.size() : static_cast<std::size_t>(length);
  input.file = wholeInMemory ? nullptr : file.c_str();
  return DecodeStatus::Ok;
}

}  // namespace

PictureFormat sniffFormat(const void* data, std::size_t size) {
  if (data == nullptr) return PictureFormat::Unknown;
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (hasPrefix(p, size, "\xFF\xD8\xFF")) return PictureFormat::Jpeg;
  if (hasPrefix(p, size, "\x89PNG\r\n\x1A\n")) return PictureFormat::Png;
  if (hasPrefix(p, size, "GIF87a") || hasPrefix(p, size, "GIF89a")) return PictureFormat::Gif;
  if (hasPrefix(p, size, "II*\0") || hasPrefix(p, size, "MM\0*") || hasPrefix(p, size, "II+\0") ||
      hasPrefix(p, size, "MM\0+"))
    return PictureFormat::Tiff;
  if (size >= 12 && hasPrefix(p, size, "RIFF") && std::memcmp(p + 8, "WEBP", 4) == 0)
    return PictureFormat::Webp;
  if (size >= 26 && hasPrefix(p, size, "BM")) {
    const std::uint32_t infoSize = le32(p + 14);
    if (infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 ||
        infoSize == 108 || infoSize == 124)
      return PictureFormat::Bmp;
  }
  if (size >= 12 && std::memcmp(p + 4, "ftyp", 4) == 0) {
    static const char* const brands[] = {"heic", "heix", "hevc", "hevx", "heim",
                                         "heis", "mif1", "msf1", "avif", "avis"};
    for (const char* brand : brands)
      if (std::memcmp(p + 8, brand, 4) == 0) return PictureFormat::Heif;
  }
  if (size >= 44 && le32(p) == 1 && std::memcmp(p + 40, " EMF", 4) == 0) return PictureFormat::Emf;
  if (hasPrefix(p, size, "\xD7\xCD\xC6\x9A")) return PictureFormat::Wmf;  // placeable header
  if (size >= 6 && (p[0] == 1 || p[0] == 2) && p[1] == 0 && p[2] == 9 && p[3] == 0 && p[4] == 0 &&
      (p[5] == 1 || p[5] == 3))
    return PictureFormat::Wmf;
  return PictureFormat::Unknown;
}

const char* formatName(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return "JPEG";
    case PictureFormat::Png:
      return "PNG";
    case PictureFormat::Gif:
      return "GIF";
    case PictureFormat::Bmp:
      return "BMP";
    case PictureFormat::Tiff:
      return "TIFF";
    case PictureFormat::Webp:
      return "WebP";
    case PictureFormat::Heif:
      return "HEIF";
    case PictureFormat::Emf:
      return "EMF";
    case PictureFormat::Wmf:
      return "WMF";
    case PictureFormat::Unknown:
      break;
  }
  return "unknown";
}

const char* statusText(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::Ok:
      return "ok";
    case DecodeStatus::NotFound:
      return "cannot read the file";
    case DecodeStatus::Unsupported:
      return "unsupported picture";
    case DecodeStatus::Corrupt:
      return "broken or truncated picture";
    case DecodeStatus::TooLarge:
      return "picture too large";
    case DecodeStatus::NoMemory:
      return "out of memory";
  }
  return "unknown status";
}

DecodeStatus probeMemory(const void* data, std::size_t size, PictureInfo& info) {
  std::string detail;
  try {
    const DecodeStatus status = openHeader(Input{data, size, nullptr}, 0, info, nullptr, detail);
    if (status != DecodeStatus::Ok) return fail(status, "picture in memory", detail.c_str());
    return status;
  } catch (...) {
    return fail(DecodeStatus::NoMemory, "picture in memory", nullptr);
  }
}

DecodeStatus probeFile(const std::filesystem::path& file, PictureInfo& info) {
  info = PictureInfo{};
  const std::string name = file.string();
  try {
    std::vector<std::uint8_t> bytes;
    Input input;
    const DecodeStatus opened = openFile(file, bytes, input);
    if (opened != DecodeStatus::Ok) return fail(opened, name.c_str(), nullptr);
    std::string detail;
    const DecodeStatus status = openHeader(input, 0, info, nullptr, detail);
    if (status != DecodeStatus::Ok) return fail(status, name.c_str(), detail.c_str());
    return status;
  } catch (...) {
    return fail(DecodeStatus::NoMemory, name.c_str(), nullptr);
  }
}

DecodeStatus decodeMemory(const void* data, std::size_t size, Picture& picture,
                          const DecodeOptions& options) {
  try {
    return decodeInput(Input{data, size, nullptr}, picture, options, "picture in memory");
  } catch (...) {
    picture = Picture{};
    return fail(DecodeStatus::NoMemory, "picture in memory", nullptr);
  }
}

DecodeStatus decodeFile(const std::filesystem::path& file, Picture& picture,
                        const DecodeOptions& options) {
  const std::string name = file.string();
  try {
    picture = Picture{};
    std::vector<std::uint8_t> bytes;
    Input input;
    const DecodeStatus opened = openFile(file, bytes, input);
    if (opened != DecodeStatus::Ok) return fail(opened, name.c_str(), nullptr);
    return decodeInput(input, picture, options, name.c_str());
  } catch (...) {
    picture = Picture{};
    return fail(DecodeStatus::NoMemory, name.c_str(), nullptr);
  }
}

}  // namespace gfx
