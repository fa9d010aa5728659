#include "FaceSet.h"

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTransform>

namespace grinsley::testing {

namespace {
QRectF boxFrom(const QJsonValue& v) {
    const QJsonArray a = v.toArray();
    return QRectF(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble());
}
} // namespace

std::vector<FacePhoto> loadFaceSet() {
    QFile file(QStringLiteral(GRINSLEY_SOURCE_DIR "/tests/faces/data/face-photos.json"));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
        return {};
    }
    std::vector<FacePhoto> set;
    for (const QJsonValue entry : QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("photos")).toArray()) {
        const QJsonObject o = entry.toObject();
        FacePhoto p;
        p.turn = o.value(QStringLiteral("turn")).toDouble();
        const QString fileName = o.value(QStringLiteral("file")).toString();
        p.name = p.turn != 0 ? QStringLiteral("%1 turned %2").arg(fileName).arg(p.turn) : fileName;
        const QImage original = QImage(QStringLiteral(GRINSLEY_TEST_PHOTOS "/faces/") + fileName).convertToFormat(QImage::Format_RGB32);
        if (original.isNull()) {
            ADD_FAILURE() << "missing face photo " << fileName.toStdString() << " (tools/setup.sh fetches it)";
            return {};
        }
        // Turned about the middle onto a grey canvas that holds all of it; each box turns about its centre.
        const QTransform turn = QImage::trueMatrix(QTransform().rotate(p.turn), original.width(), original.height());
        p.photo = original;
        if (p.turn != 0) {
            p.photo = QImage(turn.mapRect(QRectF(original.rect())).size().toSize(), QImage::Format_RGB32);
            p.photo.fill(QColor(128, 128, 128));
            QPainter painter(&p.photo);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.setTransform(turn);
            painter.drawImage(0, 0, original);
        }
        const auto boxes = [&](const QString& key) {
            std::vector<QRectF> out;
            for (const QJsonValue b : o.value(key).toArray()) {
                const QRectF box = boxFrom(b);
                out.emplace_back(turn.map(box.center()) - QPointF(box.width(), box.height()) / 2, box.size());
            }
            return out;
        };
        p.faces = boxes(QStringLiteral("faces"));
        p.ignore = boxes(QStringLiteral("ignore"));
        set.push_back(std::move(p));
    }
    return set;
}

double iou(const QRectF& a, const QRectF& b) {
    const QRectF both = a & b;
    const double shared = both.width() * both.height();
    const double all = a.width() * a.height() + b.width() * b.height() - shared;
    return all > 0 ? shared / all : 0;
}

FaceScore scoreFaceBoxes(const FacePhoto& photo, const std::vector<QRectF>& found, double minimumIou) {
    FaceScore score;
    score.marked = int(photo.faces.size());
    std::vector<bool> taken(photo.faces.size(), false);
    for (const QRectF& box : found) {
        int best = -1;
        double bestIou = minimumIou;
        for (std::size_t i = 0; i < photo.faces.size(); ++i)
            if (!taken[i] && iou(box, photo.faces[i]) >= bestIou)
                best = int(i), bestIou = iou(box, photo.faces[i]);
        if (best >= 0) {
            taken[std::size_t(best)] = true;
            ++score.found, ++score.hits;
            continue;
        }
        const bool ignored = std::any_of(photo.ignore.begin(), photo.ignore.end(), [&](const QRectF& i) { return iou(box, i) >= minimumIou || i.contains(box.center()); });
        if (ignored)
            continue;
        ++score.found, ++score.falseFaces;
        if (photo.faces.empty() && photo.ignore.empty())
            ++score.falseFacesWithoutPeople;
        score.falses.push_back(QStringLiteral("%1 at %2,%3").arg(photo.name).arg(box.x()).arg(box.y()));
    }
    for (std::size_t i = 0; i < taken.size(); ++i)
        if (!taken[i])
            score.misses.push_back(QStringLiteral("%1 at %2,%3").arg(photo.name).arg(photo.faces[i].x()).arg(photo.faces[i].y()));
    if (std::abs(photo.turn) >= 30) {
        score.markedTurned30 = score.marked;
        score.hitsTurned30 = score.hits;
    }
    return score;
}

void add(FaceScore& total, const FaceScore& one) {
    total.marked += one.marked, total.found += one.found, total.hits += one.hits;
    total.falseFaces += one.falseFaces, total.falseFacesWithoutPeople += one.falseFacesWithoutPeople;
    total.markedTurned30 += one.markedTurned30, total.hitsTurned30 += one.hitsTurned30;
    total.misses += one.misses;
    total.falses += one.falses;
}

} // namespace grinsley::testing
