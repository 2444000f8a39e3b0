// multitone-serve: "multitone serve", the station's front panel, as a
// program of its own (see app/helper_program.h): only it links the HTTP
// server. Its command line and exit status are those of app/serve_command.h.
#include <csignal>

#include "app/output_check.h"
#include "app/serve/serve_command.h"

int main(int argc, char** argv) {
  // A browser that goes away mid-answer must show as an error, never kill us.
  std::signal(SIGPIPE, SIG_IGN);
  return multitone::CheckOutput(multitone::ServeCommand(argc, argv));
}
