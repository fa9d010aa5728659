#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace grinsley {

// Writes CBOR straight into a byte buffer. The archives are written with it rather than through QCborValue so
// that a session can splice in its events' encodings, made once, instead of rebuilding a tree on every save;
// they are read back with Qt's own decoder.
class CborWriter {
public:
    void startMap(quint64 entries) { head(5, entries); }
    void startArray(quint64 elements) { head(4, elements); }
    void text(const QString& value);
    void text(QLatin1StringView value);
    void bytes(QByteArrayView value);
    void integer(qint64 value);
    void boolean(bool value) { _data.append(char(value ? 0xF5 : 0xF4)); }
    void null() { _data.append(char(0xF6)); }
    void single(float value);
    void dbl(double value);
    // An item already encoded by another writer.
    void raw(QByteArrayView encoded) { _data.append(encoded); }

    const QByteArray& data() const { return _data; }
    QByteArray take() { return std::move(_data); }

private:
    void head(quint8 major, quint64 value);
    void bigEndian(quint64 value, int bytes);

    QByteArray _data;
};

} // namespace grinsley
