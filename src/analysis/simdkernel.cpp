#include "analysis/simdkernel.h"

namespace {

#if defined(__x86_64__)
bool Supported(SimdKernel kernel)
{
    __builtin_cpu_init();
    switch (kernel) {
    case SimdKernel::Avx512:
        return __builtin_cpu_supports("avx512f");
    case SimdKernel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    default:
        return true;
    }
}

SimdKernel WidestSupported()
{
    if (Supported(SimdKernel::Avx512))
        return SimdKernel::Avx512;
    if (Supported(SimdKernel::Avx2))
        return SimdKernel::Avx2;
    return SimdKernel::Portable;
}
#endif

} // namespace

SimdKernel ResolveSimdKernel(SimdKernel wanted)
{
#if defined(__x86_64__)
    static const SimdKernel widest = WidestSupported();
    return wanted == SimdKernel::Best || !Supported(wanted) ? widest : wanted;
#else
    (void)wanted;
    return SimdKernel::Portable;
#endif
}
