#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"
#include "support/FirmwareImages.h"
#include "support/TemporaryDirectory.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t imageSize = std::size_t{16} << 20;

// A valid 16 MiB image: header, payload, then the MD5 of both.
std::vector<std::uint8_t> makeImage() {
    return signedImage(
        patternPayload(imageSize - FirmwareImage::headerSize - MD5Validator::digestSize));
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
