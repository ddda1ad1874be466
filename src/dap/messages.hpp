// The Debug Adapter Protocol's framing: each message is headers ("Content-Length:
// N"), a blank line, then N bytes of JSON. Reading never trusts the other side:
// a header line or a body past its limit, a header that is not one, JSON that
// does not parse, all come back as what they are, and reading goes on with the
// next message; only the end of the input ends it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace cosmac::dap {

using Json = nlohmann::json;

struct Incoming {
    enum class Kind { Message, BadHeader, BadBody, End };
    Kind kind;
    Json body;          // a Message's: a JSON object
    std::string error;  // what was wrong with a BadHeader or a BadBody
};

class MessageReader {
public:
    static constexpr std::size_t kLongestHeaderLine = 1024;
    static constexpr std::size_t kLargestBody = 16 << 20;

    // read fills up to size bytes and says how many; 0 at the end of the input.
    using ReadSome = std::function<std::size_t(char* data, std::size_t size)>;
    explicit MessageReader(ReadSome read) : read_(std::move(read)) {}

    Incoming next();

private:
    // A line up to CR LF (or LF), without it; false at the end of the input, and
    // for a line past kLongestHeaderLine, which is skipped to its end.
    enum class Line { Read, TooLong, End };
    Line header_line(std::string& line);
    bool fill();

    ReadSome read_;
    std::string buffer_;
    std::size_t start_ = 0;  // of what is not yet taken from buffer_
};

// The message as it goes out: its headers and its JSON.
std::string framed(const Json& message);

}  // namespace cosmac::dap
