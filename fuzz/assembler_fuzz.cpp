// The assembler in every notation. Its first byte picks the notation and the
// rest is the source; an include of any name reads the source again (a few
// times), so that cycles and the depth limit are reached too. Any text assembles or is reported
// with errors that say what is wrong. assembler.dict holds the words of every
// notation and numbers at the edges of their widths.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "asm/assembler.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace cosmac;
    if (size == 0)
        return 0;
    static constexpr std::string_view kSyntaxes[] = {"cosmac", "rca", "a18", "asm02", "sb"};
    const std::string source(reinterpret_cast<const char*>(data) + 1, size - 1);
    AssemblyOptions options;
    options.syntax = kSyntaxes[data[0] % std::size(kSyntaxes)];
    options.source_name = "fuzz.asm";
    options.include_directories = {"include"};
    options.predefined = {"FUZZ", "LIMIT=10"};
    int reads = 0;  // a few, since a source that includes twice at each level grows exponentially
    options.read_include = [&](const std::string&, std::string& error) -> std::optional<std::string> {
        if (++reads > 24) {
            error = "enough";
            return std::nullopt;
        }
        return source;
    };
    const Assembly assembly = assemble(source, options);
    for (const auto& error : assembly.errors) {
        if (error.line < 0 || error.message.empty())
            std::abort();
    }
    if (assembly.errors.empty())
        static_cast<void>(listing_text(assembly));
    return 0;
}
