#pragma once
// The speed-based fuel model: fuel from speed polynomials derived from the two
// fuel-economy ratings, HC, CO and NOx from polynomials in speed and ambient
// temperature, with corrections for cold air and for engines not yet warm.
// The per-second accounting evaluates the regression or the power model; this
// one is kept beside them and evaluated only on request.
#include "core/model/array.h"

#include <array>

namespace velm {

inline constexpr int kSpeedModelSpecies = 3; // HC, CO, NOx
inline constexpr int kSpeedModelConfact = 5; // confact(1..5); 4 and 5 are left alone

// Fuel (l) over ddd ticks between the smoothed speeds spds[0] (previous) and
// spds[1] (now), km/h; confact[0..2] the HC, CO and NOx factors at the mean
// speed and temperature temp (never negative).
void environ(int ddd, const std::array<float, 2>& spds, float temp, const Array3<float>& emiss,
             float& fuelrat, const Array2<float>& fueluse,
             std::array<float, kSpeedModelConfact>& confact);
// Correction of fuelrat for cold ambient air.
void ambifuel(float& fuelrat, float temp, const Array2<float>& coldfuel);
// Cold-start correction of fuelrat for a trip dist km into its journey.
void cldfuel(float& fuelrat, float temp, float dist, const Array2<float>& coldfuel);
// Cold-start corrected HC, CO and NOx (temis[0..2]) of fuel fuelrat, time s
// after the trip's scheduled departure.
void cldemis(float fuelrat, const std::array<float, kSpeedModelConfact>& confact,
             std::array<float, kSpeedModelConfact>& temis, float time, float temp,
             const Array2<float>& coldemis);

} // namespace velm
