// Arbitrary bytes as the answer to an upload that asked for ads: the parser must stay inside them, keep its
// maps consistent, and survive an archive round trip of whatever it read.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "analytics/ads/TallyAdParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray answer(reinterpret_cast<const char*>(data), qsizetype(size));
    grinsley::TallyAdParser parser;
    parser.parseData(answer);
    for (auto it = parser.imageMap().cbegin(); it != parser.imageMap().cend(); ++it) {
        if (it.key() < 0 || it.value().imageId != it.key() || it.value().data.size() > answer.size())
            std::abort(); // negative ids are never kept, and no image holds more than the answer did
    }
    for (const auto& ads : parser.adBlockMap()) {
        if (ads.size() * 27 > answer.size())
            std::abort(); // every ad takes at least 27 bytes of the answer
    }
    const auto restored = grinsley::TallyAdParser::fromArchive(parser.archive());
    if (!restored || restored->versionId() != parser.versionId() || restored->hookMap().size() != parser.hookMap().size() ||
        restored->adBlockMap().size() != parser.adBlockMap().size())
        std::abort();
    return 0;
}
