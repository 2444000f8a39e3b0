#pragma once
// Access to a table element by an index the run has computed. An index
// outside the table is the index-out-of-range error (9), never a stray read
// or write; a float index is first turned into a 32-bit integer (an overflow
// there is error 6).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/general_value.h"
#include "common/run_error.h"

namespace multitone {

template <typename T>
T& At(std::vector<T>& table, long long index, std::string_view name) {
  if (index < 0 || static_cast<unsigned long long>(index) >= table.size()) {
    throw RunError(ErrorNumber::IndexOutOfRange,
                   std::string(name) + "(" + std::to_string(index) + ") is outside 0 to " +
                       std::to_string(static_cast<long long>(table.size()) - 1));
  }
  return table[static_cast<std::size_t>(index)];
}

template <typename T>
const T& At(const std::vector<T>& table, long long index, std::string_view name) {
  return At(const_cast<std::vector<T>&>(table), index, name);
}

// The element at a bin held as a float (a whole number in a normal run).
template <typename T>
const T& AtBin(const std::vector<T>& table, double bin, std::string_view name) {
  return At(table, ToInt32(bin), name);
}

}  // namespace multitone
