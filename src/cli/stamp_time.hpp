// The moment that cosmac-asm and cosmac-disk stamp into what they make.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace cosmac {

// SOURCE_DATE_EPOCH's time (in UTC, as reproducible builds read it) where it is
// set, otherwise the local time now; empty when the variable holds no number of
// seconds.
inline std::optional<std::tm> stamp_time()
{
    std::time_t seconds = std::time(nullptr);
    std::tm time{};
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(epoch, &end, 10);
        if (*epoch == '\0' || *end != '\0' || errno != 0 || value < 0)
            return std::nullopt;
        seconds = static_cast<std::time_t>(value);
        if (gmtime_r(&seconds, &time) == nullptr)
            return std::nullopt;
    } else {
        localtime_r(&seconds, &time);
    }
    return time;
}

// Why stamp_time() gave none.
inline std::string stamp_time_error()
{
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    return std::string("SOURCE_DATE_EPOCH is not a number of seconds: ") + (epoch ? epoch : "");
}

}  // namespace cosmac
