// Deterministic procedural noise for the picture generator: gradient noise on an integer lattice hashed
// from the coordinates and a seed, so every run gives the same pictures on every machine.
#pragma once

#include <cstdint>

namespace lumar::tools {

// Gradient noise in about [-1, 1], smooth, zero at lattice points.
double GradientNoise(double x, double y, uint32_t seed);

// Sum of `octaves` layers of gradient noise, each twice the frequency and half the amplitude of the last,
// normalised to about [-1, 1].
double FractalNoise(double x, double y, int octaves, uint32_t seed);

// A hash of integers, uniform in [0, 1).
double HashUnit(int64_t a, int64_t b, uint32_t seed);

double SmoothStep(double edge0, double edge1, double x);
double Clamp01(double x);
double Mix(double a, double b, double t);

}  // namespace lumar::tools
