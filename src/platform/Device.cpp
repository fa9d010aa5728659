#include "Device.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace grinsley::platform {

namespace {
std::optional<Idiom>& chosenIdiom() {
    static std::optional<Idiom> idiom;
    return idiom;
}

std::optional<Idiom> parseIdiom(const QString& text) {
    if (text == QLatin1String("tablet"))
        return Idiom::Tablet;
    if (text == QLatin1String("phone"))
        return Idiom::Phone;
    return std::nullopt;
}
} // namespace

Idiom Device::idiom() {
    if (chosenIdiom())
        return *chosenIdiom();
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (!screen)
        return Idiom::Phone;
    const QSize size = screen->size();
    return qMin(size.width(), size.height()) >= tabletMinimumShortSide ? Idiom::Tablet : Idiom::Phone;
}

void Device::configure(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--idiom") && i + 1 < arguments.size()) {
            if (auto idiom = parseIdiom(arguments.at(i + 1)))
                chosenIdiom() = idiom;
        } else if (argument.startsWith(QLatin1String("--idiom="))) {
            if (auto idiom = parseIdiom(argument.mid(8)))
                chosenIdiom() = idiom;
        }
    }
}

void Device::setIdiom(std::optional<Idiom> idiom) { chosenIdiom() = idiom; }

InterfaceOrientation Device::interfaceOrientation(const QWidget* window) {
    if (window && window->width() > window->height())
        return InterfaceOrientation::LandscapeLeft;
    return InterfaceOrientation::Portrait;
}

} // namespace grinsley::platform
