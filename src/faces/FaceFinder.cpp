#include "FaceFinder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <QFileInfo>
#include <QLineF>
#include <QPolygonF>
#include <QTransform>

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/image_processing/shape_predictor.h>
#include <dlib/opencv/cv_image.h>
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
    // Never destroyed: a search on a worker may still run while the process ends.
    static auto& byFolder = *new std::map<QString, Models>;
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

std::optional<Face> faceFromLandmarks(const QRectF& box, std::vector<QPointF> landmarks) {
    if (landmarks.size() != Face::landmarkCount)
        return std::nullopt;
    const auto mean = [&landmarks](std::size_t from, std::size_t to) {
        QPointF sum;
        for (std::size_t i = from; i <= to; ++i)
            sum += landmarks[i];
        return sum / double(to - from + 1);
    };
    const QPointF left = mean(36, 41), right = mean(42, 47); // as they appear in the photo
    const QPointF d = right - left;
    const double eyes = std::hypot(d.x(), d.y());
    if (!(eyes >= 2))
        return std::nullopt;
    const double angle = std::atan2(d.y(), d.x());
    const QPointF middle = (left + right) / 2;
    // In the face's own frame: x along the eye line, y down the face, in eye distances.
    const QTransform toFace = QTransform::fromTranslate(-middle.x(), -middle.y()) * QTransform().rotateRadians(-angle) *
                                   QTransform::fromScale(1 / eyes, 1 / eyes);
    const auto local = [&](QPointF p) { return toFace.map(p); };
    const QPointF nose = local(landmarks[30]), mouth = local(mean(48, 59)), chin = local(landmarks[8]);
    const QPointF jawLeft = local(landmarks[0]), jawRight = local(landmarks[16]);
    const double browY = (local(mean(17, 21)).y() + local(mean(22, 26)).y()) / 2;
    // Proportions every face has whatever its pose and expression; a badge or a pattern rarely does.
    const bool plausible = nose.y() > 0.2 && nose.y() < 1.4 && std::abs(nose.x()) < 1.0 && mouth.y() > nose.y() + 0.1 &&
                           mouth.y() < 2.2 && chin.y() > mouth.y() && chin.y() < 3.2 && browY < 0 && browY > -1.2 &&
                           jawRight.x() - jawLeft.x() > 1.3 && jawRight.x() - jawLeft.x() < 3.4;
    if (!plausible)
        return std::nullopt;
    // The oval: the jaw's width, from a little above the brows to the chin.
    double minX = 0, maxX = 0, top = 0;
    for (std::size_t i = 0; i <= 26; ++i) {
        const QPointF p = local(landmarks[i]);
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        top = std::min(top, p.y());
    }
    const double height = chin.y() - top;
    top -= 0.2 * height;
    const double bottom = chin.y() + 0.02 * height;
    const QPointF centre = toFace.inverted().map(QPointF((minX + maxX) / 2, (top + bottom) / 2));
    Face face;
    face.box = box;
    face.centre = centre;
    face.size = QSizeF((maxX - minX) * eyes, (bottom - top) * eyes);
    face.angle = angle;
    face.landmarks = std::move(landmarks);
    return face;
}

namespace {
QPolygonF turnedBox(const Face& face) {
    const QRectF box(QPointF(-face.size.width() / 2, -face.size.height() / 2), face.size);
    return QTransform().translate(face.centre.x(), face.centre.y()).rotateRadians(face.angle).map(QPolygonF(box));
}
double area(const Face& face) { return face.size.width() * face.size.height(); }
} // namespace

QRectF landmarkBounds(const Face& face) {
    QPolygonF points;
    for (QPointF p : face.landmarks)
        points << p;
    return points.boundingRect();
}

QPolygonF faceOutline(const Face& face) {
    if (!face.hasLandmarks())
        return {};
    std::vector<cv::Point2f> cvPoints;
    for (std::size_t i = 0; i <= 26; ++i) // the jaw and the brows
        cvPoints.emplace_back(float(face.landmarks[i].x()), float(face.landmarks[i].y()));
    std::vector<cv::Point2f> hull;
    cv::convexHull(cvPoints, hull);
    QPolygonF outline;
    for (const cv::Point2f& p : hull)
        outline << QPointF(p.x, p.y);
    return outline;
}

