#pragma once

#include <optional>

#include <QStringList>

class QWidget;

namespace grinsley::platform {

enum class Idiom { Phone, Tablet };
// Numbered as the phone platform numbers them; 0 is "not known yet".
enum class InterfaceOrientation { Portrait = 1, PortraitUpsideDown = 2, LandscapeRight = 3, LandscapeLeft = 4 };
inline bool isLandscape(InterfaceOrientation o) {
    return o == InterfaceOrientation::LandscapeLeft || o == InterfaceOrientation::LandscapeRight;
}

// What kind of device this is. A `--idiom phone|tablet` option decides; without one, a screen whose shorter
// side has room for a tablet layout makes a tablet, anything else (or no screen) a phone.
class Device {
public:
    static Idiom idiom();
    static bool isTablet() { return idiom() == Idiom::Tablet; }

    // Reads `--idiom phone|tablet` (or `--idiom=...`); other arguments are left alone.
    static void configure(const QStringList& arguments);
    // An explicit choice, as the option makes; nullopt goes back to the screen-size rule.
    static void setIdiom(std::optional<Idiom> idiom);

    // Landscape (left) when the window is wider than it is tall, else portrait: a desktop window has no
    // upside-down.
    static InterfaceOrientation interfaceOrientation(const QWidget* window);

    static constexpr int tabletMinimumShortSide = 768;
};

} // namespace grinsley::platform
