#pragma once
// The standard library headers most files include, precompiled once for the
// libraries and programs (src/CMakeLists.txt, std_headers). Marked a system
// header, as these are when included one by one; GCC 12 still reports false
// bounds from their inlined code (see the top-level CMakeLists.txt).
#pragma GCC system_header
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>
