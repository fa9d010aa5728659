#include "Bundle.h"

#include <array>

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

namespace grinsley::platform {

namespace {
// Folders of the resource tree, searched in order; a name is unique across them.
constexpr std::array folders{":/images/", ":/masks/", ":/html/", ":/"};
} // namespace

QString Bundle::pathForResource(const QString& name, const QString& type) {
    if (name.isEmpty())
        return {};
    const QString file = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    for (const char* folder : folders) {
        QString path = QLatin1String(folder) + file;
        if (QFile::exists(path))
            return path;
    }
    return {};
}

Image Bundle::imageNamed(const QString& name, const QString& type) {
    // Icons are drawn at twice their point size so they stay sharp when zoomed.
    for (int scale : {2, 1}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        const QString path = pathForResource(name + suffix, type);
        if (path.isEmpty())
            continue;
        QImageReader reader(path);
        QImage image = reader.read();
        if (!image.isNull())
            return Image(std::move(image), Orientation::Up, scale);
    }
    return {};
}

QString Bundle::version() { return QCoreApplication::applicationVersion(); }
QString Bundle::name() { return QCoreApplication::applicationName(); }

} // namespace grinsley::platform
