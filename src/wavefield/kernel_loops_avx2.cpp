// The frame engine's loops with AVX2, four doubles per register. This file alone is built for AVX2 (and
// never for FMA); the engine calls it only where the processor reports AVX2 (CpuHasAvx2).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "wavefield/kernel_loops.h"

namespace lumar {
namespace {

struct Avx2 {
  using T = __m256d;
  static constexpr int kWidth = 4;
  static T Load(const double* p) { return _mm256_loadu_pd(p); }
  static T LoadFloats(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
  static void Store(double* p, T v) { _mm256_storeu_pd(p, v); }
  // Four classes' values, each one (height, slope) pair: classes 0 and 2, 1 and 3 in one register each,
  // then split into heights and slopes.
  static void GatherClasses(const ClassValue* values, const int32_t* classes, T& height, T& slope) {
    const T even = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&values[classes[0]].height)),
                                        _mm_loadu_pd(&values[classes[2]].height), 1);
    const T odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&values[classes[1]].height)),
                                       _mm_loadu_pd(&values[classes[3]].height), 1);
    height = _mm256_unpacklo_pd(even, odd);
    slope = _mm256_unpackhi_pd(even, odd);
  }
  static T Set1(double x) { return _mm256_set1_pd(x); }
  static T Ramp(int start) { return _mm256_setr_pd(start, start + 1.0, start + 2.0, start + 3.0); }
  static T Add(T a, T b) { return _mm256_add_pd(a, b); }
  static T Sub(T a, T b) { return _mm256_sub_pd(a, b); }
  static T Mul(T a, T b) { return _mm256_mul_pd(a, b); }
  static T Div(T a, T b) { return _mm256_div_pd(a, b); }
  static T Sqrt(T v) { return _mm256_sqrt_pd(v); }
  static T Min(T a, T b) { return _mm256_min_pd(a, b); }
  static T Max(T a, T b) { return _mm256_max_pd(a, b); }
  static T And(T a, T b) { return _mm256_and_pd(a, b); }
  static T Or(T a, T b) { return _mm256_or_pd(a, b); }
  static T Xor(T a, T b) { return _mm256_xor_pd(a, b); }
  static T SetBits(uint64_t bits) {
    return _mm256_castsi256_pd(_mm256_set1_epi64x(static_cast<long long>(bits)));
  }
  static T AddBits(T a, T b) {
    return _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b)));
  }
  template <int N>
  static T ShiftLeft(T a) {
    return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_castpd_si256(a), N));
  }
  static T SignMask(T a) {
    return _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_setzero_si256(), _mm256_castpd_si256(a)));
  }
  static T IsNan(T a) { return _mm256_cmp_pd(a, a, _CMP_UNORD_Q); }
  static T Negate(T v) { return _mm256_xor_pd(v, _mm256_set1_pd(-0.0)); }
  static T Reverse(T v) { return _mm256_permute4x64_pd(v, 0x1B); }
  static T RoundToFloat(T v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }
  // Four nodes' outputs: the float ones transposed to a node each, the refraction's x and y interleaved.
  static void StoreOutputs(NodeOutputs* p, T height, T normalX, T normalY, T unit, T refractionX,
                           T refractionY) {
    static_assert(offsetof(NodeOutputs, refractionX) == 16, "the four floats, then the refraction");
    __m128 h = _mm256_cvtpd_ps(height);
    __m128 x = _mm256_cvtpd_ps(normalX);
    __m128 y = _mm256_cvtpd_ps(normalY);
    __m128 u = _mm256_cvtpd_ps(unit);
    _MM_TRANSPOSE4_PS(h, x, y, u);
    const T even = _mm256_unpacklo_pd(refractionX, refractionY);  // nodes 0 and 2
    const T odd = _mm256_unpackhi_pd(refractionX, refractionY);   // nodes 1 and 3
    StoreNode(p, h, _mm256_castpd256_pd128(even));
    StoreNode(p + 1, x, _mm256_castpd256_pd128(odd));
    StoreNode(p + 2, y, _mm256_extractf128_pd(even, 1));
    StoreNode(p + 3, u, _mm256_extractf128_pd(odd, 1));
  }
  static void StoreNode(NodeOutputs* p, __m128 floats, __m128d refraction) {
    _mm256_storeu_pd(reinterpret_cast<double*>(p),
                     _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_castps_pd(floats)), refraction, 1));
  }
};

constexpr FrameKernels kAvx2Kernels = kernel_loops::MakeKernels<Avx2>();

}  // namespace

const FrameKernels& Avx2Kernels() { return kAvx2Kernels; }

}  // namespace lumar
