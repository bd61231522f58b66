#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class ExtractionHelper;
class ImageBuffer;

// The passes a 3D adapter runs in place over the points of its image once
// every coordinate is filled. Points are floats X, Y, Z (and C, I), one after
// another, `GetBytesPerPixel` bytes apart from the start of the image.
// Reentrant: they touch nothing but the image (and helpers) they are given.

// Keeps, of the first `points` points, those whose Z lies within
// `minHeight` to `maxHeight` (both included; a Z that is not a number never
// does), moved whole to the front of the image in their order. Returns how
// many were kept; the bytes after them keep what they held.
int32_t FilterHeights(ImageBuffer& image, size_t points, double minHeight, double maxHeight);

// The same window after undoing, in the same pass, the tilt of a laser plane
// at `angleDegrees` to the XZ plane: Z becomes Z cos(angle) and Y moves on by
// that Z times tan(angle); the window sees the new Z. The cosine and tangent
// are taken in double and rounded to float, each new coordinate is rounded to
// float once. Every one of the `points` points is compensated, also those
// that are not kept: the bytes after the kept points hold compensated points.
int32_t CompensateAndFilterHeights(ImageBuffer& image, size_t points, double angleDegrees,
                                   double minHeight, double maxHeight);

// The window of heights a 3D adapter keeps, and the laser plane it undoes
// first when `compensate` is set.
struct HeightWindow {
    double minHeight = 0.0;
    double maxHeight = 0.0;
    bool compensate = false;
    double angleDegrees = 0.0;
};

// One of the passes above over `count` points from point `first`, for an
// adapter that filters its image a few scans at a time: `kept` points (at
// most `first`) are kept already, at the front, and the points kept here
// follow them. Returns how many are kept in all.
size_t FilterPointRun(ImageBuffer& image, size_t kept, size_t first, size_t count,
                      const HeightWindow& window);
// The same on the plain loops only. FilterPointRun takes 16 XYZ or XYZCI
// points at a time where the processor has AVX-512; both give the same bytes, which the
// tests hold them to.
size_t FilterPointRunPortable(ImageBuffer& image, size_t kept, size_t first, size_t count,
                              const HeightWindow& window);

// The helpers that fill coordinates 1 to 4 (Y, Z, C, I) of a 3D image; C and
// I are null for XYZ points.
using PointHelpers = std::array<ExtractionHelper*, 4>;

// Fills every coordinate of every point from what the helpers' last Extract
// left, and runs the window over the points: the image's points as a 3D
// adapter hands them on. Returns how many are kept. It works a few scans at a
// time, so that each point is written, read back and moved while it is still
// in the cache; the result is the same as filling the whole image first.
size_t BuildPoints(ImageBuffer& image, const PointHelpers& helpers, const HeightWindow& window);
