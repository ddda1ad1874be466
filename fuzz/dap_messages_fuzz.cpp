// The debug adapter's framing. Whatever arrives, in chunks whose size the first
// byte chooses, reading ends at the end of the input; every message read is a
// JSON object that, framed again, reads back the same, whole and alone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dap/messages.hpp"

namespace {

std::size_t read_from(const std::string& input, std::size_t& at, std::size_t chunk, char* data, std::size_t size)
{
    const std::size_t n = std::min({size, chunk, input.size() - at});
    std::memcpy(data, input.data() + at, n);
    at += n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t chunk = data[0] % 16 + 1;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t at = 0;
    cosmac::dap::MessageReader reader([&](char* into, std::size_t room) { return read_from(input, at, chunk, into, room); });
    for (std::size_t messages = 0;; ++messages) {
        const cosmac::dap::Incoming incoming = reader.next();
        if (incoming.kind == cosmac::dap::Incoming::Kind::End)
            break;
        if (messages > input.size())  // each message takes at least one byte
            std::abort();
        if (incoming.kind != cosmac::dap::Incoming::Kind::Message)
            continue;
        if (!incoming.body.is_object())
            std::abort();
        const std::string again = cosmac::dap::framed(incoming.body);
        std::size_t again_at = 0;
        cosmac::dap::MessageReader echo([&](char* into, std::size_t room) {
            return read_from(again, again_at, 65536, into, room);
        });
        const cosmac::dap::Incoming read_back = echo.next();
        if (read_back.kind != cosmac::dap::Incoming::Kind::Message || read_back.body != incoming.body ||
            echo.next().kind != cosmac::dap::Incoming::Kind::End)
            std::abort();
    }
    return 0;
}
