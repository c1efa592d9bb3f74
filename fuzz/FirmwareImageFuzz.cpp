// Firmware image files: the check on opening, then the chunks handed out. An
// image that opens yields exactly its payload, header and digest left out.
#include "FuzzDevice.h"

#include "firmware/FirmwareImage.h"
#include "firmware/MD5Validator.h"

#include <algorithm>
#include <array>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const MD5Validator validator;
    survives([&] { validator.validate(data, size); });

    // The image opens by path, so the input becomes an anonymous file.
    const int file = ::memfd_create("image", 0);
    if (file < 0 || ::write(file, data, size) != static_cast<ssize_t>(size)) {
        fuzzFailure("cannot stage the image");
    }
    const std::string path = "/proc/self/fd/" + std::to_string(file);
    survives([&] {
        FirmwareImage image(path, validator);
        std::array<std::uint8_t, FirmwareImage::chunkSize> chunk{};
        std::size_t total = 0;
        // Each full chunk moves on by 4096 bytes; the payload is finite.
        while (const std::size_t length = image.readChunk(chunk)) {
            if (total + length + FirmwareImage::headerSize + MD5Validator::digestSize > size ||
                !std::equal(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(length),
                            data + FirmwareImage::headerSize + total)) {
                fuzzFailure("a chunk is not the payload");
            }
            total += length;
        }
        if (total + FirmwareImage::headerSize + MD5Validator::digestSize != size ||
            !image.atEnd()) {
            fuzzFailure("the chunks do not cover the payload");
        }
    });
    ::close(file);
    return 0;
}
