#include "TallyEvent.h"

#include "CborWriter.h"
#include "TallyProtocolData.h"
#include "platform/Clock.h"

namespace grinsley {

TallyEvent::TallyEvent(QString name, bool timed, Parameters parameters)
    : _name(std::move(name)), _started(platform::Clock::nowMilliseconds()), _timed(timed),
      _parameters(std::move(parameters)) {}

void TallyEvent::setEnded(std::optional<qint64> ended) {
    _ended = ended;
    _archive.clear();
}

void TallyEvent::setParameters(Parameters parameters) {
    _parameters = std::move(parameters);
    _archive.clear();
}

void TallyEvent::setAutomaticallyEnded(bool value) {
    _automaticallyEnded = value;
    _archive.clear();
}

qint32 TallyEvent::duration() const {
    if (!_timed || !_ended)
        return 0;
    return qint32(TallyProtocolData::timeIntervalFrom(_started, _ended));
}

qint32 TallyEvent::startOffsetFromSessionStart(qint64 sessionStart) const {
    return qint32(TallyProtocolData::timeIntervalFrom(sessionStart, _started));
}

QByteArray TallyEvent::dataRelativeToSessionStart(qint64 sessionStart) const {
    QByteArray data;
    TallyProtocolData::appendString(_name, data);
    const qsizetype count = _parameters ? _parameters->size() : 0;
    TallyProtocolData::appendUshort(quint16(count), data);
    if (_parameters) {
        for (auto it = _parameters->cbegin(); it != _parameters->cend(); ++it) {
            TallyProtocolData::appendString(it.key(), data);
            TallyProtocolData::appendString(it.value().toString(), data);
        }
    }
    TallyProtocolData::appendLong(startOffsetFromSessionStart(sessionStart), data);
    TallyProtocolData::appendLong(duration(), data);
    return data;
}

const QByteArray& TallyEvent::archive() const {
    if (!_archive.isEmpty())
        return _archive;
    CborWriter out;
    out.startMap(6);
    out.text(QLatin1StringView("name"));
    out.text(_name);
    out.text(QLatin1StringView("started"));
    out.integer(_started);
    out.text(QLatin1StringView("ended"));
    _ended ? out.integer(*_ended) : out.null();
    out.text(QLatin1StringView("timed"));
    out.boolean(_timed);
    out.text(QLatin1StringView("parameters"));
    if (_parameters) {
        out.startMap(quint64(_parameters->size()));
        for (auto it = _parameters->cbegin(); it != _parameters->cend(); ++it) {
            out.text(it.key());
            out.text(it.value().toString());
        }
    } else {
        out.null();
    }
    out.text(QLatin1StringView("automaticallyEnded"));
    out.boolean(_automaticallyEnded);
    _archive = out.take();
    return _archive;
}

std::optional<TallyEvent> TallyEvent::fromArchive(const QCborMap& map) {
    const QCborValue name = map.value(QLatin1StringView("name"));
    const QCborValue started = map.value(QLatin1StringView("started"));
    const QCborValue ended = map.value(QLatin1StringView("ended"));
    const QCborValue parameters = map.value(QLatin1StringView("parameters"));
    if (!name.isString() || !started.isInteger() || !(ended.isInteger() || ended.isNull() || ended.isUndefined()) ||
        !(parameters.isMap() || parameters.isNull() || parameters.isUndefined()))
        return std::nullopt;
    TallyEvent event;
    event._name = name.toString();
    event._started = started.toInteger();
    if (ended.isInteger())
        event._ended = ended.toInteger();
    event._timed = map.value(QLatin1StringView("timed")).toBool();
    if (parameters.isMap()) {
        QVariantMap values;
        for (const auto& [key, value] : parameters.toMap()) {
            if (!key.isString() || !value.isString())
                return std::nullopt;
            values.insert(key.toString(), value.toString());
        }
        event._parameters = std::move(values);
    }
    event._automaticallyEnded = map.value(QLatin1StringView("automaticallyEnded")).toBool();
    return event;
}

} // namespace grinsley
