#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
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

// The image as a file in its own temporary folder, removed afterwards.
class ImageFile {
public:
    ImageFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "trx4-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        folder_ = pattern;
        path_ = (folder_ / "image.bin").string();
        const auto bytes = makeImage();
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + path_);
        }
    }
    ~ImageFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    const std::string& path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::string path_;
};

// Opening an image reads and checks the whole file, as selecting it does.
void validateImageFile(benchmark::State& state) {
    const ImageFile file;
    const MD5Validator validator;
    for (auto _ : state) {
        FirmwareImage image(file.path(), validator);
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
