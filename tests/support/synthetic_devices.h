#pragma once
// Deterministic analyzer replies for whole-run transcript tests: a plausible
// device (tones near 0.19 V, harmonics of the 1 kHz tone, crosstalk at the
// tones only one channel plays, a noise floor) and a device whose right
// channel is dead. tests/app/golden/make_transcripts.py builds the same
// replies and works out, independently, every text the run must send.
#include "support/run_script.h"

namespace multitone::testing {

AnalyzerScript PlausibleDevice();
AnalyzerScript DeadRightDevice();

}  // namespace multitone::testing
