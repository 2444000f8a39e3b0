#pragma once
// The steps of the run that hand the results back to the analyzer: memory
// strings 1 to 8, the response traces of the sweep graph, and the results
// table in the explanation window. They send commands and read no reply.
#include "record/measurement_record.h"

namespace multitone {

void WriteResultStrings(MeasurementRecord& record);
void DrawResponseGraph(MeasurementRecord& record);
void ShowResultsTable(MeasurementRecord& record);

// (1 - PitchFactor) × 100 in 64-bit floating point: a fast device (reference
// tone above 1 kHz) has a negative pitch error.
double PitchErrorPercent(const MeasurementRecord& record);

}  // namespace multitone
