#pragma once
// The run's random numbers: one multiplicative congruential generator
// (multiplier 193, modulus 37447) that advances a seed held by its caller, and
// the variates built on one uniform number. Everything is 32-bit integer or
// single-precision arithmetic, so a run is reproduced bit for bit from its
// master file. The variate routines draw nothing themselves; several clamp
// their uniform input and write the clamped value back.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct Sim;

// Advances sd by one step and returns a uniform number in 0.00001..0.99999.
// A seed of 0 or below is turned into a positive one (0 continues like 1).
void random(int& sd, float& rnd);

// Derives the six streams seed[1..6] (the table's seed, seed[0] unused) from
// the master file's seed: seed[k] = inseed + 13 (k - 1); inseed is left at
// its start value + 78.
void setseed(int (&seed)[kRandomStreams + 1], int& inseed);

// Standard normal deviate (an inverse logistic curve): random is clamped to
// 0.01..0.99 in place; factor lies within +-2.5815.
void normal(float& random, float& factor);

// Negative exponential deviate of mean 1: random is clamped to 0.01..0.99 in
// place; factor lies within 0.01005..4.6052.
void negexp(float& random, float& factor);

// Lognormal deviate of the given mean (> 0) and coefficient of variation from
// the uniform number percent (clamped in place as by normal).
void lognorm(float mean, float cov, float& percent, float& obs);

// Poisson count of the given mean from the uniform number rnd: an inverse
// search below a mean of 10, the normal approximation (clamping rnd in place)
// from 10 on. Never negative.
void poisson(float& rnd, float mean, int& obs);

// Members of the family that a run does not call.
// Approximately standard normal: the sum of 12 draws on seed, minus 6.
void normal2(int& seed, float& rnd);
// factor = shift + 2 random (shift - 1).
void uniform(float random, float shift, float& factor);
// Shifted negative exponential; random is kept in (0, 1] and shift in 0..1,
// both written back.
void shfnegexp(float& random, float& shift, float& factor);
// Per-trip randomised link times (s) for links 1..mlnum with a length of 0 or
// more, each drawing from stream 3: a trip whose own random number is above
// 1000 (x above 0.1) takes tim_1 plus a uniform share of the spread up to the
// larger of tim_2 and 1.1 tim_1, widened by 1 + |fact|; the others take tim_2
// and still draw twice, so the stream advances the same way for every trip
// of a kind. Links not coded keep their tim_out and draw nothing.
void randunif(Sim& s, const Array1<float>& tim_1, const Array1<float>& tim_2,
              Array1<float>& tim_out, int car, float fact);

} // namespace velm
