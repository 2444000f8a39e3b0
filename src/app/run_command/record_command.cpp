// multitone record show FILE: a record as a transcript, as --trace shows a
// run. multitone record diff A B: where two records part. Exit status 0
// (diff: the records agree), 1 (diff: they differ), 2 for a bad command line
// or a record that cannot be read.
#include <iostream>

#include "app/setup/command_line.h"
#include "app/run_command/record_command.h"
#include "replay/record_difference.h"
#include "replay/record_file.h"
#include "replay/record_transcript.h"

namespace multitone {

int RecordCommand(int argc, const char* const* argv) {
  std::string shown, first, second;
  CLI::App app("Records of runs (--record FILE).", "multitone record");
  app.require_subcommand(1);
  CLI::App* show = app.add_subcommand("show", "Every operation of a record, as --trace shows a run");
  show->add_option("FILE", shown, "The record")->required();
  CLI::App* diff = app.add_subcommand(
      "diff", "Where two records part: the first operation that differs and the memory strings that differ");
  diff->add_option("A", first, "The first record")->required();
  diff->add_option("B", second, "The second record")->required();
  if (const auto status = ParseCommandLine(app, argc, argv)) return *status;

  try {
    if (show->parsed()) {
      std::cout << TranscriptOf(ReadRecordFile(shown));
      return 0;
    }
    const LinkRecord a = ReadRecordFile(first);
    const LinkRecord b = ReadRecordFile(second);
    const RecordDifference difference = DifferenceOf(a, b);
    std::cout << DescribeDifference(a, b, difference);
    return difference.first_operation ? 1 : 0;
  } catch (const RecordError& error) {
    std::cerr << "multitone record: " << error.what() << '\n';
    return 2;
  }
}

}  // namespace multitone
