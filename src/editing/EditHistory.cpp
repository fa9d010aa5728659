#include "EditHistory.h"

#include <algorithm>
#include <cstring>

namespace grinsley {

namespace {
qsizetype pieceBytes(const platform::Image& piece) { return piece.isNull() ? 0 : piece.bitmap().sizeInBytes(); }

// Whether row y of two images differs between columns [left, right).
bool rowDiffers(const QImage& a, const QImage& b, int y, int left, int right, int depth) {
    return std::memcmp(a.constScanLine(y) + left * depth, b.constScanLine(y) + left * depth, std::size_t(right - left) * depth) != 0;
}
} // namespace

qsizetype EditStep::bytes() const {
    return before.sizeInBytes() + after.sizeInBytes() + (changesPiece ? pieceBytes(pieceBefore) + pieceBytes(pieceAfter) : 0);
}

QImage EditStep::photoAt(QImage photo, bool afterIt) const {
    const QImage& pixels = afterIt ? after : before;
    if (whole || photo.isNull())
        return pixels;
    return withPixels(std::move(photo), pixels, region.topLeft());
}

QImage pixelsOf(const QImage& image, QRect rect) { return rect.isEmpty() ? QImage() : image.copy(rect); }

QImage viewOf(const QImage& image, QRect rect) {
    rect &= image.rect();
    if (rect.isEmpty() || image.depth() % 8 != 0)
        return pixelsOf(image, rect);
    if (rect == image.rect())
        return image;
    auto* kept = new QImage(image);
    const uchar* start = kept->constScanLine(rect.top()) + std::size_t(rect.left()) * std::size_t(kept->depth() / 8);
    return QImage(start, rect.width(), rect.height(), kept->bytesPerLine(), kept->format(),
                  [](void* image) { delete static_cast<QImage*>(image); }, kept);
}

QImage withPixels(QImage photo, const QImage& pixels, QPoint at) {
    const QRect target = QRect(at, pixels.size()) & photo.rect();
    if (target.isEmpty())
        return photo;
    const int depth = photo.depth() / 8;
    const std::size_t rowBytes = std::size_t(target.width()) * depth;
    const QPoint from = target.topLeft() - at;
    for (int y = 0; y < target.height(); ++y)
        std::memcpy(photo.scanLine(target.top() + y) + target.left() * depth,
                    pixels.constScanLine(from.y() + y) + from.x() * depth, rowBytes);
    return photo;
}

QRect changedRegion(const QImage& a, const QImage& b, QRect within) {
    within &= a.rect();
    if (within.isEmpty() || a.size() != b.size() || a.format() != b.format() || a.depth() % 8 != 0)
        return within;
    const int depth = a.depth() / 8;
    const int left = within.left(), right = within.right() + 1;
    int top = within.top(), bottom = within.bottom();
    while (top <= bottom && !rowDiffers(a, b, top, left, right, depth))
        ++top;
    if (top > bottom)
        return {};
    while (!rowDiffers(a, b, bottom, left, right, depth))
        --bottom;
    // Columns: the first and last differing pixel over the differing rows.
    int first = right, last = left - 1;
    for (int y = top; y <= bottom; ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pb = b.constScanLine(y);
        for (int x = left; x < first; ++x)
            if (std::memcmp(pa + x * depth, pb + x * depth, depth) != 0) {
                first = x;
                break;
            }
        for (int x = right - 1; x > last; --x)
            if (std::memcmp(pa + x * depth, pb + x * depth, depth) != 0) {
                last = x;
                break;
            }
    }
    return QRect(QPoint(first, top), QPoint(last, bottom));
}

void recordPhotoChange(EditStep& step, const QImage& before, const QImage& after, QRect hint, bool whole) {
    step.whole = whole || before.size() != after.size() || before.format() != after.format();
    if (step.whole) {
        step.region = after.rect();
        step.before = before;
        step.after = after;
        return;
    }
    step.region = changedRegion(before, after, hint.isEmpty() ? before.rect() : hint);
    step.before = pixelsOf(before, step.region);
    step.after = pixelsOf(after, step.region);
}

void EditHistory::push(EditStep step) {
    while (canRedo()) {
        _bytes -= _steps.back().bytes();
        _steps.pop_back();
    }
    _bytes += step.bytes();
    _steps.push_back(std::move(step));
    _next = _steps.size();
    trim();
}

const EditStep* EditHistory::undo() {
    if (!canUndo())
        return nullptr;
    return &_steps[--_next];
}

const EditStep* EditHistory::redo() {
    if (!canRedo())
        return nullptr;
    return &_steps[_next++];
}

void EditHistory::clear() {
    _steps.clear();
    _next = 0;
    _bytes = 0;
}

void EditHistory::amendLatest(const std::function<void(EditStep&)>& amend) {
    if (!canUndo())
        return;
    EditStep& step = _steps[_next - 1];
    _bytes -= step.bytes();
    amend(step);
    _bytes += step.bytes();
    trim();
}

void EditHistory::trim() {
    // Only undoable steps go, and never the newest of them.
    while (_next > 1 && (_bytes > _maxBytes || int(_steps.size()) > _maxSteps)) {
        _bytes -= _steps.front().bytes();
        _steps.pop_front();
        --_next;
    }
}

} // namespace grinsley
