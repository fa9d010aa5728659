#pragma once

#include <optional>

#include <QByteArray>
#include <QCborMap>
#include <QString>
#include <QVariantMap>

namespace grinsley {

// One logged event: its name, when it happened, and for a timed event when it ended.
class TallyEvent {
public:
    using Parameters = std::optional<QVariantMap>;

    explicit TallyEvent(QString name, bool timed = false, Parameters parameters = std::nullopt);

    const QString& name() const { return _name; }
    qint64 started() const { return _started; }
    std::optional<qint64> ended() const { return _ended; }
    bool timed() const { return _timed; }
    const Parameters& parameters() const { return _parameters; }
    bool automaticallyEnded() const { return _automaticallyEnded; }

    void setEnded(std::optional<qint64> ended);
    void setParameters(Parameters parameters);
    void setAutomaticallyEnded(bool value);

    bool isUnterminated() const { return _timed && !_ended; }
    // Milliseconds from start to end of a timed, ended event, else 0; a signed 32-bit value.
    qint32 duration() const;
    qint32 startOffsetFromSessionStart(qint64 sessionStart) const;
    // The event's record in the report.
    QByteArray dataRelativeToSessionStart(qint64 sessionStart) const;

    // The archived form: a CBOR map with "name", "started", "ended", "timed", "parameters",
    // "automaticallyEnded". Made once and kept until the event changes, since the session is saved often.
    const QByteArray& archive() const;
    // None when the map is not an event's archive.
    static std::optional<TallyEvent> fromArchive(const QCborMap& map);

private:
    TallyEvent() = default;

    QString _name;
    qint64 _started = 0;
    std::optional<qint64> _ended;
    bool _timed = false;
    Parameters _parameters;
    bool _automaticallyEnded = false;
    mutable QByteArray _archive;
};

} // namespace grinsley
