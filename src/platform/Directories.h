#pragma once

#include <QString>

namespace grinsley::platform {

// The per-user folders the program keeps files in; each is created when first asked for.
class Directories {
public:
    static QString caches();
    static QString library();
    static QString documents();
    // The program's own data folder: the user's work that must survive a cache clean-up.
    static QString applicationData();

    // Earlier versions named their folders twice over (".../Grinsley/Grinsley"): moves what they hold up one
    // level, once, leaving alone anything already there. Run before anything reads its settings.
    static void mendDoubledFolders();
};

} // namespace grinsley::platform
