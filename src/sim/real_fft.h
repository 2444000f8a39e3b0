#pragma once
// A real FFT of one size on FFTW: planned once, reused for every transform.
// FFTW's planner is not thread-safe, so planning and destruction take a
// process-wide lock; executing a plan does not.
#include <complex>
#include <cstddef>

namespace multitone::sim {

class RealFft {
 public:
  // REQUIRES: size is even and at least 2.
  explicit RealFft(std::size_t size);
  ~RealFft();
  RealFft(const RealFft&) = delete;
  RealFft& operator=(const RealFft&) = delete;

  std::size_t Size() const { return size_; }
  double* Samples() { return samples_; }                       // Size() values
  std::complex<double>* Bins() { return bins_; }                // Size()/2 + 1 values
  // Samples -> Bins: X[k] = sum x[n] e^(-2 pi i k n / N), not normalised.
  void Forward();
  // Bins -> Samples: x[n] = sum over the full spectrum of X[k] e^(+2 pi i k n / N)
  // (the conjugate half implied), not normalised. Bins are overwritten.
  void Inverse();

 private:
  std::size_t size_;
  double* samples_;
  std::complex<double>* bins_;
  void* forward_;
  void* inverse_;
};

}  // namespace multitone::sim