bool regionsOverlap(const Face& a, const Face& b) {
    // Faces cheek to cheek touch at their outlines; what a fit lays down stays well inside them.
    const auto core = [](const Face& face) {
        const QPolygonF outline = faceOutline(face);
        const QPointF middle = outline.boundingRect().center();
        return QTransform().translate(middle.x(), middle.y()).scale(0.85, 0.85).translate(-middle.x(), -middle.y()).map(outline);
    };
    if (a.hasLandmarks() && b.hasLandmarks())
        return core(a).intersects(core(b));
    return turnedBox(a).intersects(turnedBox(b));
}

int faceAt(const std::vector<Face>& faces, QPointF pixel) {
    int best = -1;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const QPointF local = QTransform().rotateRadians(-faces[i].angle).map(pixel - faces[i].centre);
        const double a = faces[i].size.width() / 2, b = faces[i].size.height() / 2;
        const bool inside = a > 0 && b > 0 && (local.x() * local.x()) / (a * a) + (local.y() * local.y()) / (b * b) <= 1.0;
        if (inside && (best < 0 || area(faces[i]) < area(faces[std::size_t(best)])))
            best = int(i);
    }
    return best;
}

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

namespace {

// The photo in grey, scaled so that its longer side is `side` (enlarged at most `largest` times); `scale` says
// by how much.
cv::Mat greyCopy(const QImage& photo, int side, double largest, double& scale) {
    scale = std::min(largest, double(side) / std::max(photo.width(), photo.height()));
    // Scaled in colour, then made grey: both steps on the smaller image where it shrinks. The grey copy is new
    // memory, so the colour one need not outlive this.
    const QImage colour = photo.format() == QImage::Format_RGB32 || photo.format() == QImage::Format_ARGB32 ||
                   photo.format() == QImage::Format_ARGB32_Premultiplied
               ? photo
               : photo.convertToFormat(QImage::Format_RGB32);
    const cv::Mat full(colour.height(), colour.width(), CV_8UC4, const_cast<uchar*>(colour.constBits()), size_t(colour.bytesPerLine()));
    cv::Mat scaled = full;
    if (scale != 1.0)
        cv::resize(full, scaled, cv::Size(qRound(photo.width() * scale), qRound(photo.height() * scale)), 0, 0,
                   scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    cv::Mat grey;
    cv::cvtColor(scaled, grey, cv::COLOR_BGRA2GRAY);
    return grey;
}

// The older search, without landmarks: OpenCV's cascades for the face and its eyes.
FaceSearch cascadeSearch(const QImage& photo) {
    FaceSearch search;
    Models& m = models(modelFolder());
    if (!m.loaded) {
        search.error = QStringLiteral("The face models are not installed (%1).").arg(modelFolder());
        return search;
    }
    double scale = 1;
    const cv::Mat view = greyCopy(photo, searchSide, 1.0, scale);
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
    return search;
}

struct LandmarkModel {
    // One detector per pass, each on a thread of its own: a detector keeps scratch state while it scans.
    std::array<dlib::frontal_face_detector, 3> detectors{dlib::get_frontal_face_detector(), dlib::get_frontal_face_detector(),
                                                         dlib::get_frontal_face_detector()};
    dlib::shape_predictor shapes;
    bool loaded = false;
};

// The landmark model of a file, read once (about 100 MB) and kept for every later search. Callers hold the
// serving lock.
LandmarkModel& landmarkModel(const QString& path) {
    static auto& byPath = *new std::map<QString, LandmarkModel>; // never destroyed, as the cascades
    auto [it, added] = byPath.try_emplace(path);
    LandmarkModel& m = it->second;
    if (added && QFileInfo(path).isFile()) {
        try {
            dlib::deserialize(path.toStdString()) >> m.shapes;
            m.loaded = m.shapes.num_parts() == Face::landmarkCount;
        } catch (const std::exception&) {
            m.loaded = false;
        }
    }
    return m;
}

// The landmark detector finds faces down to 80 pixels in the copy it searches: at this side, faces from about
// a twelfth of a large photo's longer side, in about a tenth of a second for the three passes.
constexpr int landmarkSearchSide = 1000;
// The frontal detector takes faces turned up to about 15 degrees in the picture; passes over copies turned by
// this much either way reach 30 degrees and beyond.
constexpr double turnedPassDegrees = 25.0;
// The turned passes look at a smaller copy, which keeps the three passes near a tenth of a second on two
// cores: a face turned that far is found from about 90 pixels of the search copy up.
constexpr double turnedPassZoom = 0.9;
// Small photos are enlarged for the search (faces under 80 pixels are not found) up to this many times.
constexpr double maxEnlargement = 3.0;

// The mean chroma (Cb, Cr of ITU-R BT.601, centred on 0) of a colour.
QPointF chroma(double r, double g, double b) {
    return {-0.168736 * r - 0.331264 * g + 0.5 * b, 0.5 * r - 0.418688 * g - 0.081312 * b};
}

QPointF meanChroma(const QImage& photo) {
    const QImage small = photo.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    double r = 0, g = 0, b = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            const QRgb p = small.pixel(x, y);
            r += qRed(p), g += qGreen(p), b += qBlue(p);
        }
    const double n = small.width() * small.height();
    return chroma(r / n, g / n, b / n);
}

// Whether the cheeks and the nose have a skin's colour, as far as the photo has colour: a badge, a pattern or a
// painted surface can have a face's shape, rarely a face's colour. Skin of every tone is redder than it is
// blue; under a coloured light or cast (the mean chroma around the face) it is so against the cast.
bool looksLikeSkin(const QImage& photo, const Face& face) {
    const std::vector<QPointF>& l = face.landmarks;
    const QPointF cast = meanChroma(photo.copy(QRectF(face.centre - QPointF(face.size.width(), face.size.height()) * 1.5,
                                                      face.size * 3).toRect() & photo.rect()));
    const double radius = std::max(1.0, 0.12 * QLineF(l[39], l[42]).length());
    double r = 0, g = 0, b = 0;
    int count = 0;
    for (QPointF centre : {(l[2] + l[31] + l[40]) / 3, (l[14] + l[35] + l[47]) / 3, l[29]}) {
        const QRect patch = QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)).toRect() & photo.rect();
        for (int y = patch.top(); y <= patch.bottom(); ++y)
            for (int x = patch.left(); x <= patch.right(); ++x) {
                const QRgb p = photo.pixel(x, y);
                r += qRed(p), g += qGreen(p), b += qBlue(p);
                ++count;
            }
    }
    if (count == 0)
        return false;
    const QPointF c = chroma(r / count, g / count, b / count);
    if (std::abs(c.x()) < 6 && std::abs(c.y()) < 6)
        return true; // no colour to judge by
    const double warmth = std::max(c.y() - c.x(), (c.y() - cast.y()) - (c.x() - cast.x()));
    return warmth > 8;
}

