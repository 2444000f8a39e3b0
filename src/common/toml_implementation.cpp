// toml++'s implementation, compiled once into the programs that read TOML
// (limits, the station file): everything else includes <toml++/toml.h> as
// declarations only (TOML_HEADER_ONLY=0, set by the build).
#define TOML_IMPLEMENTATION
#include <toml++/toml.h>
