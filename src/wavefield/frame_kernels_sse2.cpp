// The frame engine's loops with SSE2, two doubles per register: every x86-64 processor has it.
#include <emmintrin.h>

#include <cstdint>

#include "wavefield/frame_kernels.h"

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
  static void StoreFloats(float* p, T v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_cvtpd_ps(v)); }
};

constexpr FrameKernels kSse2Kernels = frame_kernels::MakeKernels<Sse2>();

}  // namespace

const FrameKernels& Sse2Kernels() { return kSse2Kernels; }

}  // namespace lumar