struct Candidate {
    double score;
    Face face;
};

double iou(const QRectF& a, const QRectF& b) {
    const QRectF both = a & b;
    const double shared = both.width() * both.height();
    const double all = a.width() * a.height() + b.width() * b.height() - shared;
    return all > 0 ? shared / all : 0;
}

// Each pass searches the search copy turned by `degrees` (counter-clockwise on screen for positive) and scaled
// by `zoom`, runs the landmarks on what it finds, and maps everything back to the photo's pixels.
void searchPass(dlib::frontal_face_detector& detector, const dlib::shape_predictor& shapes, const cv::Mat& grey,
                double scale, double degrees, double zoom, std::vector<Candidate>& out) {
    cv::Mat turned = grey;
    cv::Mat back = (cv::Mat_<double>(2, 3) << 1, 0, 0, 0, 1, 0);
    if (degrees != 0 || zoom != 1) {
        // Turned about the middle into a copy of the same proportions: the corners it loses rarely hold a face.
        const cv::Size size(qRound(grey.cols * zoom), qRound(grey.rows * zoom));
        cv::Mat forward = cv::getRotationMatrix2D(cv::Point2f(grey.cols / 2.0f, grey.rows / 2.0f), degrees, zoom);
        forward.at<double>(0, 2) += (size.width - grey.cols) / 2.0;
        forward.at<double>(1, 2) += (size.height - grey.rows) / 2.0;
        cv::warpAffine(grey, turned, forward, size, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
        cv::invertAffineTransform(forward, back);
    }
    const auto toPhoto = [&back, scale](double x, double y) {
        return QPointF((back.at<double>(0, 0) * x + back.at<double>(0, 1) * y + back.at<double>(0, 2)) / scale,
                       (back.at<double>(1, 0) * x + back.at<double>(1, 1) * y + back.at<double>(1, 2)) / scale);
    };
    const dlib::cv_image<unsigned char> image(turned);
    std::vector<dlib::rect_detection> found;
    detector(image, found, 0.0);
    for (const dlib::rect_detection& d : found) {
        const dlib::full_object_detection shape = shapes(image, d.rect);
        std::vector<QPointF> points;
        points.reserve(shape.num_parts());
        for (unsigned long i = 0; i < shape.num_parts(); ++i)
            points.push_back(toPhoto(shape.part(i).x(), shape.part(i).y()));
        const QPointF middle = toPhoto(dlib::center(d.rect).x(), dlib::center(d.rect).y());
        const double side = d.rect.width() / scale / zoom;
        const QRectF box(middle - QPointF(side, side) / 2, QSizeF(side, side));
        if (std::optional<Face> face = faceFromLandmarks(box, std::move(points)))
            out.push_back({d.detection_confidence, std::move(*face)});
    }
}

// Faces by the landmark model: an upright pass and two turned ones, the same face found twice kept once (the
// surer finding).
std::vector<Face> landmarkSearch(LandmarkModel& m, const QImage& photo) {
    double scale = 1;
    const cv::Mat grey = greyCopy(photo, landmarkSearchSide, maxEnlargement, scale);
    // The three passes at once: on two cores they take two thirds of their time one after another.
    std::vector<Candidate> candidates, turnedLeft, turnedRight;
    std::thread left([&] { searchPass(m.detectors[1], m.shapes, grey, scale, turnedPassDegrees, turnedPassZoom, turnedLeft); });
    std::thread right([&] { searchPass(m.detectors[2], m.shapes, grey, scale, -turnedPassDegrees, turnedPassZoom, turnedRight); });
    searchPass(m.detectors[0], m.shapes, grey, scale, 0.0, 1.0, candidates);
    left.join();
    right.join();
    std::vector<Candidate> turned = std::move(turnedLeft);
    turned.insert(turned.end(), turnedRight.begin(), turnedRight.end());
    // The upright pass's findings come first: a turned copy can show a face far from upright, and then its
    // landmarks, which start from an upright face, come out askew. The turned passes add the faces it missed.
    const auto surerFirst = [](const Candidate& a, const Candidate& b) { return a.score > b.score; };
    std::stable_sort(candidates.begin(), candidates.end(), surerFirst);
    std::stable_sort(turned.begin(), turned.end(), surerFirst);
    candidates.insert(candidates.end(), turned.begin(), turned.end());
    std::erase_if(candidates, [&](const Candidate& c) { return !looksLikeSkin(photo, c.face); });
    std::vector<Face> kept;
    std::vector<QRectF> keptBounds;
    for (Candidate& c : candidates) {
        const QRectF box = landmarkBounds(c.face);
        const bool again = std::any_of(keptBounds.begin(), keptBounds.end(),
                                       [&](const QRectF& k) { return iou(box, k) > 0.3 || k.contains(box.center()); });
        if (again)
            continue;
        keptBounds.push_back(box);
        kept.push_back(std::move(c.face));
    }
    return kept;
}

} // namespace

QString landmarkModelPath() {
    const QString configured = qEnvironmentVariable("GRINSLEY_FACE_LANDMARKS");
    return configured.isEmpty() ? QStringLiteral(GRINSLEY_LANDMARK_MODEL) : configured;
}

FaceSearch findFaces(const QImage& photo) {
    FaceSearch search;
    if (photo.isNull())
        return search;
    // The detectors keep scratch state while they search. Never destroyed: a search may outlive the process's end.
    static auto& serving = *new std::mutex;
    const std::lock_guard lock(serving);
    LandmarkModel& landmarks = landmarkModel(landmarkModelPath());
    if (landmarks.loaded) {
        search.faces = landmarkSearch(landmarks, photo);
    } else {
        search = cascadeSearch(photo);
        if (search.error.isEmpty())
            search.notice = QStringLiteral("Faces are found without their landmarks, so swaps are plain ovals: "
                                           "install the package libdlib-data (%1 is missing).")
                                .arg(landmarkModelPath());
    }
    std::sort(search.faces.begin(), search.faces.end(),
              [](const Face& a, const Face& b) { return a.centre.x() < b.centre.x(); });
    return search;
}

} // namespace grinsley::faces
