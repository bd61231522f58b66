#include "image/VectorPaths.h"

namespace {

VectorPaths Probe() {
    VectorPaths paths;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    paths.avx2 = __builtin_cpu_supports("avx2");
    const bool avx512 = __builtin_cpu_supports("avx512f");
    paths.avx512Bytes =
        avx512 && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
#if defined(__x86_64__)
    paths.avx512Points = avx512 && __builtin_cpu_supports("bmi2");
#endif
#endif
    return paths;
}

}  // namespace

const VectorPaths& ThisProcessor() {
    static const VectorPaths paths = Probe();
    return paths;
}
