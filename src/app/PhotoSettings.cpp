#include "PhotoSettings.h"

#include "platform/UserDefaults.h"

namespace grinsley::photosettings {

namespace {
void store(const QString& key, bool on) {
    platform::UserDefaults& defaults = platform::UserDefaults::standard();
    defaults.setObject(on, key);
    defaults.synchronize();
}
} // namespace

bool reducesToPhoneSize() { return platform::UserDefaults::standard().boolForKey(reduceToPhoneSizeKey); }
void setReducesToPhoneSize(bool reduce) { store(reduceToPhoneSizeKey, reduce); }
bool keepsLocation() { return platform::UserDefaults::standard().boolForKey(keepLocationKey); }
void setKeepsLocation(bool keep) { store(keepLocationKey, keep); }

} // namespace grinsley::photosettings
