#pragma once

#include <vector>

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace grinsley::testing {

// One photo of the hand-marked set of real photographs of people (tests/faces/data/face-photos.json), turned
// when its entry says so, with its face boxes in its own pixels.
struct FacePhoto {
    QString name; // the file, and the turn when there is one
    double turn = 0;
    QImage photo;
    std::vector<QRectF> faces;
    std::vector<QRectF> ignore; // faces too small, sideways or hidden to count either way
};

// The whole set, loaded from the photos the set-up fetched; empty (with a failure) when they are missing.
std::vector<FacePhoto> loadFaceSet();

// How a finder did on the set: a found box is a hit when it overlaps a marked face by at least the IoU given.
struct FaceScore {
    int marked = 0, found = 0, hits = 0;
    int falseFaces = 0, falseFacesWithoutPeople = 0;
    int markedTurned30 = 0, hitsTurned30 = 0;
    QStringList misses, falses;
    double recall() const { return marked ? double(hits) / marked : 1; }
    double precision() const { return found ? double(hits) / found : 1; }
};
double iou(const QRectF& a, const QRectF& b);
FaceScore scoreFaceBoxes(const FacePhoto& photo, const std::vector<QRectF>& found, double minimumIou = 0.4);
void add(FaceScore& total, const FaceScore& one);

} // namespace grinsley::testing
