#pragma once

#include <deque>
#include <functional>
#include <optional>

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSizeF>

#include "platform/Image.h"

namespace grinsley {

// Where the selection was: its centre over the photo (photo pixels; none without a photo), its angle and its
// size at zoom 1.
struct SelectionPlace {
    std::optional<QPointF> photoCenter;
    float angle = 0;
    QSizeF size;
};

// One edit as it can be taken back and done again: only what it changed. The photo's part is the smallest
// rectangle holding every changed pixel, before and after; the piece is kept by reference (pieces are small
// and shared with the overlay).
struct EditStep {
    QRect region;         // photo pixels that changed; empty: the photo did not
    QImage before, after; // the region's pixels; whole photos when `whole`
    bool whole = false;   // the edit replaced the photo (another size or format, or every pixel: Crop)
    bool changesPiece = false;
    platform::Image pieceBefore, pieceAfter;
    SelectionPlace place; // where the edit was made (no edit moves the selection): Undo and Redo go back there
    qint64 versionBefore = 0, versionAfter = 0; // the photo's versions (DrawView::photoVersion)

    bool changesPhoto() const { return whole || !region.isEmpty(); }
    qsizetype bytes() const;
    // The photo with this step's pixels of one side put back over `photo` (which shows the other side). Pass
    // the photo moved in, so that it is written in place when nothing else holds it.
    QImage photoAt(QImage photo, bool afterIt) const;
};

// The steps that can be undone, newest last, and those an undo freed for redoing. A new step drops the redo
// side; the oldest steps go first when the steps together pass the byte or count limit (the newest one always
// stays, however large, so that the Undo the user just earned is there).
class EditHistory {
public:
    static constexpr qsizetype defaultMaxBytes = qsizetype(256) * 1024 * 1024;
    static constexpr int defaultMaxSteps = 100;
    explicit EditHistory(qsizetype maxBytes = defaultMaxBytes, int maxSteps = defaultMaxSteps)
        : _maxBytes(maxBytes), _maxSteps(maxSteps) {}

    void push(EditStep step);
    // The step to take back (now on the redo side), or null.
    const EditStep* undo();
    // The step to do again (now on the undo side), or null.
    const EditStep* redo();
    void clear();

    bool canUndo() const { return _next > 0; }
    bool canRedo() const { return _next < _steps.size(); }
    int undoCount() const { return int(_next); }
    int redoCount() const { return int(_steps.size() - _next); }
    qsizetype bytes() const { return _bytes; }
    // The step `back` steps before the one the next undo takes back (0: that one), or null.
    const EditStep* undoable(int back = 0) const { return back >= 0 && back < int(_next) ? &_steps[_next - 1 - back] : nullptr; }
    // The step the next undo takes back, amended in place (a blended result replacing the plain one); its bytes
    // are counted again after.
    void amendLatest(const std::function<void(EditStep&)>& amend);

private:
    void trim();

    std::deque<EditStep> _steps;
    std::size_t _next = 0; // steps before it are undoable
    qsizetype _bytes = 0;
    qsizetype _maxBytes;
    int _maxSteps;
};

// The smallest rectangle inside `within` where two photos of the same size and format differ; empty when
// they are the same there.
QRect changedRegion(const QImage& a, const QImage& b, QRect within);

// The pixels of a rectangle of an image; none for an empty rectangle (where QImage::copy gives the whole image).
QImage pixelsOf(const QImage& image, QRect rect);
// The same pixels read where they lie, without a copy: the view keeps the image's pixels alive and never
// writes them (a write to the image itself, shared with the view, copies it first). For boxes made to be kept,
// not for whole photos, which a view would keep whole.
QImage viewOf(const QImage& image, QRect rect);

// `photo` with `pixels` copied over it at `at` (same format; the rows are copied as they are).
QImage withPixels(QImage photo, const QImage& pixels, QPoint at);

// A step's photo part from the photo before and after an edit, looked for inside `hint` (the whole photo when
// empty); with `whole`, or when the photos differ in size or format, both photos as they are.
void recordPhotoChange(EditStep& step, const QImage& before, const QImage& after, QRect hint = {}, bool whole = false);

} // namespace grinsley
