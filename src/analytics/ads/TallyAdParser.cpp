#include "TallyAdParser.h"

#include <mutex>

#include <QCborArray>
#include <QCborMap>

#include "analytics/TallyFileCache.h"
#include "analytics/TallyUtil.h"
#include "platform/Clock.h"
#include "platform/MainThread.h"

namespace grinsley {

// Big-endian fields from the front of one chunk. Running out of bytes stops the reader for good: every
// later read gives zero or empty, and ok() turns false, so a loop over a count ends at the chunk's end.
class TallyAdReader {
public:
    explicit TallyAdReader(QByteArrayView bytes) : _bytes(bytes) {}

    bool ok() const { return _ok; }
    qsizetype remaining() const { return _bytes.size() - _position; }

    quint64 unsignedOf(int width) {
        if (!_ok || remaining() < width) {
            _ok = false;
            return 0;
        }
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | quint8(_bytes[_position++]);
        return value;
    }
    quint8 u8() { return quint8(unsignedOf(1)); }
    qint8 i8() { return qint8(u8()); }
    quint16 u16() { return quint16(unsignedOf(2)); }
    qint16 i16() { return qint16(u16()); }
    quint32 u32() { return quint32(unsignedOf(4)); }
    qint32 i32() { return qint32(u32()); }
    qint64 i64() { return qint64(unsignedOf(8)); }
    QByteArray bytes(qsizetype length) {
        if (!_ok || length < 0 || remaining() < length) {
            _ok = false;
            return {};
        }
        QByteArray out(_bytes.data() + _position, length);
        _position += length;
        return out;
    }
    QString string() {
        const quint16 length = u16();
        return QString::fromUtf8(bytes(length));
    }

private:
    QByteArrayView _bytes;
    qsizetype _position = 0;
    bool _ok = true;
};

namespace {
struct Instances {
    std::mutex mutex;
    std::shared_ptr<TallyAdParser> current = std::make_shared<TallyAdParser>();
    std::shared_ptr<TallyAdParser> previous;
    TallyAdImageCache images;
};
Instances& instances() {
    static Instances i;
    return i;
}
} // namespace

// ---- Instances -------------------------------------------------------------------------------------------

std::shared_ptr<TallyAdParser> TallyAdParser::instance() {
    std::lock_guard lock(instances().mutex);
    return instances().current;
}

std::shared_ptr<TallyAdParser> TallyAdParser::oldInstance() {
    std::lock_guard lock(instances().mutex);
    return instances().previous;
}

TallyAdImageCache TallyAdParser::imageCache() {
    std::lock_guard lock(instances().mutex);
    return instances().images;
}

void TallyAdParser::recreateInstances() {
    std::shared_ptr<TallyAdParser> previous;
    TallyAdImageCache images;
    if (const TallyFileCache* cache = TallyFileCache::instance()) {
        if (const std::optional<QCborValue> saved = cache->get(archivePrefix))
            previous = fromArchive(*saved);
        if (const std::optional<QCborValue> saved = cache->get(imageCachePrefix))
            images = TallyAdImageCache::fromArchive(*saved);
    }
    std::lock_guard lock(instances().mutex);
    instances().previous = std::move(previous);
    instances().images = std::move(images);
    instances().current = std::make_shared<TallyAdParser>();
}

// ---- Parsing ---------------------------------------------------------------------------------------------

void TallyAdParser::parseData(const std::optional<QByteArray>& data) {
    TallyUtil::log("Tally: %1 bytes passed to adParser", int(data ? data->size() : 0));
    if (!data || data->isEmpty()) {
        tellDelegate(false);
        return;
    }
    processTaggedFile(*data);
    TallyUtil::log("Tally: Finished parsing ad data");
    _adParsingPhase = 1;
    tellDelegate(true);
}

void TallyAdParser::processTaggedFile(const QByteArray& data) {
    const QByteArrayView answer(data);
    qsizetype offset = 0;
    while (answer.size() - offset >= 6) {
        TallyAdReader header(answer.sliced(offset, 6));
        const quint16 type = header.u16();
        const quint32 size = header.u32();
        const qsizetype available = answer.size() - offset - 6;
        // A chunk that claims more than the answer holds gets what there is, and is the last one read.
        const qsizetype payload = std::min<qsizetype>(size, available);
        processTaggedFileChunk(type, answer.sliced(offset + 6, payload));
        if (qsizetype(size) > available)
            break;
        offset += 6 + payload;
    }
}

void TallyAdParser::processTaggedFileChunk(int type, QByteArrayView payload) {
    TallyAdReader in(payload);
    switch (type) {
    case Version: return processVersionChunk(in);
    case AdBlock: return processAdChunk(in);
    case Images: return processImageChunk(in);
    case Hooks: return processHookChunk(in);
    case EndOfMessage: return processEndOfMessageChunk();
    case Error: return processErrorChunk(in);
    case Themes: return processAdThemeChunk(in);
    case ImageCodes: return processAuxImageInfoChunk(in);
    case Properties: return processPropertyChunk(in);
    case HookActions: return processAuxHookInfoChunk(in);
    case ThemeExtensions: return processAdThemeExtensionChunk(in);
    default:
        TallyUtil::log("Tally: Skipping unrecognized ad tag %1\n", QString::number(type, 16));
    }
}

void TallyAdParser::processVersionChunk(TallyAdReader& in) {
    const qint32 version = in.i32();
    if (!in.ok())
        return;
    _versionId = version;
    TallyUtil::log("Tally: Parse ad version[%1]", int(version));
}

void TallyAdParser::processAdChunk(TallyAdReader& in) {
    const int blockId = in.u8();
    const int count = in.u16();
    if (!in.ok())
        return; // without its id and count a block is nothing to store: what the map holds stays
    QList<TallyAd> ads;
    for (int i = 0; i < count && in.ok(); ++i) {
        TallyAd ad;
        ad.adId = in.i64();
        ad.projectId = in.i64();
        ad.adText = in.string();
        ad.advertiser = in.string();
        ad.canvasId = in.i64();
        ad.imageId = in.i64();
        ad.cookie = in.bytes(in.u8());
        if (!in.ok())
            break;
        TallyUtil::log("Tally: Parse ad id[%1] text[%2]", ad.adId, ad.adText);
        ads.append(ad);
    }
    if (count == 0 || !ads.isEmpty())
        _adBlockMap.insert(blockId, ads);
}

void TallyAdParser::processImageChunk(TallyAdReader& in) {
    const int count = in.u16();
    for (int i = 0; i < count && in.ok(); ++i) {
        TallyAdImage image;
        image.imageId = in.i64();
        image.width = in.i32();
        image.height = in.i32();
        image.mimeFormat = in.string();
        image.data = in.bytes(in.u32());
        if (!in.ok())
            break;
        if (image.imageId < 0) {
            TallyUtil::log("Tally: Skip processing image block with bad imageId[%1]", image.imageId);
            continue; // its fields are read: the next image is in step
        }
        TallyUtil::log("Tally: Parse image id[%1]", image.imageId);
        _imageMap.insert(image.imageId, image);
        std::lock_guard lock(instances().mutex);
        instances().images.store(image, platform::Clock::nowMilliseconds());
    }
}

void TallyAdParser::processHookChunk(TallyAdReader& in) {
    const quint32 count = in.u32();
    for (quint32 i = 0; i < count && in.ok(); ++i) {
        TallyAdHook hook;
        hook.name = in.string();
        hook.adBlockId = in.u8();
        hook.themeId = in.u8();
        if (!in.ok())
            break;
        TallyUtil::log("Tally: Parse hook name[%1]", hook.name);
        _hookMap.insert(hook.name, hook);
    }
}

void TallyAdParser::processEndOfMessageChunk() {
    TallyUtil::log("Tally: Parse end of message");
    if (const TallyFileCache* cache = TallyFileCache::instance()) {
        cache->save(archive(), archivePrefix);
        cache->save(imageCache().archive(), imageCachePrefix);
    }
}

void TallyAdParser::processErrorChunk(TallyAdReader& in) {
    const int code = in.u16();
    const QString message = in.string();
    TallyUtil::log("Tally: Parse errorCode[%1]", code);
    TallyUtil::log("Tally: Parse error[%1]", message);
    ++_errorsReported;
    tellDelegate(false);
}

void TallyAdParser::processAdThemeChunk(TallyAdReader& in) {
    const int count = in.u8();
    for (int i = 0; i < count && in.ok(); ++i) {
        TallyAdTheme theme;
        theme.themeId = in.u8();
        theme.sellMessage = in.string();
        theme.portraitImageId = in.i64();
        theme.landscapeImageId = in.i64();
        for (TallyTextStyle& style : theme.portraitStyles)
            style = parseFontSizeColor(in);
        if (!in.ok())
            break;
        TallyUtil::log("Tally: Parse theme id[%1]", theme.themeId);
        _themeMap.insert(theme.themeId, theme);
    }
}

void TallyAdParser::processAuxImageInfoChunk(TallyAdReader& in) {
    const quint32 count = in.u32();
    for (quint32 i = 0; i < count && in.ok(); ++i) {
        const qint64 imageId = in.i64();
        const qint16 code = in.i16();
        if (in.ok())
            _imageCodeMap.insert(code, imageId);
    }
}

void TallyAdParser::processPropertyChunk(TallyAdReader& in) {
    TallyAdProperties properties;
    in.u16(); // not used
    properties.bannerRotation = in.i16();
    properties.bannerRefreshSeconds = in.i32();
    properties.cacheUpdateTimestamp = in.i64();
    properties.portraitMaximumShown = in.i8();
    properties.landscapeMaximumShown = in.i8();
    properties.portraitShownAtStart = in.string();
    properties.landscapeShownAtStart = in.string();
    TallyUtil::log("Tally: Parse banner rotation[%1]", int(properties.bannerRotation));
    if (in.ok())
        _properties = properties;
}

void TallyAdParser::processAuxHookInfoChunk(TallyAdReader& in) {
    const int hooks = in.u16();
    for (int h = 0; h < hooks && in.ok(); ++h) {
        const QString name = in.string();
        const int items = in.u16();
        for (int i = 0; i < items && in.ok(); ++i) {
            const qint16 type = in.i16();
            const qint64 value = in.i64();
            if (in.ok() && type == CLICK_ACTION_ITEM && _hookMap.contains(name))
                _hookMap[name].clickAction = value;
        }
    }
}

void TallyAdParser::processAdThemeExtensionChunk(TallyAdReader& in) {
    const int count = in.u8();
    for (int i = 0; i < count && in.ok(); ++i) {
        const int themeId = in.i8();
        TallyAdTheme extension;
        for (TallyTextStyle& style : extension.landscapeStyles)
            style = parseFontSizeColor(in);
        extension.portrait.adSize = parseDimension(in);
        extension.portrait.appImageSize = parseDimension(in);
        extension.portrait.appImagePosition = parseLocation(in);
        extension.landscape.adSize = parseDimension(in);
        extension.landscape.appImageSize = parseDimension(in);
        extension.landscape.appImagePosition = parseLocation(in);
        for (TallyAdLayout* layout : {&extension.portrait, &extension.landscape}) {
            layout->sellMessagePosition = parseLocation(in);
            layout->appNamePosition = parseLocation(in);
            layout->advertiserPosition = parseLocation(in);
            layout->sellMessageSize = parseDimension(in);
            layout->appNameSize = parseDimension(in);
            layout->advertiserSize = parseDimension(in);
        }
        if (!in.ok())
            break;
        auto theme = _themeMap.find(themeId);
        if (theme == _themeMap.end())
            continue; // an extension of a theme never read: read, and dropped
        std::copy(std::begin(extension.landscapeStyles), std::end(extension.landscapeStyles), theme->landscapeStyles);
        theme->portrait = extension.portrait;
        theme->landscape = extension.landscape;
        theme->extended = true;
    }
}

TallyTextStyle TallyAdParser::parseFontSizeColor(TallyAdReader& in) {
    TallyTextStyle style;
    style.font = in.string();
    style.size = in.i16();
    style.color = parseColor(in.u32());
    return style;
}

QSize TallyAdParser::parseDimension(TallyAdReader& in) {
    const qint32 width = in.i32();
    return {width, in.i32()};
}

QPoint TallyAdParser::parseLocation(TallyAdReader& in) {
    const qint32 x = in.i32();
    return {x, in.i32()};
}

QColor TallyAdParser::parseColor(quint32 value) {
    return QColor::fromRgbF(float((value >> 16) & 0xFF) / 255.0f, float((value >> 8) & 0xFF) / 255.0f,
                            float(value & 0xFF) / 255.0f, 1.0f);
}

void TallyAdParser::tellDelegate(bool available) const {
    TallyAdDelegate* delegate = _adDelegate;
    if (!delegate)
        return;
    // The ad views live on the main thread; the answer may be parsed on an upload thread.
    platform::MainThread::post([delegate, available] {
        const std::function<void()>& call = available ? delegate->dataAvailable : delegate->dataUnavailable;
        if (call)
            call();
    });
}

// ---- Archived form ---------------------------------------------------------------------------------------
// Every field the parser holds goes into the archive: the previous instance read back at the next session
// must be what was parsed. Records are arrays in their fields' order; a missing entry reads as zero or empty.

namespace {
QCborArray archiveStyle(const TallyTextStyle& style) { return {style.font, style.size, qint64(style.color.rgba())}; }
TallyTextStyle styleFromArchive(const QCborArray& f) {
    return {f.at(0).toString(), qint16(f.at(1).toInteger()), QColor::fromRgba(QRgb(f.at(2).toInteger()))};
}

QCborArray archiveLayout(const TallyAdLayout& l) {
    QCborArray out;
    for (const QSize& size : {l.adSize, l.appImageSize, l.sellMessageSize, l.appNameSize, l.advertiserSize})
        out << size.width() << size.height();
    for (const QPoint& point : {l.appImagePosition, l.sellMessagePosition, l.appNamePosition, l.advertiserPosition})
        out << point.x() << point.y();
    return out;
}
TallyAdLayout layoutFromArchive(const QCborArray& f) {
    TallyAdLayout l;
    int i = 0;
    const auto next = [&] { return int(f.at(i++).toInteger()); };
    for (QSize* size : {&l.adSize, &l.appImageSize, &l.sellMessageSize, &l.appNameSize, &l.advertiserSize}) {
        const int width = next();
        *size = QSize(width, next());
    }
    for (QPoint* point : {&l.appImagePosition, &l.sellMessagePosition, &l.appNamePosition, &l.advertiserPosition}) {
        const int x = next();
        *point = QPoint(x, next());
    }
    return l;
}

QCborArray archiveTheme(const TallyAdTheme& theme) {
    QCborArray styles;
    for (const TallyTextStyle& style : theme.portraitStyles)
        styles.append(archiveStyle(style));
    for (const TallyTextStyle& style : theme.landscapeStyles)
        styles.append(archiveStyle(style));
    return {theme.themeId, theme.sellMessage, theme.portraitImageId, theme.landscapeImageId, styles,
            archiveLayout(theme.portrait), archiveLayout(theme.landscape), theme.extended};
}
TallyAdTheme themeFromArchive(const QCborArray& f) {
    TallyAdTheme theme;
    theme.themeId = int(f.at(0).toInteger());
    theme.sellMessage = f.at(1).toString();
    theme.portraitImageId = f.at(2).toInteger();
    theme.landscapeImageId = f.at(3).toInteger();
    const QCborArray styles = f.at(4).toArray();
    for (int i = 0; i < 3; ++i) {
        theme.portraitStyles[i] = styleFromArchive(styles.at(i).toArray());
        theme.landscapeStyles[i] = styleFromArchive(styles.at(3 + i).toArray());
    }
    theme.portrait = layoutFromArchive(f.at(5).toArray());
    theme.landscape = layoutFromArchive(f.at(6).toArray());
    theme.extended = f.at(7).toBool();
    return theme;
}

QCborArray archiveProperties(const TallyAdProperties& p) {
    return {p.bannerRotation, p.bannerRefreshSeconds, p.cacheUpdateTimestamp, p.portraitMaximumShown,
            p.landscapeMaximumShown, p.portraitShownAtStart, p.landscapeShownAtStart};
}
TallyAdProperties propertiesFromArchive(const QCborArray& f) {
    return {qint16(f.at(0).toInteger()), qint32(f.at(1).toInteger()), f.at(2).toInteger(), qint8(f.at(3).toInteger()),
            qint8(f.at(4).toInteger()),  f.at(5).toString(),           f.at(6).toString()};
}
} // namespace


QCborValue TallyAdParser::archive() const {
    QCborMap blocks;
    for (auto it = _adBlockMap.cbegin(); it != _adBlockMap.cend(); ++it) {
        QCborArray ads;
        for (const TallyAd& ad : it.value())
            ads.append(QCborArray{ad.adId, ad.projectId, ad.adText, ad.advertiser, ad.canvasId, ad.imageId, ad.cookie});
        blocks.insert(it.key(), ads);
    }
    QCborArray hooks;
    for (const TallyAdHook& hook : _hookMap)
        hooks.append(QCborArray{hook.name, hook.adBlockId, hook.themeId,
                                hook.clickAction ? QCborValue(*hook.clickAction) : QCborValue(nullptr)});
    QCborArray themes;
    for (const TallyAdTheme& theme : _themeMap)
        themes.append(archiveTheme(theme));
    QCborMap codes;
    for (auto it = _imageCodeMap.cbegin(); it != _imageCodeMap.cend(); ++it)
        codes.insert(it.key(), it.value());
    return QCborMap{{QStringLiteral("versionId"), _versionId ? QCborValue(*_versionId) : QCborValue(nullptr)},
                    {QStringLiteral("adParsingPhase"), _adParsingPhase},
                    {QStringLiteral("internetAvailable"), _internetAvailable},
                    {QStringLiteral("adBlocks"), blocks},
                    {QStringLiteral("hooks"), hooks},
                    {QStringLiteral("themes"), themes},
                    {QStringLiteral("imageCodes"), codes},
                    {QStringLiteral("properties"), _properties ? archiveProperties(*_properties) : QCborValue(nullptr)}};
}

std::shared_ptr<TallyAdParser> TallyAdParser::fromArchive(const QCborValue& archive) {
    if (!archive.isMap())
        return nullptr;
    const QCborMap map = archive.toMap();
    auto parser = std::make_shared<TallyAdParser>();
    if (map.value(QStringLiteral("versionId")).isInteger())
        parser->_versionId = qint32(map.value(QStringLiteral("versionId")).toInteger());
    parser->_adParsingPhase = int(map.value(QStringLiteral("adParsingPhase")).toInteger());
    parser->_internetAvailable = map.value(QStringLiteral("internetAvailable")).toBool();
    for (const auto& [id, ads] : map.value(QStringLiteral("adBlocks")).toMap()) {
        QList<TallyAd> block;
        for (const QCborValue& entry : ads.toArray()) {
            const QCborArray f = entry.toArray();
            block.append({f.at(0).toInteger(), f.at(1).toInteger(), f.at(2).toString(), f.at(3).toString(),
                          f.at(4).toInteger(), f.at(5).toInteger(), f.at(6).toByteArray()});
        }
        parser->_adBlockMap.insert(int(id.toInteger()), block);
    }
    for (const QCborValue& entry : map.value(QStringLiteral("hooks")).toArray()) {
        const QCborArray f = entry.toArray();
        TallyAdHook hook{f.at(0).toString(), int(f.at(1).toInteger()), int(f.at(2).toInteger()), std::nullopt};
        if (f.at(3).isInteger())
            hook.clickAction = f.at(3).toInteger();
        parser->_hookMap.insert(hook.name, hook);
    }
    for (const QCborValue& entry : map.value(QStringLiteral("themes")).toArray()) {
        const TallyAdTheme theme = themeFromArchive(entry.toArray());
        parser->_themeMap.insert(theme.themeId, theme);
    }
    for (const auto& [code, id] : map.value(QStringLiteral("imageCodes")).toMap())
        parser->_imageCodeMap.insert(int(code.toInteger()), id.toInteger());
    if (map.value(QStringLiteral("properties")).isArray())
        parser->_properties = propertiesFromArchive(map.value(QStringLiteral("properties")).toArray());
    return parser;
}

} // namespace grinsley
