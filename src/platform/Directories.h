#pragma once

#include <QString>

namespace grinsley::platform {

// The per-user folders the program keeps files in; each is created when first asked for.
class Directories {
public:
    static QString caches();
    static QString library();
    static QString documents();
};

} // namespace grinsley::platform
