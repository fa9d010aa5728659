#pragma once

#include <optional>

#include <QByteArray>
#include <QColor>
#include <QPoint>
#include <QSize>
#include <QString>

namespace grinsley {

// The ad catalogue's records, as far as the ad response fills them.

struct TallyAd {
    qint64 adId = 0;
    qint64 projectId = 0;
    QString adText;
    QString advertiser;
    qint64 canvasId = 0;
    qint64 imageId = 0;
    QByteArray cookie;

    bool operator==(const TallyAd&) const = default;
};

struct TallyAdHook {
    QString name;
    int adBlockId = 0;
    int themeId = 0;
    std::optional<qint64> clickAction;

    bool operator==(const TallyAdHook&) const = default;
};

struct TallyTextStyle {
    QString font;
    qint16 size = 0;
    QColor color;

    bool operator==(const TallyTextStyle&) const = default;
};

// Where the parts of an ad go, for one orientation.
struct TallyAdLayout {
    QSize adSize;
    QSize appImageSize;
    QPoint appImagePosition;
    QPoint sellMessagePosition, appNamePosition, advertiserPosition;
    QSize sellMessageSize, appNameSize, advertiserSize;

    bool operator==(const TallyAdLayout&) const = default;
};

struct TallyAdTheme {
    int themeId = 0;
    QString sellMessage;
    qint64 portraitImageId = 0;
    qint64 landscapeImageId = 0;
    // sell message, app name, advertiser
    TallyTextStyle portraitStyles[3];
    TallyTextStyle landscapeStyles[3];
    TallyAdLayout portrait;
    TallyAdLayout landscape;
    bool extended = false;

    bool operator==(const TallyAdTheme&) const = default;
};

struct TallyAdImage {
    qint64 imageId = 0;
    qint32 width = 0;
    qint32 height = 0;
    QString mimeFormat;
    QByteArray data;

    bool operator==(const TallyAdImage&) const = default;
};

struct TallyAdProperties {
    qint16 bannerRotation = 0;
    qint32 bannerRefreshSeconds = 0;
    qint64 cacheUpdateTimestamp = 0;
    qint8 portraitMaximumShown = 0;
    qint8 landscapeMaximumShown = 0;
    QString portraitShownAtStart;
    QString landscapeShownAtStart;

    bool operator==(const TallyAdProperties&) const = default;
};

} // namespace grinsley
