#pragma once

#include <cstddef>
#include <cstdint>

class ImageBuffer;

// The passes a 3D adapter runs in place over the points of its image once
// every coordinate is filled. Points are floats X, Y, Z (and C, I), one after
// another, `GetBytesPerPixel` bytes apart from the start of the image.
// Reentrant: they touch nothing but the image they are given.

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
