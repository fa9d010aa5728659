#include "CborWriter.h"

#include <bit>
#include <cstring>

namespace grinsley {

void CborWriter::bigEndian(quint64 value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        _data.append(char((value >> shift) & 0xFF));
}

void CborWriter::head(quint8 major, quint64 value) {
    const char type = char(major << 5);
    if (value < 24) {
        _data.append(char(type | char(value)));
    } else if (value <= 0xFF) {
        _data.append(char(type | 24));
        bigEndian(value, 1);
    } else if (value <= 0xFFFF) {
        _data.append(char(type | 25));
        bigEndian(value, 2);
    } else if (value <= 0xFFFFFFFFu) {
        _data.append(char(type | 26));
        bigEndian(value, 4);
    } else {
        _data.append(char(type | 27));
        bigEndian(value, 8);
    }
}

void CborWriter::text(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    head(3, quint64(utf8.size()));
    _data.append(utf8);
}

void CborWriter::text(QLatin1StringView value) {
    head(3, quint64(value.size())); // the keys are ASCII, which is UTF-8 as it stands
    _data.append(value.data(), value.size());
}

void CborWriter::bytes(QByteArrayView value) {
    head(2, quint64(value.size()));
    _data.append(value);
}

void CborWriter::integer(qint64 value) {
    if (value >= 0)
        head(0, quint64(value));
    else
        head(1, quint64(-(value + 1)));
}

void CborWriter::single(float value) {
    _data.append(char(0xFA));
    bigEndian(std::bit_cast<quint32>(value), 4);
}

void CborWriter::dbl(double value) {
    _data.append(char(0xFB));
    bigEndian(std::bit_cast<quint64>(value), 8);
}

} // namespace grinsley
