#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QCborValue>
#include <QList>
#include <QMap>

#include "TallyAdImageCache.h"
#include "TallyAdModel.h"

namespace grinsley {

class TallyAdReader;

// Told on the main thread whether ad data arrived. Either member may be empty (not implemented).
struct TallyAdDelegate {
    std::function<void()> dataAvailable;
    std::function<void()> dataUnavailable;
};

// Reads the answer to an upload that asked for ads: a sequence of chunks (2-byte type, 4-byte size,
// payload) into maps of ad blocks, images, hooks and themes. Every read is bounded by the answer and by its
// chunk: a size, count or length that runs past them stops that chunk (or the answer) and keeps what was
// read before; nothing is allocated beyond what the answer holds.
class TallyAdParser {
public:
    enum ChunkType : quint16 {
        Version = 0x0102,
        AdBlock = 0x0103,
        Images = 0x0106,
        Hooks = 0x0107,
        EndOfMessage = 0x0108,
        Error = 0x0109,
        Themes = 0x010A,
        ImageCodes = 0x010C,
        Properties = 0x010D,
        HookActions = 0x010E,
        ThemeExtensions = 0x010F,
    };
    static constexpr qint16 CLICK_ACTION_ITEM = 1793;
    static inline const QString archivePrefix = QStringLiteral("adParser");
    static inline const QString imageCachePrefix = QStringLiteral("imageCache");

    // The parser of this session and the one saved at the last end of message.
    static std::shared_ptr<TallyAdParser> instance();
    static std::shared_ptr<TallyAdParser> oldInstance();
    static TallyAdImageCache imageCache();
    // At each session creation: the saved parser (and images) read back as the previous instance, and a
    // fresh current instance.
    static void recreateInstances();

    void parseData(const std::optional<QByteArray>& data);
    void processTaggedFile(const QByteArray& data);
    void processTaggedFileChunk(int type, QByteArrayView payload);
    void setInternetAvailable(bool available) { _internetAvailable = available; }
    void setAdDelegate(TallyAdDelegate* delegate) { _adDelegate = delegate; }

    std::optional<qint32> versionId() const { return _versionId; }
    int adParsingPhase() const { return _adParsingPhase; }
    bool internetAvailable() const { return _internetAvailable; }
    const QMap<int, QList<TallyAd>>& adBlockMap() const { return _adBlockMap; }
    const QMap<qint64, TallyAdImage>& imageMap() const { return _imageMap; }
    const QMap<QString, TallyAdHook>& hookMap() const { return _hookMap; }
    const QMap<int, TallyAdTheme>& themeMap() const { return _themeMap; }
    const QMap<int, qint64>& imageCodeMap() const { return _imageCodeMap; }
    const std::optional<TallyAdProperties>& properties() const { return _properties; }
    int errorsReported() const { return _errorsReported; }

    QCborValue archive() const;
    static std::shared_ptr<TallyAdParser> fromArchive(const QCborValue& archive);

private:
    void processVersionChunk(TallyAdReader& in);
    void processAdChunk(TallyAdReader& in);
    void processImageChunk(TallyAdReader& in);
    void processHookChunk(TallyAdReader& in);
    void processEndOfMessageChunk();
    void processErrorChunk(TallyAdReader& in);
    void processAdThemeChunk(TallyAdReader& in);
    void processAuxImageInfoChunk(TallyAdReader& in);
    void processPropertyChunk(TallyAdReader& in);
    void processAuxHookInfoChunk(TallyAdReader& in);
    void processAdThemeExtensionChunk(TallyAdReader& in);
    static TallyTextStyle parseFontSizeColor(TallyAdReader& in);
    static QSize parseDimension(TallyAdReader& in);
    static QPoint parseLocation(TallyAdReader& in);
    static QColor parseColor(quint32 value);
    void tellDelegate(bool available) const;

    std::optional<qint32> _versionId;
    int _adParsingPhase = 0;
    bool _internetAvailable = false;
    QMap<int, QList<TallyAd>> _adBlockMap;
    QMap<qint64, TallyAdImage> _imageMap;
    QMap<QString, TallyAdHook> _hookMap;
    QMap<int, TallyAdTheme> _themeMap;
    QMap<int, qint64> _imageCodeMap;
    std::optional<TallyAdProperties> _properties;
    TallyAdDelegate* _adDelegate = nullptr; // not owned
    int _errorsReported = 0;
};

} // namespace grinsley
