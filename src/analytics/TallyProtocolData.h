#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

namespace grinsley {

// The report's field encoders (every multi-byte value big-endian) and the millisecond arithmetic the
// analytics component uses everywhere. Timestamps are whole milliseconds since 1970.
class TallyProtocolData {
public:
    static constexpr int MAX_STRING_LENGTH = 255; // UTF-16 code units

    static void appendBoolean(bool value, QByteArray& data) { data.append(char(value ? 1 : 0)); }
    static void appendByte(int value, QByteArray& data) { data.append(char(value & 0xFF)); }
    static void appendUshort(quint16 value, QByteArray& data);
    static void appendInt(qint32 value, QByteArray& data);
    static void appendLong(qint64 value, QByteArray& data);
    static void appendFloat(float value, QByteArray& data);
    static void appendDouble(double value, QByteArray& data);
    static void appendTimestamp(qint64 milliseconds, QByteArray& data) { appendLong(milliseconds, data); }
    // The string cut by limitStringLength, then its UTF-8 byte count (2 bytes) and bytes. A null string is
    // missing and written as length 0.
    static void appendString(const QString& value, QByteArray& data);
    // Length (2 bytes, resp. 1) and bytes; bytes beyond what the length can count are left out.
    static void appendShortData(const QByteArray& value, QByteArray& data);
    static void appendTinyData(const QByteArray& value, QByteArray& data);

    // Strings of up to 255 code units stay whole; longer ones keep their first 255, or 254 where the 255th
    // would split a character in two.
    static QString limitStringLength(const QString& value);
    // to − from in milliseconds; 0 when either is missing.
    static qint64 timeIntervalFrom(std::optional<qint64> from, std::optional<qint64> to) {
        return from && to ? *to - *from : 0;
    }
};

} // namespace grinsley
