#include "sim/real_fft.h"

#include <fftw3.h>

#include <mutex>
#include <new>
#include <stdexcept>
#include <string>

#include "common/shared_library.h"

namespace multitone::sim {
namespace {

// FFTW is loaded by the first transform instead of when the program starts:
// multitone needs it only for the built-in analyzer, not for a run against
// a real one. Only the functions used here, each under its own name.
struct FftwFunctions {
  decltype(&::fftw_alloc_complex) fftw_alloc_complex;
  decltype(&::fftw_alloc_real) fftw_alloc_real;
  decltype(&::fftw_destroy_plan) fftw_destroy_plan;
  decltype(&::fftw_execute) fftw_execute;
  decltype(&::fftw_free) fftw_free;
  decltype(&::fftw_plan_dft_c2r_1d) fftw_plan_dft_c2r_1d;
  decltype(&::fftw_plan_dft_r2c_1d) fftw_plan_dft_r2c_1d;
};

constexpr const char* kFftw = "libfftw3.so.3";

// The library's handle is never closed: its functions are used until exit.
FftwFunctions LoadFftw() {
  std::string why;
  void* library = OpenSharedLibrary(kFftw, why);
  if (library == nullptr) {
    throw std::runtime_error(std::string("simulated analyzer: cannot load the FFT library ") + kFftw +
                             " (Debian package libfftw3-double3): " + why);
  }
  FftwFunctions functions{};
  const auto bind = [library](auto& function, const char* name) {
    if (!TakeSharedLibraryFunction(library, name, function)) {
      throw std::runtime_error(std::string(kFftw) + " has no " + name);
    }
  };
  bind(functions.fftw_alloc_complex, "fftw_alloc_complex");
  bind(functions.fftw_alloc_real, "fftw_alloc_real");
  bind(functions.fftw_destroy_plan, "fftw_destroy_plan");
  bind(functions.fftw_execute, "fftw_execute");
  bind(functions.fftw_free, "fftw_free");
  bind(functions.fftw_plan_dft_c2r_1d, "fftw_plan_dft_c2r_1d");
  bind(functions.fftw_plan_dft_r2c_1d, "fftw_plan_dft_r2c_1d");
  return functions;
}

const FftwFunctions& Fftw() {
  static const FftwFunctions functions = LoadFftw();
  return functions;
}

std::mutex& PlannerLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

RealFft::RealFft(std::size_t size) : size_(size) {
  const std::lock_guard<std::mutex> guard(PlannerLock());
  samples_ = Fftw().fftw_alloc_real(size);
  bins_ = reinterpret_cast<std::complex<double>*>(Fftw().fftw_alloc_complex(size / 2 + 1));
  if (samples_ == nullptr || bins_ == nullptr) throw std::bad_alloc();
  auto* bins = reinterpret_cast<fftw_complex*>(bins_);
  const int n = static_cast<int>(size);
  forward_ = Fftw().fftw_plan_dft_r2c_1d(n, samples_, bins, FFTW_ESTIMATE);
  inverse_ = Fftw().fftw_plan_dft_c2r_1d(n, bins, samples_, FFTW_ESTIMATE);
  if (forward_ == nullptr || inverse_ == nullptr) throw std::bad_alloc();
}

RealFft::~RealFft() {
  const std::lock_guard<std::mutex> guard(PlannerLock());
  Fftw().fftw_destroy_plan(static_cast<fftw_plan>(forward_));
  Fftw().fftw_destroy_plan(static_cast<fftw_plan>(inverse_));
  Fftw().fftw_free(samples_);
  Fftw().fftw_free(bins_);
}

void RealFft::Forward() { Fftw().fftw_execute(static_cast<fftw_plan>(forward_)); }
void RealFft::Inverse() { Fftw().fftw_execute(static_cast<fftw_plan>(inverse_)); }

}  // namespace multitone::sim
