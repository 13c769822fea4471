#include "platform/testing/image_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace nv::testing {
namespace {

double Channel(uint8_t value) {
  const double c = value / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb c) { return 0.2126 * Channel(c.r) + 0.7152 * Channel(c.g) + 0.0722 * Channel(c.b); }

PixelRect Clip(const RgbImage& image, const PixelRect& area) {
  return {std::max(0, area.left), std::max(0, area.top), std::min(image.width, area.right),
          std::min(image.height, area.bottom)};
}

std::string Describe(Rgb c) {
  char text[16];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
  return text;
}

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

}  // namespace

Rgb RgbImage::At(int x, int y) const noexcept {
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

RgbImage ImageFromRawRgb(const std::string& bytes, int width, int height) {
  RgbImage image;
  if (width <= 0 || height <= 0 ||
      bytes.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
    return image;
  image.width = width;
  image.height = height;
  image.pixels.assign(bytes.begin(), bytes.end());
  return image;
}

double ContrastRatio(Rgb a, Rgb b) noexcept {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb MostCommonColour(const RgbImage& image, const PixelRect& area, double* share) {
  const PixelRect r = Clip(image, area);
  std::map<uint32_t, int> counts;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const Rgb c = image.At(x, y);
      ++counts[(uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b];
    }
  uint32_t best = 0;
  int bestCount = 0;
  for (const auto& [colour, count] : counts)
    if (count > bestCount) best = colour, bestCount = count;
  const int total = std::max(1, r.width() * r.height());
  if (share != nullptr) *share = r.width() > 0 && r.height() > 0 ? static_cast<double>(bestCount) / total : 0;
  return {static_cast<uint8_t>(best >> 16), static_cast<uint8_t>(best >> 8), static_cast<uint8_t>(best)};
}

std::string NearlyOneColour(const RgbImage& image) {
  if (image.empty()) return "the picture has no pixels";
  double share = 0;
  const Rgb colour = MostCommonColour(image, {0, 0, image.width, image.height}, &share);
  if (share <= 0.97) return {};
  return "nearly one colour: " + std::to_string(static_cast<int>(share * 100)) + "% is " + Describe(colour);
}

std::string CaptionContrast(const RgbImage& image, const PixelRect& area, double minimum) {
  const PixelRect r = Clip(image, area);
  if (r.width() <= 0 || r.height() <= 0) return "the caption's area lies outside the picture";
  const Rgb face = MostCommonColour(image, r);
  double best = 1;
  Rgb ink = face;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const Rgb c = image.At(x, y);
      const double ratio = ContrastRatio(c, face);
      if (ratio > best) best = ratio, ink = c;
    }
  if (best >= minimum) return {};
  char text[160];
  std::snprintf(text, sizeof text, "caption %s on %s has a contrast of %.2f:1, less than %.1f:1",
                Describe(ink).c_str(), Describe(face).c_str(), best, minimum);
  return text;
}

std::string BackgroundBand(const RgbImage& image, const PixelRect& face) {
  const PixelRect r = Clip(image, face);
  const int sampleX = r.left >= 3 ? r.left - 3 : r.right + 2;
  if (sampleX >= image.width) return "no background beside the button to compare with";
  for (int y = r.top; y < r.bottom; ++y) {
    const Rgb background = image.At(sampleX, y);
    int same = 0;
    for (int x = r.left; x < r.right; ++x) same += Near(image.At(x, y), background, 6) ? 1 : 0;
    if (r.width() > 0 && same * 10 >= r.width() * 9)
      return "row " + std::to_string(y) + " of the button face is the background colour " +
             Describe(background);
  }
  return {};
}

std::string MagentaFringe(const RgbImage& image, const PixelRect& area) {
  const PixelRect r = Clip(image, area);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const Rgb c = image.At(x, y);
      // Magenta and what antialiasing mixes of it: red and blue well above green, close together.
      if (c.r - c.g > 90 && c.b - c.g > 90 && std::abs(c.r - c.b) < 70)
        return "magenta " + Describe(c) + " at (" + std::to_string(x) + "," + std::to_string(y) + ")";
    }
  return {};
}

double DifferingShare(const RgbImage& a, const RgbImage& b, int tolerance) {
  if (a.width != b.width || a.height != b.height || a.empty()) return 1;
  size_t differing = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) differing += Near(a.At(x, y), b.At(x, y), tolerance) ? 0 : 1;
  return static_cast<double>(differing) / (static_cast<double>(a.width) * a.height);
}

}  // namespace nv::testing
