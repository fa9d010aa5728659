// Arbitrary bytes into the reader; whatever it reads must survive the writer and read back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/QNJsonParser.h"
#include "json/QNJsonWriter.h"
#include "json/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    grinsley::QNJsonParser parser;
    // The first byte picks the depth limit, so the unlimited path is fuzzed too.
    parser.setMaxDepth(size && (data[0] & 1) ? 0 : 512);
    auto value = parser.fragmentWithString(text);
    const bool utf8 = grinsley::json::utf8::isValid(text);
    if (!value) {
        if (parser.errorTrace().empty())
            std::abort(); // a failure always says why
        if (!utf8 && parser.errorTrace().size() != 1)
            std::abort(); // text that is not UTF-8 is refused as that alone
        return 0;
    }
    if (!utf8)
        std::abort(); // what reads well was UTF-8 throughout
    // A copy owns its memory: once the tree is gone it must still equal what the text reads as.
    const grinsley::json::Value copy = *value;
    for (bool readable : {false, true}) {
        grinsley::QNJsonWriter writer;
        writer.setMaxDepth(parser.maxDepth());
        writer.setHumanReadable(readable);
        writer.setSortKeys(readable);
        const auto written = writer.stringWithFragment(*value);
        if (!written)
            std::abort();
        grinsley::QNJsonParser again;
        again.setMaxDepth(parser.maxDepth());
        const auto reread = again.fragmentWithString(*written);
        if (!reread || !(*reread == *value))
            std::abort();
    }
    value.reset();
    if (!(copy == *parser.fragmentWithString(text)))
        std::abort();
    return 0;
}
