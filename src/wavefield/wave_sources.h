// The ripple sources' life cycle: spawning at random grid nodes, the per-frame update of each source's
// coefficients from its clock, and retirement after 3T.
#pragma once

#include "platform/millisecond_clock.h"
#include "platform/random_generator.h"
#include "wavefield/wave_field.h"

namespace lumar {

// Activates the record at index sourceCount as a new source at a random node and draws
// nextSpawnInterval. With all 70 records active it only draws a new interval and returns false.
bool SpawnSource(WaveField& field, const MillisecondClock& clock, RandomGenerator& random);

// Once per frame, before the surface is evaluated: DecideSpawn, then RetireAndUpdateSources. The frame
// step may call the two halves itself to read its frame time in between.
void AdvanceSources(WaveField& field, const MillisecondClock& clock, RandomGenerator& random);

// Spawns one source when the newest source (or, with none, the spawn clock) is older than
// nextSpawnInterval. Returns whether a source was spawned.
bool DecideSpawn(WaveField& field, const MillisecondClock& clock, RandomGenerator& random);

// Retires the oldest source when it is older than 3T (one at most), then updates every active source.
void RetireAndUpdateSources(WaveField& field, const MillisecondClock& clock);

// Recomputes one source's age, envelope, front and coefficients from its clock.
void UpdateSource(RippleSource& source, const WaveField& field, const MillisecondClock& clock);

// Ends every ripple at once; the records keep their contents.
void ClearSources(SourceSet& set);

// Draws the interval to the next spawn into nextSpawnInterval (exponential, mean 3T/drops, intervals
// above 20T/drops redrawn). Used by SpawnSource; exposed for the spawn schedule's tests.
void DrawSpawnInterval(WaveField& field, RandomGenerator& random);

}  // namespace lumar
