// Runs a fuzz target's entry point without libFuzzer, so that the normal test
// build (GCC, AddressSanitizer, UBSan) checks what the fuzzers check: every
// file of the given corpus directories, then pseudo-random inputs from a fixed
// seed (random bytes, and corpus files with bytes flipped, inserted, removed,
// repeated or cut off). A broken invariant aborts inside the target, and a
// sanitizer report ends the program; either way the input that was running is
// shown, in hex, for a regression test or a new corpus file.
//
//   <target>_replay [--random N] [--seed S] [--max-len L] CORPUS_DIR_OR_FILE...
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Called by AddressSanitizer and UBSan before they end the program; present
// only when a sanitizer runtime is linked in, so declared weak.
extern "C" [[gnu::weak]] void __sanitizer_set_death_callback(void (*callback)());

namespace {

// splitmix64: a small generator whose sequence is the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(Next() % bound); }

 private:
  std::uint64_t state_;
};

using Bytes = std::vector<std::uint8_t>;

// Bytes the inputs of these targets are made of more often than chance would
// have it: digits, signs, points, exponent letters, blanks, LF, block marks,
// and the bytes at the edges of the float encodings.
std::uint8_t LikelyByte(Random& random) {
  static const std::string kLikely = "0123456789+-.eEdD \t\n\r#,;V";
  static const std::uint8_t kEdges[] = {0x00, 0x01, 0x7f, 0x80, 0x7f, 0xff, 0x3f, 0x0a};
  const std::size_t pick = random.Below(4);
  if (pick == 0) return static_cast<std::uint8_t>(random.Next());
  if (pick == 1) return kEdges[random.Below(sizeof kEdges)];
  return static_cast<std::uint8_t>(kLikely[random.Below(kLikely.size())]);
}

Bytes Mutated(const Bytes& original, Random& random, std::size_t max_len) {
  Bytes bytes = original;
  const std::size_t edits = 1 + random.Below(4);
  for (std::size_t k = 0; k < edits; ++k) {
    const std::size_t at = random.Below(bytes.size() + 1);
    switch (random.Below(6)) {
      case 0:  // flip one bit
        if (!bytes.empty()) bytes[random.Below(bytes.size())] ^= static_cast<std::uint8_t>(1u << random.Below(8));
        break;
      case 1:  // overwrite a byte
        if (!bytes.empty()) bytes[random.Below(bytes.size())] = LikelyByte(random);
        break;
      case 2:  // insert a few bytes
        for (std::size_t n = 1 + random.Below(4); n > 0; --n) {
          bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), LikelyByte(random));
        }
        break;
      case 3: {  // remove a few bytes
        const std::size_t n = std::min(bytes.size() - at, 1 + random.Below(4));
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        break;
      }
      case 4: {  // repeat a piece
        const std::size_t n = std::min(bytes.size() - at, 1 + random.Below(16));
        const Bytes piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                          bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
        break;
      }
      default:  // cut off
        bytes.resize(at);
        break;
    }
  }
  if (bytes.size() > max_len) bytes.resize(max_len);
  return bytes;
}

Bytes RandomBytes(Random& random, std::size_t max_len) {
  Bytes bytes(random.Below(std::min<std::size_t>(max_len, 256) + 1));
  for (std::uint8_t& b : bytes) b = LikelyByte(random);
  return bytes;
}

bool ReadFile(const std::filesystem::path& path, Bytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// What is running, prepared before each input so that the abort handler only
// has to write it out.
char g_running[8192];
std::size_t g_running_length = 0;

void Describe(const std::string& name, const Bytes& input) {
  std::string text = "\nthe input running: " + name + ", " + std::to_string(input.size()) + " bytes:";
  constexpr std::size_t kShown = 1024;
  for (std::size_t k = 0; k < std::min(input.size(), kShown); ++k) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", input[k]);
    text += k % 32 == 0 ? "\n  " : " ";
    text += hex;
  }
  if (input.size() > kShown) text += " ...";
  text += "\n";
  g_running_length = std::min(text.size(), sizeof g_running);
  std::copy_n(text.data(), g_running_length, g_running);
}

void ShowRunning() {
  if (g_running_length > 0) {
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, g_running, g_running_length);
  }
}

extern "C" void OnAbort(int) {
  ShowRunning();
  std::signal(SIGABRT, SIG_DFL);
  std::raise(SIGABRT);
}

void Run(const std::string& name, const Bytes& input) {
  Describe(name, input);
  // A copy of exactly the input's size, so that AddressSanitizer sees a read
  // past its end.
  const auto copy = std::make_unique<std::uint8_t[]>(input.size() + (input.empty() ? 1 : 0));
  std::copy(input.begin(), input.end(), copy.get());
  LLVMFuzzerTestOneInput(copy.get(), input.size());
}

int Usage(const char* program) {
  std::fprintf(stderr, "usage: %s [--random N] [--seed S] [--max-len L] CORPUS_DIR_OR_FILE...\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t random_inputs = 0;
  std::uint64_t seed = 1;
  std::size_t max_len = 4096;
  std::vector<std::filesystem::path> corpus;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--random" || arg == "--seed" || arg == "--max-len") && i + 1 < argc) {
      const unsigned long long value = std::strtoull(argv[++i], nullptr, 10);
      if (arg == "--random") random_inputs = value;
      if (arg == "--seed") seed = value;
      if (arg == "--max-len") max_len = value;
    } else if (arg.starts_with("--")) {
      return Usage(argv[0]);
    } else {
      corpus.emplace_back(arg);
    }
  }
  if (corpus.empty()) return Usage(argv[0]);
  std::signal(SIGABRT, OnAbort);
  if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(ShowRunning);

  std::vector<std::filesystem::path> files;
  for (const auto& path : corpus) {
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else {
      files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no corpus files in the given places\n");
    return 1;
  }

  std::vector<Bytes> inputs;
  for (const auto& file : files) {
    Bytes bytes;
    if (!ReadFile(file, bytes)) {
      std::fprintf(stderr, "cannot read %s\n", file.c_str());
      return 1;
    }
    Run(file.string(), bytes);
    inputs.push_back(std::move(bytes));
  }

  Random random(seed);
  for (std::size_t k = 0; k < random_inputs; ++k) {
    const bool mutate = random.Below(4) != 0;
    const std::size_t from = random.Below(inputs.size());
    const std::string name = "random input " + std::to_string(k) + " of seed " + std::to_string(seed) +
                             (mutate ? ", from " + files[from].filename().string() : ", random bytes");
    Run(name, mutate ? Mutated(inputs[from], random, max_len) : RandomBytes(random, max_len));
  }
  std::printf("%zu corpus files and %zu random inputs ran clean\n", files.size(), random_inputs);
  return 0;
}
