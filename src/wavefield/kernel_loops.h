// The inner loops of the frame engine, written once over a vector type V and built once per instruction
// set (kernel_loops_sse2.cpp, kernel_loops_avx2.cpp). V supplies kWidth doubles per register and Load,
// Store, LoadFloats (kWidth floats, widened), GatherClasses (the height and slope of kWidth classes' values),
// Set1, Ramp (start, start + 1, ...), Add, Sub, Mul, Div, Sqrt, Negate, Reverse, RoundToFloat (to single
// precision and back) and StoreOutputs (kWidth nodes' outputs, the float ones rounded). V also supplies the
// operations of our sin, cos and exp (wave_math.h). Every kernel does, lane by lane, exactly the double
// operations of the node-by-node evaluation in the same order, so each lane's result has the same bits as the
// scalar one.
//
// Everything here is a template on V, and each V lives in an unnamed namespace of its own file: no
// instruction set leaks into code that another file links.
#pragma once

#include <type_traits>

#include "wavefield/kernel_table.h"
#include "wavefield/lane_formulas.h"

namespace lumar {
namespace kernel_loops {

// Table offsets I in [from, to] of one row, in whole registers from `from` on: the last register may
// reach up to kWidth - 1 offsets past `to` (the tables and the term rows are padded for it), and the
// terms written there are either overwritten by the next segment of the row or never read.
template <class V>
struct RowWalk {
  int start;
  int end;  // exclusive
  RowWalk(int from, int to) : start(from), end(to + 1) {}
};

template <class V>
void StoreTerms(const RowTerms& out, int i, typename V::T height, typename V::T slope,
                typename V::T columnOffset, typename V::T rowOffset) {
  V::Store(out.height + i, height);
  if (out.slope != nullptr) V::Store(out.slope + i, slope);
  if (out.slopeX != nullptr) {
    using L = Lane<V>;
    V::Store(out.slopeX + i, (L{slope} * L{columnOffset}).v);
    V::Store(out.slopeY + i, (L{slope} * L{rowOffset}).v);
  }
}

// Two registers of V as one lane type: each operation is issued for both registers before the next, so
// the out-of-order core overlaps their chains of dependent operations (the polynomials of sin, cos and exp)
// instead of running one chain after the other. Each register's operations are those of V in the same
// order, so its lanes keep their bits.
template <class V>
struct Twin {
  struct T {
    typename V::T a, b;
  };
  static constexpr int kWidth = 2 * V::kWidth;
  static T LoadFloats(const float* p) { return {V::LoadFloats(p), V::LoadFloats(p + V::kWidth)}; }
  static T Set1(double x) {
    const auto v = V::Set1(x);
    return {v, v};
  }
  static T SetBits(uint64_t bits) {
    const auto v = V::SetBits(bits);
    return {v, v};
  }
  static T Add(const T& x, const T& y) { return {V::Add(x.a, y.a), V::Add(x.b, y.b)}; }
  static T Sub(const T& x, const T& y) { return {V::Sub(x.a, y.a), V::Sub(x.b, y.b)}; }
  static T Mul(const T& x, const T& y) { return {V::Mul(x.a, y.a), V::Mul(x.b, y.b)}; }
  static T Div(const T& x, const T& y) { return {V::Div(x.a, y.a), V::Div(x.b, y.b)}; }
  static T Min(const T& x, const T& y) { return {V::Min(x.a, y.a), V::Min(x.b, y.b)}; }
  static T Max(const T& x, const T& y) { return {V::Max(x.a, y.a), V::Max(x.b, y.b)}; }
  static T And(const T& x, const T& y) { return {V::And(x.a, y.a), V::And(x.b, y.b)}; }
  static T Or(const T& x, const T& y) { return {V::Or(x.a, y.a), V::Or(x.b, y.b)}; }
  static T Xor(const T& x, const T& y) { return {V::Xor(x.a, y.a), V::Xor(x.b, y.b)}; }
  static T AddBits(const T& x, const T& y) { return {V::AddBits(x.a, y.a), V::AddBits(x.b, y.b)}; }
  template <int N>
  static T ShiftLeft(const T& x) {
    return {V::template ShiftLeft<N>(x.a), V::template ShiftLeft<N>(x.b)};
  }
  static T SignMask(const T& x) { return {V::SignMask(x.a), V::SignMask(x.b)}; }
  static T IsNan(const T& x) { return {V::IsNan(x.a), V::IsNan(x.b)}; }
  static T Negate(const T& x) { return {V::Negate(x.a), V::Negate(x.b)}; }
};

// The terms of offsets [from, to] of a row, four registers at a time where Factors::kGroup is 4, then two,
// then one: factors(i, group) gives the factors of the registers from offset i on (computed together where
// they are computed), factors(i, first, second) those of two and factors(i, q) those of one.
template <class V, int kFactors, int kTerms, class Factors, class PartOf>
void TermsRow(const SourceTerms& s, double rowOffset, int from, int to, const RowTerms& out,
              const Factors& factors, PartOf partOf) {
  typename V::T coefficients[kTerms];
  for (int k = 0; k < kTerms; ++k) coefficients[k] = V::Set1(s.c[k]);
  const auto dy = V::Set1(rowOffset);
  const double step = V::kWidth;
  const RowWalk<V> walk(from, to);
  auto column = V::Ramp(walk.start);
  int i = walk.start;
  if constexpr (Factors::kGroup == 4) {
    for (; i + 3 * V::kWidth < walk.end; i += 4 * V::kWidth) {
      typename V::T group[4][kFactors];
      factors(i, group);
      for (int g = 0; g < 4; ++g) {
        typename V::T h, f;
        partOf(group[g], coefficients, h, f);
        StoreTerms<V>(out, i + g * V::kWidth, h, f, column, dy);
        column = (Lane<V>{column} + step).v;
      }
    }
  }
  for (; i + V::kWidth < walk.end; i += 2 * V::kWidth) {
    typename V::T first[kFactors], second[kFactors];
    factors(i, first, second);
    typename V::T h, f;
    partOf(first, coefficients, h, f);
    StoreTerms<V>(out, i, h, f, column, dy);
    column = (Lane<V>{column} + step).v;
    partOf(second, coefficients, h, f);
    StoreTerms<V>(out, i + V::kWidth, h, f, column, dy);
    column = (Lane<V>{column} + step).v;
  }
  if (i < walk.end) {
    typename V::T q[kFactors];
    factors(i, q);
    typename V::T h, f;
    partOf(q, coefficients, h, f);
    StoreTerms<V>(out, i, h, f, column, dy);
  }
}

// Computed factors: factorsOf(lane, r, ir, q) with the lane type V for one register, Twin<V> for two and
// Twin<Twin<V>> for a group of four.
template <class V, int kFactors, int kGroupSize, class FactorsOf>
struct ComputedFactors {
  static_assert(kGroupSize == 2 || kGroupSize == 4, "groups of two or four registers");
  static constexpr int kGroup = kGroupSize;
  const float* distances;
  const float* inverseDistances;
  FactorsOf factorsOf;
  void operator()(int i, typename V::T (&group)[4][kFactors]) const {
    using W = Twin<Twin<V>>;
    typename W::T q[kFactors];
    factorsOf(W{}, W::LoadFloats(distances + i), W::LoadFloats(inverseDistances + i), q);
    for (int k = 0; k < kFactors; ++k) {
      group[0][k] = q[k].a.a;
      group[1][k] = q[k].a.b;
      group[2][k] = q[k].b.a;
      group[3][k] = q[k].b.b;
    }
  }
  void operator()(int i, typename V::T (&first)[kFactors], typename V::T (&second)[kFactors]) const {
    using W = Twin<V>;
    typename W::T q[kFactors];
    factorsOf(W{}, W::LoadFloats(distances + i), W::LoadFloats(inverseDistances + i), q);
    for (int k = 0; k < kFactors; ++k) {
      first[k] = q[k].a;
      second[k] = q[k].b;
    }
  }
  void operator()(int i, typename V::T (&q)[kFactors]) const {
    factorsOf(V{}, V::LoadFloats(distances + i), V::LoadFloats(inverseDistances + i), q);
  }
};

template <class V, int kFactors, int kGroup, class FactorsOf>
ComputedFactors<V, kFactors, kGroup, FactorsOf> Computed(const float* distances,
                                                         const float* inverseDistances, FactorsOf factorsOf) {
  return {distances, inverseDistances, factorsOf};
}

// How many registers the computed factors take at once in each form of sin, cos and exp: four where the
// short form leaves out the range reduction, two where the reduction's values would not all stay in the
// registers (a group of four spills them: the lean form measured 1.7 times slower).
constexpr int FactorGroupFor(int form) { return form == kShortForm ? 4 : 2; }

// The factors of a table row, plane by plane, a register at a time.
template <class V, int kCount>
struct FromPlanes {
  static constexpr int kGroup = 2;
  const TableRow& row;
  void operator()(int i, typename V::T (&q)[kCount]) const {
    for (int k = 0; k < kCount; ++k) q[k] = V::Load(row.plane[k] + i);
  }
  void operator()(int i, typename V::T (&first)[kCount], typename V::T (&second)[kCount]) const {
    (*this)(i, first);
    (*this)(i + V::kWidth, second);
  }
};

// The branches' part formulas as objects: passed as function pointers they may stay calls inside the rows'
// loops.
template <class V>
constexpr auto kRisingPart =
    [](const auto& p, const auto& c, auto& height, auto& slope) { RisingPartOf<V>(p, c, height, slope); };
template <class V>
constexpr auto kBehindCrestPart = [](const auto& q, const auto& c, auto& height, auto& slope) {
  BehindCrestPartOf<V>(q, c, height, slope);
};
template <class V>
constexpr auto kAheadOfCrestPart = [](const auto& q, const auto& c, auto& height, auto& slope) {
  AheadOfCrestPartOf<V>(q, c, height, slope);
};

// The branches' terms from the tables' factors.
template <class V>
void RisingRow(const TableRow& row, const SourceTerms& s, double rowOffset, int from, int to,
               const RowTerms& out) {
  TermsRow<V, 4, 2>(s, rowOffset, from, to, out, FromPlanes<V, 4>{row}, kRisingPart<V>);
}

template <class V>
void BehindCrestRow(const TableRow& row, const SourceTerms& s, double rowOffset, int from, int to,
                    const RowTerms& out) {
  TermsRow<V, 5, 5>(s, rowOffset, from, to, out, FromPlanes<V, 5>{row}, kBehindCrestPart<V>);
}

template <class V>
void AheadOfCrestRow(const TableRow& row, const SourceTerms& s, double rowOffset, int from, int to,
                     const RowTerms& out) {
  TermsRow<V, 6, 6>(s, rowOffset, from, to, out, FromPlanes<V, 6>{row}, kAheadOfCrestPart<V>);
}

// A row of terms from factors computed at the distances: factorsOf(lane, form, r, ir, q), with form a
// std::integral_constant naming the form of sin, cos and exp that the arguments allow (inputs.form).
template <class V, int kFactors, int kTerms, class FactorsOf, class PartOf>
void ComputedTermsRow(const float* distances, const float* inverseDistances, const FactorInputs& inputs,
                      const SourceTerms& s, double rowOffset, int from, int to, const RowTerms& out,
                      FactorsOf factorsOf, PartOf partOf) {
  const auto run = [&](auto form) {
    TermsRow<V, kFactors, kTerms>(
        s, rowOffset, from, to, out,
        Computed<V, kFactors, FactorGroupFor(decltype(form)::value)>(
            distances, inverseDistances,
            [&](auto lane, const auto& r, const auto& ir, auto& q) { factorsOf(lane, form, r, ir, q); }),
        partOf);
  };
  if (inputs.form == kShortForm) {
    run(std::integral_constant<int, kShortForm>{});
  } else if (inputs.form == kLeanForm) {
    run(std::integral_constant<int, kLeanForm>{});
  } else {
    run(std::integral_constant<int, kFullForm>{});
  }
}

// The rising branch's terms with its factors computed from the distances (a young broadened source).
template <class V>
void RisingComputedRow(const float* distances, const float* inverseDistances, const FactorInputs& inputs,
                       const SourceTerms& s, double rowOffset, int from, int to, const RowTerms& out) {
  ComputedTermsRow<V, 4, 2>(
      distances, inverseDistances, inputs, s, rowOffset, from, to, out,
      [&inputs](auto lane, auto, const auto& r, const auto& ir, auto& q) {
        RiseFactorsAt<decltype(lane)>(inputs, r, ir, q);
      },
      kRisingPart<V>);
}

// The travelling branches' terms with their factors computed from the distances, two registers at a time.
template <class V>
void BehindCrestComputedRow(const float* distances, const float* inverseDistances, const FactorInputs& inputs,
                            const SourceTerms& s, double rowOffset, int from, int to, const RowTerms& out) {
  ComputedTermsRow<V, 5, 5>(
      distances, inverseDistances, inputs, s, rowOffset, from, to, out,
      [&inputs](auto lane, auto form, const auto& r, const auto& ir, auto& q) {
        TrailFactorsAt<decltype(lane), decltype(form)::value>(inputs, r, ir, q);
      },
      kBehindCrestPart<V>);
}

template <class V>
void AheadOfCrestComputedRow(const float* distances, const float* inverseDistances,
                             const FactorInputs& inputs, const SourceTerms& s, double rowOffset, int from,
                             int to, const RowTerms& out) {
  ComputedTermsRow<V, 6, 6>(
      distances, inverseDistances, inputs, s, rowOffset, from, to, out,
      [&inputs](auto lane, auto form, const auto& r, const auto& ir, auto& q) {
        LeadFactorsAt<decltype(lane), decltype(form)::value>(inputs, r, ir, q);
      },
      kAheadOfCrestPart<V>);
}

// One step of the accumulation: the node's sums plus one source's terms, the slope terms negated (as
// subtractions) on the mirrored side.
template <class V, bool kNegateX, bool kNegateY>
void AddTerms(double* h, double* gx, double* gy, typename V::T th, typename V::T tx, typename V::T ty) {
  using L = Lane<V>;
  V::Store(h, (L{V::Load(h)} + L{th}).v);
  V::Store(gx, (kNegateX ? L{V::Load(gx)} - L{tx} : L{V::Load(gx)} + L{tx}).v);
  V::Store(gy, (kNegateY ? L{V::Load(gy)} - L{ty} : L{V::Load(gy)} + L{ty}).v);
}

// The same for one node, node k of the run.
template <bool kNegateX, bool kNegateY>
void AddTerm(const NodeSums& nodes, int k, double th, double tx, double ty) {
  nodes.height[k] += th;
  nodes.slopeX[k] = kNegateX ? nodes.slopeX[k] - tx : nodes.slopeX[k] + tx;
  nodes.slopeY[k] = kNegateY ? nodes.slopeY[k] - ty : nodes.slopeY[k] + ty;
}

// Adds terms I = first .. first + count - 1 to count consecutive nodes: forward (node k takes I = first + k,
// the side where dx = +I) or backward (node k takes I = first - k, the side where dx = -I).
template <class V, bool kBackward, bool kNegateY>
void ApplyRunAs(const RowTerms& terms, int first, int count, const NodeSums& nodes) {
  int k = 0;
  for (; k + V::kWidth <= count; k += V::kWidth) {
    const int i = kBackward ? first - k - (V::kWidth - 1) : first + k;
    auto th = V::Load(terms.height + i);
    auto tx = V::Load(terms.slopeX + i);
    auto ty = V::Load(terms.slopeY + i);
    if (kBackward) {
      th = V::Reverse(th);
      tx = V::Reverse(tx);
      ty = V::Reverse(ty);
    }
    AddTerms<V, kBackward, kNegateY>(nodes.height + k, nodes.slopeX + k, nodes.slopeY + k, th, tx, ty);
  }
  for (; k < count; ++k) {
    const int i = kBackward ? first - k : first + k;
    AddTerm<kBackward, kNegateY>(nodes, k, terms.height[i], terms.slopeX[i], terms.slopeY[i]);
  }
}

template <class V>
void ApplyRun(const RowTerms& terms, int first, int count, const NodeSums& nodes, bool backward,
              bool negateY) {
  if (backward) {
    negateY ? ApplyRunAs<V, true, true>(terms, first, count, nodes)
            : ApplyRunAs<V, true, false>(terms, first, count, nodes);
  } else {
    negateY ? ApplyRunAs<V, false, true>(terms, first, count, nodes)
            : ApplyRunAs<V, false, false>(terms, first, count, nodes);
  }
}

// The values of a run of distance classes added to up to four mirrored runs of nodes in one pass
// (ClassRunKernel): each register of offsets gathers its classes' values, makes the terms as a row of terms
// holds them (StoreTerms) and adds them as ApplyRunAs adds them, reversed on the left side.
template <class V>
void ClassRun(const ClassValue* values, const int32_t* classes, double rowOffset, int first, int count,
              const ClassRunTargets& targets) {
  using L = Lane<V>;
  const ClassRunTargets t = targets;  // a copy of its own: the pointers cannot change as the sums are stored
  const auto add = [](const NodeSums& nodes, int k, auto negateX, auto negateY, auto th, auto tx, auto ty) {
    if (nodes.height == nullptr) return;
    constexpr bool kNegateX = decltype(negateX)::value;
    constexpr bool kNegateY = decltype(negateY)::value;
    if constexpr (std::is_same_v<decltype(th), double>) {
      AddTerm<kNegateX, kNegateY>(nodes, k, th, tx, ty);
    } else {
      AddTerms<V, kNegateX, kNegateY>(nodes.height + k, nodes.slopeX + k, nodes.slopeY + k, th, tx, ty);
    }
  };
  constexpr std::false_type plus{};
  constexpr std::true_type minus{};
  const auto dy = V::Set1(rowOffset);
  const double step = V::kWidth;
  auto column = V::Ramp(first);
  const bool left = t.upLeft.height != nullptr || t.downLeft.height != nullptr;
  int k = 0;
  for (; k + V::kWidth <= count; k += V::kWidth) {
    typename V::T th, slope;
    V::GatherClasses(values, classes + first + k, th, slope);
    const auto tx = (L{slope} * L{column}).v;
    const auto ty = (L{slope} * L{dy}).v;
    column = (L{column} + step).v;
    add(t.upRight, k, plus, plus, th, tx, ty);
    add(t.downRight, k, plus, minus, th, tx, ty);
    if (left) {
      const auto rh = V::Reverse(th);
      const auto rx = V::Reverse(tx);
      const auto ry = V::Reverse(ty);
      const int m = count - k - V::kWidth;
      add(t.upLeft, m, minus, plus, rh, rx, ry);
      add(t.downLeft, m, minus, minus, rh, rx, ry);
    }
  }
  for (; k < count; ++k) {
    const int i = first + k;
    const ClassValue& value = values[classes[i]];
    const double th = value.height;
    const double tx = value.slope * i;
    const double ty = value.slope * rowOffset;
    const int m = count - 1 - k;
    add(t.upRight, k, plus, plus, th, tx, ty);
    add(t.downRight, k, plus, minus, th, tx, ty);
    add(t.upLeft, m, minus, plus, th, tx, ty);
    add(t.downLeft, m, minus, minus, th, tx, ty);
  }
}

// NodeFieldFromSums a register at a time (NodeOutputOf).
template <class V>
int OutputRow(const OutputScales& scales, const double* height, const double* slopeX, const double* slopeY,
              int count, NodeOutputs* out) {
  int i = 0;
  for (; i + V::kWidth <= count; i += V::kWidth) {
    NodeOutput<V> o;
    NodeOutputOf<V>(scales, V::Load(height + i), V::Load(slopeX + i), V::Load(slopeY + i), o);
    V::StoreOutputs(out + i, o.height, o.normalX, o.normalY, o.unit, o.refractionX, o.refractionY);
  }
  return i;
}

template <class V>
constexpr FrameKernels MakeKernels() {
  return FrameKernels{&RisingRow<V>,
                      &BehindCrestRow<V>,
                      &AheadOfCrestRow<V>,
                      &RisingComputedRow<V>,
                      &BehindCrestComputedRow<V>,
                      &AheadOfCrestComputedRow<V>,
                      &ApplyRun<V>,
                      &ClassRun<V>,
                      &OutputRow<V>};
}

}  // namespace kernel_loops
}  // namespace lumar
