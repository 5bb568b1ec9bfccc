// The frame engine's loops with SSE2, two doubles per register: every x86-64 processor has it.
#include <emmintrin.h>

#include <cstdint>

#include "wavefield/kernel_loops.h"

namespace lumar {
namespace {

struct Sse2 {
  using T = __m128d;
  static constexpr int kWidth = 2;
  static T Load(const double* p) { return _mm_loadu_pd(p); }
  static T LoadFloats(const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
  }
  static void Store(double* p, T v) { _mm_storeu_pd(p, v); }
  // Two classes' values, each one (height, slope) pair, split into heights and slopes.
  static void GatherClasses(const ClassValue* values, const int32_t* classes, T& height, T& slope) {
    const T a = _mm_loadu_pd(&values[classes[0]].height);
    const T b = _mm_loadu_pd(&values[classes[1]].height);
    height = _mm_unpacklo_pd(a, b);
    slope = _mm_unpackhi_pd(a, b);
  }
  static T Set1(double x) { return _mm_set1_pd(x); }
  static T Ramp(int start) { return _mm_setr_pd(start, start + 1.0); }
  static T Add(T a, T b) { return _mm_add_pd(a, b); }
  static T Sub(T a, T b) { return _mm_sub_pd(a, b); }
  static T Mul(T a, T b) { return _mm_mul_pd(a, b); }
  static T Div(T a, T b) { return _mm_div_pd(a, b); }
  static T Sqrt(T v) { return _mm_sqrt_pd(v); }
  static T Min(T a, T b) { return _mm_min_pd(a, b); }
  static T Max(T a, T b) { return _mm_max_pd(a, b); }
  static T And(T a, T b) { return _mm_and_pd(a, b); }
  static T Or(T a, T b) { return _mm_or_pd(a, b); }
  static T Xor(T a, T b) { return _mm_xor_pd(a, b); }
  static T SetBits(uint64_t bits) { return _mm_castsi128_pd(_mm_set1_epi64x(static_cast<long long>(bits))); }
  static T AddBits(T a, T b) {
    return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(a), _mm_castpd_si128(b)));
  }
  template <int N>
  static T ShiftLeft(T a) {
    return _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(a), N));
  }
  // The sign copied over each 32-bit half, then the upper half's copy over the whole lane.
  static T SignMask(T a) {
    return _mm_castsi128_pd(
        _mm_shuffle_epi32(_mm_srai_epi32(_mm_castpd_si128(a), 31), _MM_SHUFFLE(3, 3, 1, 1)));
  }
  static T IsNan(T a) { return _mm_cmpunord_pd(a, a); }
  static T Negate(T v) { return _mm_xor_pd(v, _mm_set1_pd(-0.0)); }
  static T Reverse(T v) { return _mm_shuffle_pd(v, v, 1); }
  static T RoundToFloat(T v) { return _mm_cvtps_pd(_mm_cvtpd_ps(v)); }
  // Two nodes' outputs: the float ones interleaved to a node each, then the refraction's x and y.
  static void StoreOutputs(NodeOutputs* p, T height, T normalX, T normalY, T unit, T refractionX,
                           T refractionY) {
    const __m128 heightNormalX = _mm_unpacklo_ps(_mm_cvtpd_ps(height), _mm_cvtpd_ps(normalX));
    const __m128 normalYUnit = _mm_unpacklo_ps(_mm_cvtpd_ps(normalY), _mm_cvtpd_ps(unit));
    _mm_storeu_ps(&p[0].height, _mm_movelh_ps(heightNormalX, normalYUnit));
    _mm_storeu_pd(&p[0].refractionX, _mm_unpacklo_pd(refractionX, refractionY));
    _mm_storeu_ps(&p[1].height, _mm_movehl_ps(normalYUnit, heightNormalX));
    _mm_storeu_pd(&p[1].refractionX, _mm_unpackhi_pd(refractionX, refractionY));
  }
};

constexpr FrameKernels kSse2Kernels = kernel_loops::MakeKernels<Sse2>();

}  // namespace

const FrameKernels& Sse2Kernels() { return kSse2Kernels; }

}  // namespace lumar
