#include "TallyProtocolData.h"

#include <bit>

namespace grinsley {

namespace {
template <typename Unsigned>
void appendBigEndian(Unsigned value, QByteArray& data) {
    for (int shift = int(sizeof(Unsigned) * 8) - 8; shift >= 0; shift -= 8)
        data.append(char((value >> shift) & 0xFF));
}
} // namespace

void TallyProtocolData::appendUshort(quint16 value, QByteArray& data) { appendBigEndian(value, data); }
void TallyProtocolData::appendInt(qint32 value, QByteArray& data) { appendBigEndian(quint32(value), data); }
void TallyProtocolData::appendLong(qint64 value, QByteArray& data) { appendBigEndian(quint64(value), data); }
void TallyProtocolData::appendFloat(float value, QByteArray& data) { appendBigEndian(std::bit_cast<quint32>(value), data); }
void TallyProtocolData::appendDouble(double value, QByteArray& data) {
    appendBigEndian(std::bit_cast<quint64>(value), data);
}

QString TallyProtocolData::limitStringLength(const QString& value) {
    if (value.size() <= MAX_STRING_LENGTH)
        return value;
    qsizetype length = MAX_STRING_LENGTH;
    if (value.at(length - 1).isHighSurrogate() && value.at(length).isLowSurrogate())
        --length; // never half a character: that would be invalid UTF-8
    return value.left(length);
}

void TallyProtocolData::appendString(const QString& value, QByteArray& data) {
    const QByteArray utf8 = limitStringLength(value).toUtf8();
    appendUshort(quint16(utf8.size()), data); // at most 255 code units of at most 3 bytes each
    data.append(utf8);
}

// Bytes beyond what the length field can say are left out: writing them would shift every later field.
void TallyProtocolData::appendShortData(const QByteArray& value, QByteArray& data) {
    const QByteArray kept = value.left(0xFFFF);
    appendUshort(quint16(kept.size()), data);
    data.append(kept);
}

void TallyProtocolData::appendTinyData(const QByteArray& value, QByteArray& data) {
    const QByteArray kept = value.left(0xFF);
    appendByte(int(kept.size()), data);
    data.append(kept);
}

} // namespace grinsley
