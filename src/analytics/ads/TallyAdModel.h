#pragma once

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
};

struct TallyAdHook {
    QString name;
    int adBlockId = 0;
    int themeId = 0;
    std::optional<qint64> clickAction;
};

struct TallyTextStyle {
    QString font;
    qint16 size = 0;
    QColor color;
};

// Where the parts of an ad go, for one orientation.
struct TallyAdLayout {
    QSize adSize;
    QSize appImageSize;
    QPoint appImagePosition;
    QPoint sellMessagePosition, appNamePosition, advertiserPosition;
    QSize sellMessageSize, appNameSize, advertiserSize;
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
};

struct TallyAdImage {
    qint64 imageId = 0;
    qint32 width = 0;
    qint32 height = 0;
    QString mimeFormat;
    QByteArray data;
};

struct TallyAdProperties {
    qint16 bannerRotation = 0;
    qint32 bannerRefreshSeconds = 0;
    qint64 cacheUpdateTimestamp = 0;
    qint8 portraitMaximumShown = 0;
    qint8 landscapeMaximumShown = 0;
    QString portraitShownAtStart;
    QString landscapeShownAtStart;
};

} // namespace grinsley
