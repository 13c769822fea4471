// Checks on a picture a test keeps: a screenshot must show what a person should see, so it is
// judged like any other result.  Pixels are 8-bit red, green, blue, rows from the top.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace nv::testing {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& o) const noexcept { return r == o.r && g == o.g && b == o.b; }
};

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom excluded
  int width() const noexcept { return right - left; }
  int height() const noexcept { return bottom - top; }
};

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 3
  Rgb At(int x, int y) const noexcept;
  bool empty() const noexcept { return width <= 0 || height <= 0; }
};

// Raw 8-bit RGB bytes (ImageMagick's "rgb:" output) of a picture of the given size; an image
// with no pixels when the byte count does not match.
RgbImage ImageFromRawRgb(const std::string& bytes, int width, int height);

// Contrast ratio of two colours as the accessibility guidelines define it (1 to 21).
double ContrastRatio(Rgb a, Rgb b) noexcept;
// The colour most pixels of `area` have, and their share (0 to 1).
Rgb MostCommonColour(const RgbImage& image, const PixelRect& area, double* share = nullptr);

// Each returns an empty text when the picture passes, else what is wrong with it.
// Nearly one colour: a blank, black or unpainted window (more than 97% of one colour).
std::string NearlyOneColour(const RgbImage& image);
// A caption inside `area` (a button face or a label, without its border) against the face's
// colour (the most common one): its darkest or lightest ink must reach `minimum`.
std::string CaptionContrast(const RgbImage& image, const PixelRect& area, double minimum = 4.5);
// No row inside a button's face may be a band of the dialog's background colour, taken row by
// row just left of the button (right of it at the picture's edge), so a gradient counts too.
std::string BackgroundBand(const RgbImage& image, const PixelRect& face);
// No magenta (the skin's transparent colour) or its blend at an edge may show anywhere.
std::string MagentaFringe(const RgbImage& image, const PixelRect& area);
// Share of pixels (0 to 1) of two same-sized pictures that differ by more than `tolerance` in a
// channel; 1 when their sizes differ.
double DifferingShare(const RgbImage& a, const RgbImage& b, int tolerance = 24);

}  // namespace nv::testing
