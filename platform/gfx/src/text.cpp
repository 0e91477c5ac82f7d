#include "gfx/text.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <mutex>
#include "gfx/draw.h"

namespace gfx {
namespace {

bool ensureToolkit() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (QGuiApplication::instance() != nullptr) return;
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "galleria";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);  // lives as long as the process
  });
  return QGuiApplication::instance() != nullptr;
}

QFont makeFont(const Font& font) {
  QFont f;
  f.setStyleHint(QFont::SansSerif);
  const QString family = QString::fromStdString(font.family);
  if (!family.isEmpty() && QFontDatabase::hasFamily(family))
    f.setFamily(family);
  else
    f.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  f.setPointSizeF(font.pointSize > 0 ? font.pointSize : 1.0);
  f.setBold(font.style & 1);
  f.setItalic(font.style & 2);
  f.setUnderline(font.style & 4);
  f.setStrikeOut(font.style & 8);
  return f;
}

// Points are taken at 96 pixels per inch, whatever the screen says.
constexpr int kDotsPerMeter = 3780;

}  // namespace

bool measureText(const std::string& text, const Font& font, double& width, double& height) {
  width = height = 0;
  if (!ensureToolkit()) return false;
  QImage probe(1, 1, QImage::Format_ARGB32);
  probe.setDotsPerMeterX(kDotsPerMeter);
  probe.setDotsPerMeterY(kDotsPerMeter);
  const QFontMetricsF metrics(makeFont(font), &probe);
  const QRectF box = metrics.boundingRect(QRectF(0, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                                          QString::fromStdString(text));
  width = box.width();
  height = box.height();
  return true;
}

bool drawText(const BitmapView& dst, const std::string& text, const Font& font,
              std::uint32_t colour, double x, double y) {
  if (!dst.valid() || dst.stride < 0 || !ensureToolkit()) return false;
  // Painted in premultiplied form onto a transparent layer, then blended as our own pixels.
  QImage layer(dst.width, dst.height, QImage::Format_ARGB32_Premultiplied);
  if (layer.isNull()) return false;
  layer.fill(Qt::transparent);
  layer.setDotsPerMeterX(kDotsPerMeter);
  layer.setDotsPerMeterY(kDotsPerMeter);
  {
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setFont(makeFont(font));
    painter.setPen(QColor::fromRgba(colour));
    painter.drawText(QRectF(x, y, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                     QString::fromStdString(text));
  }
  const QImage straight = layer.convertToFormat(QImage::Format_ARGB32);
  const BitmapView view{const_cast<std::uint8_t*>(straight.constBits()), dst.width, dst.height,
                        static_cast<std::int32_t>(straight.bytesPerLine())};
  return blendOver(dst, view, 0, 0);
}

std::vector<std::string> fontFamilies() {
  std::vector<std::string> names;
  if (!ensureToolkit()) return names;
  for (const QString& family : QFontDatabase::families()) names.push_back(family.toStdString());
  return names;
}

}  // namespace gfx
