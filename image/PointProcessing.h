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

// The window of heights a 3D adapter keeps: points whose Z lies within
// `minHeight` to `maxHeight` (both included; a Z that is not a number never
// does). When `compensate` is set, the tilt of a laser plane at
// `angleDegrees` to the XZ plane is undone first, in the same pass: Z becomes
// Z cos(angle) and Y moves on by that Z times tan(angle), and the window sees
// the new Z. The cosine and tangent are taken in double and rounded to float;
// each new coordinate is rounded to float once.
struct HeightWindow {
    double minHeight = 0.0;
    double maxHeight = 0.0;
    bool compensate = false;
    double angleDegrees = 0.0;
};

// The window over `count` points from point `first`, for an adapter that
// filters its image a few scans at a time: `kept` points (at most `first`)
// are kept already, at the front, and the points kept here follow them, moved
// whole in their order. Returns how many are kept in all. Every point of the
// run is compensated, also those not kept; the bytes after the kept points
// keep what they held then (0, 0, n filters a whole image of n points).
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
// left (contrast and intensity follow the points wherever the Z helper
// resamples them), and runs the window over the points: the image's points as a 3D
// adapter hands them on. Returns how many are kept. It works a few scans at a
// time, so that each point is written, read back and moved while it is still
// in the cache; the result is the same as filling the whole image first.
size_t BuildPoints(ImageBuffer& image, const PointHelpers& helpers, const HeightWindow& window);
