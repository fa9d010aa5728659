#include <gtest/gtest.h>

#include "analytics/TallyProtocolData.h"

using grinsley::TallyProtocolData;

namespace {
QByteArray encoded(const QString& value) {
    QByteArray data;
    TallyProtocolData::appendString(value, data);
    return data;
}
int lengthField(const QByteArray& data) { return (quint8(data.at(0)) << 8) | quint8(data.at(1)); }
} // namespace

TEST(TallyProtocolData, NumbersAreBigEndian) {
    QByteArray data;
    TallyProtocolData::appendUshort(0xBEEF, data);
    TallyProtocolData::appendInt(-2, data);
    TallyProtocolData::appendLong(0x0102030405060708, data);
    TallyProtocolData::appendLong(-1, data);
    TallyProtocolData::appendBoolean(true, data);
    TallyProtocolData::appendByte(-1, data);
    TallyProtocolData::appendFloat(1.0f, data);
    TallyProtocolData::appendDouble(-2.0, data);
    EXPECT_EQ(data.toHex(), QByteArray("beef"
                                       "fffffffe"
                                       "0102030405060708"
                                       "ffffffffffffffff"
                                       "01"
                                       "ff"
                                       "3f800000"
                                       "c000000000000000"));
}

TEST(TallyProtocolData, StringsAreLengthAndUtf8) {
    EXPECT_EQ(encoded(QStringLiteral("abc")).toHex(), "0003616263");
    EXPECT_EQ(encoded(QString()).toHex(), "0000") << "a missing string";
    EXPECT_EQ(encoded(QStringLiteral("")).toHex(), "0000");

    const QByteArray longAscii = encoded(QString(300, QLatin1Char('x')));
    EXPECT_EQ(lengthField(longAscii), 255);
    EXPECT_EQ(longAscii.size(), 2 + 255);
    const QByteArray exact = encoded(QString(255, QLatin1Char('y')));
    EXPECT_EQ(lengthField(exact), 255);
    const QByteArray under = encoded(QString(254, QLatin1Char('y')));
    EXPECT_EQ(lengthField(under), 254);

    const QByteArray twoByte = encoded(QString(255, QChar(0x00E9)));
    EXPECT_EQ(lengthField(twoByte), 510) << "the byte count can exceed 255";
    EXPECT_EQ(lengthField(encoded(QString(400, QChar(0x00E9)))), 510);
}

// Cutting at 255 code units must not split a character of two (an emoji after 254 letters).
TEST(TallyProtocolData, CuttingNeverSplitsACharacter) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString text = QString(254, QLatin1Char('a')) + emoji + QStringLiteral("tail");
    const QString cut = TallyProtocolData::limitStringLength(text);
    EXPECT_EQ(cut, QString(254, QLatin1Char('a')));
    const QByteArray data = encoded(text);
    EXPECT_EQ(QString::fromUtf8(data.mid(2)).toUtf8(), data.mid(2)) << "valid UTF-8";
    // An emoji that fits whole stays.
    const QString fits = QString(253, QLatin1Char('a')) + emoji + QStringLiteral("tail");
    EXPECT_EQ(TallyProtocolData::limitStringLength(fits), QString(253, QLatin1Char('a')) + emoji);
}

TEST(TallyProtocolData, IntervalsAreExactMilliseconds) {
    EXPECT_EQ(TallyProtocolData::timeIntervalFrom(std::nullopt, 5), 0);
    EXPECT_EQ(TallyProtocolData::timeIntervalFrom(5, std::nullopt), 0);
    // Seconds as floating point lose the last millisecond of this one for most start times.
    const qint64 start = 1765000000123;
    EXPECT_EQ(TallyProtocolData::timeIntervalFrom(start, start + 10001), 10001);
    EXPECT_EQ(TallyProtocolData::timeIntervalFrom(start + 7, start), -7);
}

TEST(TallyProtocolData, DataLongerThanItsLengthFieldIsCut) {
    QByteArray data;
    TallyProtocolData::appendTinyData(QByteArray(300, 'z'), data);
    EXPECT_EQ(quint8(data.at(0)), 255);
    EXPECT_EQ(data.size(), 256);
    data.clear();
    TallyProtocolData::appendShortData(QByteArray("hi"), data);
    EXPECT_EQ(data.toHex(), "00026869");
}
