#pragma once

#include <QString>

#include "Image.h"

namespace grinsley::platform {

// The application's own resources, looked up by name and type as a phone's bundle does.
class Bundle {
public:
    // The full path of the resource, or an empty string when the bundle has none of that name and type.
    static QString pathForResource(const QString& name, const QString& type);
    // The image at that resource, scaled to points by its @2x or @3x suffix; null when missing or unreadable.
    static Image imageNamed(const QString& name, const QString& type = QStringLiteral("png"));

    static QString version();
    static QString name();
};

} // namespace grinsley::platform
