#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"
#include "support/TemporaryDirectory.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t imageSize = std::size_t{16} << 20;

// A valid 16 MiB image: header, payload, then the MD5 of both.
std::vector<std::uint8_t> makeImage() {
    std::vector<std::uint8_t> image(imageSize - MD5Validator::digestSize);
    std::uint32_t state = 12345;
    for (auto& byte : image) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    const auto digest = MD5Validator::digest(image.data(), image.size());
    image.insert(image.end(), digest.begin(), digest.end());
    return image;
}

// Opening an image reads and checks the whole file, as selecting it does.
void validateImageFile(benchmark::State& state) {
    const TemporaryDirectory directory;
    const std::string path = directory.write("image.bin", makeImage());
    const MD5Validator validator;
    for (auto _ : state) {
        FirmwareImage image(path, validator);
        benchmark::DoNotOptimize(image.position());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * imageSize));
}
BENCHMARK(validateImageFile)->Unit(benchmark::kMillisecond);

// The digest alone, without the file read.
void validateInMemory(benchmark::State& state) {
    const auto bytes = makeImage();
    const MD5Validator validator;
    for (auto _ : state) {
        validator.validate(bytes.data(), bytes.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * imageSize));
}
BENCHMARK(validateInMemory)->Unit(benchmark::kMillisecond);

} // namespace
