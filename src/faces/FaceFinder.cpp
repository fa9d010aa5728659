#include "FaceFinder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>

#include <QPolygonF>
#include <QTransform>

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

namespace grinsley::faces {

namespace {

// The detector looks at a copy whose longer side is at most this: faces worth a selection are far larger
// than the detector's 24-pixel window there, and the search costs a fraction of the full photo's.
constexpr int searchSide = 800;

struct Models {
    cv::CascadeClassifier face;
    cv::CascadeClassifier eyes;
    bool loaded = false;
};

// The models of a folder, read on first use. Callers hold the serving lock.
Models& models(const QString& folder) {
    static std::map<QString, Models> byFolder;
    auto [it, added] = byFolder.try_emplace(folder);
    Models& m = it->second;
    if (added) {
        const std::string path = folder.toStdString();
        // Of the frontal models this one gave the fewest false faces on the test photographs.
        m.loaded = m.face.load(path + "/haarcascade_frontalface_alt2.xml");
        if (m.loaded)
            m.eyes.load(path + "/haarcascade_eye.xml");
    }
    return m;
}

struct EyeLine {
    QPointF left, right; // in the searched copy's pixels
};

// The centres of the two eyes inside a face, when both can be told apart.
std::optional<EyeLine> findEyes(const cv::Mat& grey, const cv::Rect& face, cv::CascadeClassifier& eyes) {
    if (eyes.empty())
        return std::nullopt;
    const cv::Rect upper(face.x, face.y + face.height / 8, face.width, face.height / 2);
    std::vector<cv::Rect> found;
    const int smallest = std::max(8, face.width / 8);
    eyes.detectMultiScale(grey(upper), found, 1.1, 4, 0, cv::Size(smallest, smallest),
                          cv::Size(face.width / 2, face.width / 2));
    // The best left and right eye: the largest in each half of the face.
    const cv::Rect* left = nullptr;
    const cv::Rect* right = nullptr;
    for (const cv::Rect& eye : found) {
        const bool isLeft = eye.x + eye.width / 2 < face.width / 2;
        const cv::Rect*& slot = isLeft ? left : right;
        if (!slot || eye.area() > slot->area())
            slot = &eye;
    }
    if (!left || !right)
        return std::nullopt;
    const auto centre = [&upper](const cv::Rect& eye) {
        return QPointF(upper.x + eye.x + eye.width / 2.0, upper.y + eye.y + eye.height / 2.0);
    };
    const EyeLine line{centre(*left), centre(*right)};
    const QPointF d = line.right - line.left;
    // A frontal detector does not find faces turned further than this; a larger answer is a wrong eye.
    if (std::abs(std::atan2(d.y(), d.x())) > M_PI / 6)
        return std::nullopt;
    return line;
}

} // namespace

QString modelFolder() {
    const QString configured = qEnvironmentVariable("GRINSLEY_FACE_MODELS");
    return configured.isEmpty() ? QStringLiteral(GRINSLEY_FACE_MODELS) : configured;
}

Face faceFromBox(const QRectF& box, double angle) {
    // The detector's square runs from the brows to the mouth; the oval reaches down to the chin.
    Face face;
    face.box = box;
    face.size = QSizeF(box.width() * 0.9, box.height() * 1.2);
    const QPointF down(-std::sin(angle), std::cos(angle)); // the face's own "down", turned with it
    face.centre = box.center() + down * (box.height() * 0.08);
    face.angle = angle;
    return face;
}

Face faceFromEyes(const QRectF& box, QPointF left, QPointF right) {
    // The mouth lies about one eye distance below the eye line, the face's middle halfway to it.
    const QPointF d = right - left;
    Face face = faceFromBox(box, std::atan2(d.y(), d.x()));
    const QPointF down(-d.y(), d.x());
    face.centre = (left + right) / 2 + down * 0.5;
    return face;
}

namespace {
QPolygonF turnedBox(const Face& face) {
    const QRectF box(QPointF(-face.size.width() / 2, -face.size.height() / 2), face.size);
    return QTransform().translate(face.centre.x(), face.centre.y()).rotateRadians(face.angle).map(QPolygonF(box));
}
double area(const Face& face) { return face.size.width() * face.size.height(); }
} // namespace

bool regionsOverlap(const Face& a, const Face& b) { return turnedBox(a).intersects(turnedBox(b)); }

std::optional<std::pair<std::size_t, std::size_t>> swapPair(const std::vector<Face>& faces, int current) {
    std::vector<std::size_t> bySize(faces.size());
    for (std::size_t i = 0; i < faces.size(); ++i)
        bySize[i] = i;
    std::stable_sort(bySize.begin(), bySize.end(), [&](std::size_t a, std::size_t b) { return area(faces[a]) > area(faces[b]); });
    const auto partnerOf = [&](std::size_t first) -> std::optional<std::pair<std::size_t, std::size_t>> {
        for (std::size_t other : bySize)
            if (other != first && !regionsOverlap(faces[first], faces[other]))
                return std::pair(first, other);
        return std::nullopt;
    };
    if (current >= 0 && std::size_t(current) < faces.size())
        if (auto pair = partnerOf(std::size_t(current)))
            return pair;
    for (std::size_t first : bySize)
        if (auto pair = partnerOf(first))
            return pair;
    return std::nullopt;
}

FaceSearch findFaces(const QImage& photo) {
    FaceSearch search;
    if (photo.isNull())
        return search;
    static std::mutex serving; // a cascade keeps scratch state while it searches
    const std::lock_guard lock(serving);
    Models& m = models(modelFolder());
    if (!m.loaded) {
        search.error = QStringLiteral("The face models are not installed (%1).").arg(modelFolder());
        return search;
    }
    const double scale = std::min(1.0, double(searchSide) / std::max(photo.width(), photo.height()));
    const QImage small = (scale < 1.0 ? photo.scaled(QSize(qRound(photo.width() * scale), qRound(photo.height() * scale)),
                                                     Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                      : photo)
                             .convertToFormat(QImage::Format_Grayscale8);
    const cv::Mat view(small.height(), small.width(), CV_8UC1, const_cast<uchar*>(small.constBits()),
                       size_t(small.bytesPerLine()));
    cv::Mat grey;
    cv::equalizeHist(view, grey);
    std::vector<cv::Rect> found;
    const int smallest = std::max(24, std::min(grey.cols, grey.rows) / 20);
    m.face.detectMultiScale(grey, found, 1.1, 5, 0, cv::Size(smallest, smallest));
    for (const cv::Rect& r : found) {
        const QRectF box(r.x / scale, r.y / scale, r.width / scale, r.height / scale);
        const std::optional<EyeLine> eyes = findEyes(grey, r, m.eyes);
        search.faces.push_back(eyes ? faceFromEyes(box, eyes->left / scale, eyes->right / scale) : faceFromBox(box, 0));
    }
    std::sort(search.faces.begin(), search.faces.end(),
              [](const Face& a, const Face& b) { return a.centre.x() < b.centre.x(); });
    return search;
}

} // namespace grinsley::faces
