#include <QImage>
#include <QPainter>
#include <algorithm>

#include "gfx/draw.h"

namespace gfx {
namespace {

// QImage cannot describe bottom-up memory, so such a source is copied once; otherwise the
// caller's pixels are used where they lie.
QImage wrapSource(const BitmapView& src) {
  if (src.stride > 0) {
    return QImage(static_cast<const uchar*>(src.pixels), src.width, src.height, src.stride,
                  QImage::Format_ARGB32);
  }
  QImage copy(src.width, src.height, QImage::Format_ARGB32);
  if (copy.isNull()) return copy;
  for (int y = 0; y < src.height; ++y) {
    std::copy_n(src.row(y), src.width, reinterpret_cast<std::uint32_t*>(copy.scanLine(y)));
  }
  return copy;
}

// Scaling is done in premultiplied form so that colours of transparent pixels do not bleed into
// their neighbours; the result is brought back to the frame layout for our own blending.
QImage scale(const QImage& source, int width, int height, Interpolation mode) {
  switch (mode) {
    case Interpolation::Nearest:
      return source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation)
          .convertToFormat(QImage::Format_ARGB32);
    case Interpolation::HighQuality:
      return source.convertToFormat(QImage::Format_ARGB32_Premultiplied)
          .scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
          .convertToFormat(QImage::Format_ARGB32);
    case Interpolation::Bilinear:
      break;
  }
  QImage target(width, height, QImage::Format_ARGB32_Premultiplied);
  if (target.isNull()) return target;
  target.fill(Qt::transparent);
  QPainter painter;
  if (!painter.begin(&target)) return QImage();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QRectF(0, 0, width, height), source);
  painter.end();
  return target.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

bool drawScaled(const BitmapView& dst, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, const BitmapView& src, Interpolation mode) {
  if (!dst.valid() || !src.valid() || width <= 0 || height <= 0) return false;
  if (width == src.width && height == src.height) return blendOver(dst, src, x, y);
  const QImage source = wrapSource(src);
  if (source.isNull()) return false;
  QImage scaled = scale(source, width, height, mode);
  if (scaled.isNull() || scaled.width() != width || scaled.height() != height) return false;
  BitmapView view{scaled.bits(), width, height, static_cast<std::int32_t>(scaled.bytesPerLine())};
  return blendOver(dst, view, x, y);
}

}  // namespace gfx
