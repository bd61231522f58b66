#pragma once

#include <cstddef>
#include <cstdint>

class ImageBuffer;

// The passes a 3D adapter runs in place over the points of its image once
// every coordinate is filled. Points are floats X, Y, Z (and C, I), one after
// another, `GetBytesPerPixel` bytes apart from the start of the image.
// Reentrant: they touch nothing but the image they are given.

// Undoes the tilt of a laser plane at `angleDegrees` to the XZ plane for the
// first `points` points: Z becomes Z cos(angle) and Y moves on by that Z times
// tan(angle). The cosine and tangent are taken in double and rounded to float,
// each new coordinate is rounded to float once.
void CompensateLaserPlane(ImageBuffer& image, size_t points, double angleDegrees);

// Keeps, of the first `points` points, those whose Z lies within
// `minHeight` to `maxHeight` (both included; a Z that is not a number never
// does), moved whole to the front of the image in their order. Returns how
// many were kept; the bytes after them keep what they held.
int32_t FilterHeights(ImageBuffer& image, size_t points, double minHeight, double maxHeight);
