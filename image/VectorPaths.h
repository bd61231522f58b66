#pragma once

// The vector instructions this processor offers the image kernels, found once
// for the process and read by every kernel that picks a path at run time, so
// one binary runs on any x86 and each kernel takes the widest path it has.
// Each flag is false where the build has no such path (not x86). Thread-safe.
struct VectorPaths {
    bool avx2 = false;
    // AVX-512 F and BW with the byte permutation (VBMI): the grayscale kernels.
    bool avx512Bytes = false;
    // AVX-512 F with BMI2's bit deposit: the point filter (64-bit x86 only).
    bool avx512Points = false;
};

const VectorPaths& ThisProcessor();
