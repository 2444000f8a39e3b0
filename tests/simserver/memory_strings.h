#pragma once
// Memory strings 1 to 8 of analyzer-sim, read and cleared over its socket:
// what a run leaves in the analyzer, to compare runs through different doors.
#include <string>
#include <vector>

#include "simserver/server_process.h"

namespace multitone::testing {

inline std::vector<std::string> MemoryStrings(int port) {
  Client client(port);
  std::vector<std::string> strings;
  for (int i = 1; i <= 8; ++i) {
    client.Send("syst:mem:str" + std::to_string(i) + "?\n");
    strings.push_back(client.ReadLine().value_or("(no reply)"));
  }
  return strings;
}

inline void ClearMemoryStrings(int port) {
  Client client(port);
  for (int i = 1; i <= 8; ++i) client.Send("syst:mem:str" + std::to_string(i) + " \"\"\n");
  client.Send("*OPC?\n");
  EXPECT_EQ(client.ReadLine(), "1");
}

}  // namespace multitone::testing
