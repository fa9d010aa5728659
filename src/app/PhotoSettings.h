#pragma once

#include <QString>

namespace grinsley::photosettings {

// The photo settings, kept in the user defaults; both off by default.
// On: photos are reduced as on a phone (under 1,000,000 pixels, 2,000,000 on a tablet, by halvings), and an
// e-mailed photo is the phone's attachment. Off: photos are edited, saved and shared at their own size.
inline const QString reduceToPhoneSizeKey = QStringLiteral("ReducePhotosToPhoneSize");
// On: a saved or shared photo keeps the original's GPS location. Off: it is dropped.
inline const QString keepLocationKey = QStringLiteral("KeepLocationInSharedPhotos");

bool reducesToPhoneSize();
void setReducesToPhoneSize(bool reduce);
bool keepsLocation();
void setKeepsLocation(bool keep);

} // namespace grinsley::photosettings
