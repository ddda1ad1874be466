#include "dap/messages.hpp"

#include <charconv>

namespace cosmac::dap {
namespace {

constexpr std::string_view kLengthHeader = "Content-Length:";

}  // namespace

bool MessageReader::fill()
{
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    char chunk[65536];
    const std::size_t got = read_(chunk, sizeof chunk);
    buffer_.append(chunk, got);
    return got > 0;
}

MessageReader::Line MessageReader::header_line(std::string& line)
{
    bool too_long = false;
    for (;;) {
        const std::size_t end = buffer_.find('\n', start_);
        if (end != std::string::npos) {
            const std::size_t length = end - start_;
            too_long = too_long || length > kLongestHeaderLine;
            if (!too_long) {
                line.assign(buffer_, start_, length);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
            }
            start_ = end + 1;
            return too_long ? Line::TooLong : Line::Read;
        }
        if (buffer_.size() - start_ > kLongestHeaderLine) {  // keep no more of a line that is too long
            too_long = true;
            start_ = buffer_.size();
        }
        if (!fill())
            return Line::End;
    }
}

Incoming MessageReader::next()
{
    std::size_t length = 0;
    bool has_length = false;
    std::string problem;
    std::string line;
    for (bool any = false;; any = true) {
        const Line read = header_line(line);
        if (read == Line::End)
            return {Incoming::Kind::End, {}, {}};
        if (read == Line::TooLong) {
            problem = "a header line longer than " + std::to_string(kLongestHeaderLine) + " bytes";
            continue;
        }
        if (line.empty()) {
            if (!any)
                continue;  // blank lines between messages
            break;
        }
        if (line.starts_with(kLengthHeader)) {
            std::string_view digits = std::string_view(line).substr(kLengthHeader.size());
            while (!digits.empty() && digits.front() == ' ')
                digits.remove_prefix(1);
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
            has_length = error == std::errc() && end == digits.data() + digits.size() && !digits.empty();
            if (!has_length)
                problem = "not a length: " + line;
        } else if (line.find(':') == std::string::npos) {
            problem = "not a header: " + line.substr(0, 80);
        }
    }
    if (problem.empty() && !has_length)
        problem = "no Content-Length";
    if (problem.empty() && length > kLargestBody)
        problem = "a body of " + std::to_string(length) + " bytes, more than " + std::to_string(kLargestBody);
    if (!problem.empty())
        return {Incoming::Kind::BadHeader, {}, problem};
    while (buffer_.size() - start_ < length) {
        if (!fill())
            return {Incoming::Kind::End, {}, {}};  // a body cut short by the end of the input
    }
    const std::string_view text(buffer_.data() + start_, length);
    start_ += length;
    Json body = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (body.is_discarded() || !body.is_object())
        return {Incoming::Kind::BadBody, {}, "not a JSON object"};
    return {Incoming::Kind::Message, std::move(body), {}};
}

std::string framed(const Json& message)
{
    const std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
    return std::string(kLengthHeader) + " " + std::to_string(text.size()) + "\r\n\r\n" + text;
}

}  // namespace cosmac::dap
