#include "sim/real_fft.h"

#include <fftw3.h>

#include <mutex>
#include <new>

namespace multitone::sim {
namespace {

std::mutex& PlannerLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

RealFft::RealFft(std::size_t size) : size_(size) {
  const std::lock_guard<std::mutex> guard(PlannerLock());
  samples_ = fftw_alloc_real(size);
  bins_ = reinterpret_cast<std::complex<double>*>(fftw_alloc_complex(size / 2 + 1));
  if (samples_ == nullptr || bins_ == nullptr) throw std::bad_alloc();
  auto* bins = reinterpret_cast<fftw_complex*>(bins_);
  const int n = static_cast<int>(size);
  forward_ = fftw_plan_dft_r2c_1d(n, samples_, bins, FFTW_ESTIMATE);
  inverse_ = fftw_plan_dft_c2r_1d(n, bins, samples_, FFTW_ESTIMATE);
  if (forward_ == nullptr || inverse_ == nullptr) throw std::bad_alloc();
}

RealFft::~RealFft() {
  const std::lock_guard<std::mutex> guard(PlannerLock());
  fftw_destroy_plan(static_cast<fftw_plan>(forward_));
  fftw_destroy_plan(static_cast<fftw_plan>(inverse_));
  fftw_free(samples_);
  fftw_free(bins_);
}

void RealFft::Forward() { fftw_execute(static_cast<fftw_plan>(forward_)); }
void RealFft::Inverse() { fftw_execute(static_cast<fftw_plan>(inverse_)); }

}  // namespace multitone::sim
