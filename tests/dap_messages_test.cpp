// The adapter's framing against what a client, or anything else, may send.
#include "dap/messages.hpp"
#include "dap/adapter.hpp"
#include "text/base64.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace cosmac::testing {
namespace {

using dap::Incoming;
using dap::MessageReader;

// Everything the reader makes of the input, handed over chunk bytes at a time.
std::vector<Incoming> read_all(const std::string& input, std::size_t chunk)
{
    std::size_t at = 0;
    MessageReader reader([&](char* data, std::size_t size) {
        const std::size_t n = std::min({size, chunk, input.size() - at});
        std::memcpy(data, input.data() + at, n);
        at += n;
        return n;
    });
    std::vector<Incoming> read;
    do {
        read.push_back(reader.next());
    } while (read.back().kind != Incoming::Kind::End && read.size() < 1000);
    return read;
}

std::string message(const std::string& json) { return "Content-Length: " + std::to_string(json.size()) + "\r\n\r\n" + json; }

// Each input, read in chunks of 1, 7 and 65536 bytes, gives the same kinds; a
// Message's seq, or a problem's words, say which one came.
TEST(DapMessages, ReadsWhatComesAndGoesOnAfterWhatIsWrong)
{
    using Kind = Incoming::Kind;
    const std::string good = message(R"({"seq":2})");
    const struct {
        const char* topic;
        std::string input;
        std::vector<Kind> kinds;
        std::string problem;  // of the first that is not a Message
    } cases[] = {
        {"two messages, LF or CR LF", message(R"({"seq":1})") + "\nContent-Length: 9\n\n{\"seq\":2}",
         {Kind::Message, Kind::Message, Kind::End}, ""},
        {"other headers and blank lines between", "\r\n" + std::string("Content-Type: x\r\n") + good,
         {Kind::Message, Kind::End}, ""},
        {"no length", "Content-Type: x\r\n\r\n" + good, {Kind::BadHeader, Kind::Message, Kind::End}, "no Content-Length"},
        {"a length that is none", "Content-Length: 9x\r\n\r\n" + good, {Kind::BadHeader, Kind::Message, Kind::End},
         "not a length: Content-Length: 9x"},
        {"not a header", "GET / HTTP/1.0\r\n\r\n" + good, {Kind::BadHeader, Kind::Message, Kind::End},
         "not a header: GET / HTTP/1.0"},
        {"a header line of the longest, 1024 bytes", "X-Pad: " + std::string(1017, 'x') + "\n" + good,
         {Kind::Message, Kind::End}, ""},
        {"a header line too long", std::string(2000, 'x') + "\r\n\r\n" + good,
         {Kind::BadHeader, Kind::Message, Kind::End}, "a header line longer than 1024 bytes"},
        {"a body too large", "Content-Length: 16777217\r\n\r\n", {Kind::BadHeader, Kind::End},
         "a body of 16777217 bytes, more than 16777216"},
        {"the largest body, cut short", "Content-Length: 16777216\r\n\r\n", {Kind::End}, ""},
        {"JSON that does not parse", message("{\"seq\":") + good, {Kind::BadBody, Kind::Message, Kind::End},
         "not a JSON object"},
        {"JSON that is no object", message("[1,2]") + good, {Kind::BadBody, Kind::Message, Kind::End},
         "not a JSON object"},
        {"a body cut short", "Content-Length: 20\r\n\r\n{\"seq\":3}", {Kind::End}, ""},
        {"headers cut short", "Content-Length: 20\r\n", {Kind::End}, ""},
        {"nothing", "", {Kind::End}, ""},
    };
    for (const auto& c : cases) {
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{65536}}) {
            const std::vector<Incoming> read = read_all(c.input, chunk);
            std::vector<Kind> kinds;
            std::string problem;
            for (const Incoming& incoming : read) {
                kinds.push_back(incoming.kind);
                if (problem.empty())
                    problem = incoming.error;
            }
            EXPECT_EQ(kinds, c.kinds) << c.topic << ", chunks of " << chunk;
            EXPECT_EQ(problem, c.problem) << c.topic;
            if (!read.empty() && read.back().kind == Kind::End && read.size() >= 2 &&
                read[read.size() - 2].kind == Kind::Message) {
                EXPECT_EQ(read[read.size() - 2].body.at("seq"), 2) << c.topic;
            }
        }
    }
}

// 10 MB of bytes that are no protocol end in the end of the input, without
// keeping them: a line without an end is dropped as it comes.
TEST(DapMessages, GarbageEndsCleanly)
{
    std::string garbage(10 << 20, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(i * 7919 % 251);
    const std::vector<Incoming> read = read_all(garbage + "\r\n\r\n" + message(R"({"seq":2})"), 65536);
    ASSERT_GE(read.size(), 2u);
    EXPECT_EQ(read.back().kind, Incoming::Kind::End);
    EXPECT_EQ(read[read.size() - 2].kind, Incoming::Kind::Message);
}

// The length counts bytes (é is two); control bytes are escaped, and a byte
// that is no UTF-8 goes out as U+FFFD (three bytes) rather than as bad JSON.
TEST(DapMessages, FramedForTheClient)
{
    EXPECT_EQ(dap::framed({{"seq", 1}, {"body", {{"text", "é\x01"}}}}),
              "Content-Length: 36\r\n\r\n{\"body\":{\"text\":\"é\\u0001\"},\"seq\":1}");
    EXPECT_EQ(dap::framed({{"output", std::string("\xff")}}), "Content-Length: 16\r\n\r\n{\"output\":\"\xef\xbf\xbd\"}");
}

// Memory travels as base64: RFC 4648's examples, every byte value, and text
// that is not base64.
TEST(DapMessages, Base64BothWays)
{
    const std::vector<std::pair<std::string, std::string>> examples = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},           {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xff\x00\xfe", 3), "/wD+"},
    };
    for (const auto& [bytes, text] : examples) {
        const std::vector<uint8_t> data(bytes.begin(), bytes.end());
        EXPECT_EQ(base64_encode(data), text);
        EXPECT_EQ(base64_decode(text), data) << text;
    }
    std::vector<uint8_t> every(256);
    for (int n = 0; n < 256; ++n)
        every[n] = static_cast<uint8_t>(n);
    EXPECT_EQ(base64_decode(base64_encode(every)), every);
    for (const char* wrong : {"Zg=", "Z===", "Zm9v!AAA", "Zg==Zg==", "ab=c", "=AAA", "Zm 9"})
        EXPECT_EQ(base64_decode(wrong), std::nullopt) << wrong;
}

// What a board's run takes out of turn: text after > typed in the debug
// console, and nothing else.
TEST(DapMessages, TypedInputIsTheConsolesTextAfterAGreaterThan)
{
    const struct {
        const char* request;
        bool typed;
    } cases[] = {
        {R"({"command":"evaluate","arguments":{"expression":">hi","context":"repl"}})", true},
        {R"({"command":"evaluate","arguments":{"expression":">","context":"repl"}})", true},
        {R"({"command":"evaluate","arguments":{"expression":">hi","context":"watch"}})", false},
        {R"({"command":"evaluate","arguments":{"expression":"hi","context":"repl"}})", false},
        {R"({"command":"evaluate","arguments":{"expression":5,"context":"repl"}})", false},
        {R"({"command":"evaluate","arguments":">hi"})", false},
        {R"({"command":"setVariable","arguments":{"expression":">hi","context":"repl"}})", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dap::is_typed_input(dap::Json::parse(c.request)), c.typed) << c.request;
}

}  // namespace
}  // namespace cosmac::testing
