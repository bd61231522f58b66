#pragma once

#include <cstddef>
#include <cstdint>

// The per-pixel loops that turn 16-bit results into 8-bit grayscale images.
// Each has a portable path and, on x86, wider ones for processors with AVX2
// and with AVX-512 (with VBMI); the entry points pick the widest at run time,
// so one binary runs on any x86-64, and take a long plane in blocks from its
// end, the part an extraction filter wrote last. Every path gives the same
// bytes.
namespace grayscale {

// bytes[n] = the low byte of the truncated centre of gravity of sums[n] and
// xsums[n]: numerator ((sum word >> 13) << 16) + xsum word, divided by the
// low 13 bits of the sum word; 0 where those bits are 0.
void FillCog(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count);
// bytes[n] = the high byte of words[n].
void FillHighBytes(const uint16_t* words, uint8_t* bytes, size_t count);

// The paths themselves, for the tests that hold them to each other.
void FillCogPortable(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count);
void FillHighBytesPortable(const uint16_t* words, uint8_t* bytes, size_t count);
// False where the processor or the build has no AVX2 path; the Avx2
// functions must then not be called.
bool HasAvx2();
void FillCogAvx2(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count);
void FillHighBytesAvx2(const uint16_t* words, uint8_t* bytes, size_t count);
// False where the processor or the build has no AVX-512 path (AVX-512 F, BW
// and VBMI); the Avx512 functions must then not be called.
bool HasAvx512();
void FillCogAvx512(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count);
void FillHighBytesAvx512(const uint16_t* words, uint8_t* bytes, size_t count);

}  // namespace grayscale
