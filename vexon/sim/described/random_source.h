// The random numbers of RANDOM(...) responses: a generator whose sequence
// the standard fixes, seeded from the bus file, so a session answers the
// same on every run and on every machine.
#pragma once
#include <cstdint>
#include <random>

namespace vorel::sim::described {

struct RandomSource {
  std::mt19937_64 engine;
};

inline void Seed(RandomSource& r, uint64_t seed) { r.engine.seed(seed); }

// A number from min up to max, uniformly (53 random bits, as a double holds).
inline double Uniform(RandomSource& r, double min, double max) {
  const double u = static_cast<double>(r.engine() >> 11) * 0x1.0p-53;
  return min + (max - min) * u;
}

}  // namespace vorel::sim::described
