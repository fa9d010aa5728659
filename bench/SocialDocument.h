#pragma once

#include <cstddef>
#include <string>

namespace grinsley::bench {

// JSON text shaped like a social network's API answers (pages of posts with authors, comments, likes and
// paging links), of about the given size, always the same for the same size.
std::string socialDocument(std::size_t approximateBytes);

} // namespace grinsley::bench
