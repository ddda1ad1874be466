// The image loader on arbitrary file bytes: any header, any length, short files.
// Whatever the header says, only the bytes the file holds may change, at
// (location + i) mod 65536, and a well-formed file must load completely.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "image/image_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/cosmac-image-fuzz-" + std::to_string(getpid()) + ".elf";
    [[maybe_unused]] static const int removed_at_exit = std::atexit([] { unlink(path.c_str()); });
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    auto memory = std::make_unique<cosmac::Memory>();
    memory->fill(0xA5);
    const cosmac::ImageResult result = cosmac::load_image(path, *memory);

    const bool header_ok = size >= 8 && data[0] == 0xBE && data[1] == 0xDE && data[2] == 0x01 && data[3] == 0x00;
    const unsigned location = header_ok ? data[4] | data[5] << 8 : 0;
    const unsigned length = header_ok ? data[6] | data[7] << 8 : 0;
    const std::size_t available = size >= 8 ? size - 8 : 0;
    const std::size_t loaded = header_ok ? std::min<std::size_t>(length, available) : 0;
    for (std::size_t i = 0; i < 0x10000; ++i) {
        const std::size_t offset = (i - location) & 0xFFFF;  // i's position in the data
        const uint8_t want = offset < loaded ? data[8 + offset] : 0xA5;
        if ((*memory)[i] != want)
            std::abort();
    }
    const bool complete = header_ok && length > 0 && available >= length;
    if (complete != (result.kind == cosmac::ImageResult::Kind::Ok))
        std::abort();
    return 0;
}
