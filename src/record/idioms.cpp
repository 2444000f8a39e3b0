#include "record/idioms.h"

#include "common/run_error.h"

namespace multitone {

AnalyzerLink& Link(MeasurementRecord& record) {
  if (!record.Analyzer) {
    if (!record.CreateAnalyzer) {
      throw RunError(ErrorNumber::LinkCannotBeCreated, "no analyzer is configured");
    }
    record.Analyzer = record.CreateAnalyzer();
    if (!record.Analyzer) {
      throw RunError(ErrorNumber::LinkCannotBeCreated, "the analyzer link was not created");
    }
  }
  return *record.Analyzer;
}

void Query(MeasurementRecord& record, std::string_view text) {
  Link(record).Write(text);
  record.LastResponse = Link(record).Read();
}

void EnsureSetting(MeasurementRecord& record, std::string_view query, std::string_view expected,
                   std::string_view set_command) {
  Query(record, query);
  if (record.LastResponse != expected) Link(record).Write(set_command);
}

}  // namespace multitone
