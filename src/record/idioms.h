#pragma once
// The link as the run's steps use it: through the record's Analyzer field,
// created on first use, and the two idioms every step builds on.
#include <string_view>

#include "record/measurement_record.h"

namespace multitone {

// The record's link, created through record.CreateAnalyzer when the field is
// still empty. Every operation of the run goes through here, so the check
// happens before each of them; only the first finds the field empty.
AnalyzerLink& Link(MeasurementRecord& record);

// Write of the text, then Read; the reply lands in LastResponse.
void Query(MeasurementRecord& record, std::string_view text);

// Query of the setting; the set command is written only when the reply
// differs from `expected` (exact, case-sensitive, nothing trimmed). The
// setting is not queried again afterwards.
void EnsureSetting(MeasurementRecord& record, std::string_view query, std::string_view expected,
                   std::string_view set_command);

}  // namespace multitone
