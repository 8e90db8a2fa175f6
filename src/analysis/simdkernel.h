#pragma once
// Run-time choice of the SIMD kernels of the numerical code (FFT, octave
// filter bank), so that one binary runs on every x86-64.

// Best is the widest SIMD this processor runs: AVX-512, else AVX2 with FMA,
// else the portable code (SSE2 on x86-64). The others name one kernel, for
// comparing kernels in tests and benchmarks.
enum class SimdKernel : int { Best, Portable, Avx2, Avx512 };

// The kernel to run for `wanted`: Best, and any kernel this processor lacks,
// resolve to the widest one it runs. Processors other than x86-64 run the
// portable code. Any thread.
SimdKernel ResolveSimdKernel(SimdKernel wanted);
