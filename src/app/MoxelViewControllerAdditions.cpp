// The editor controller, continued: what the desktop program adds (photo files, the face commands and piece
// options, the keys without an item, the canvas that follows the window). See MoxelViewController.cpp.
#include "MoxelViewController.h"

#include <QAction>
#include <QEvent>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QToolBar>
#include <QToolButton>

#include "analytics/TallyAPI.h"
#include "app/EdgeOptionsView.h"
#include "app/FaceCommands.h"
#include "app/MainScrollView.h"
#include "app/PhotoIntake.h"
#include "app/ShapePickerViewController.h"
#include "app/TextBubbleViewController.h"
#include "editing/DrawView.h"
#include "platform/AlertView.h"
#include "platform/Device.h"
#include "platform/PhotoPicker.h"

namespace grinsley {

// ---------------------------------------------------------------------------------------------------------
// Additions: photo files and the photo picker's closing

bool MoxelViewController::openPhotoFile(const QString& path) {
    if (_intake->isLoading())
        return false;
    askBeforeReplacing([self = QPointer<MoxelViewController>(this), path] {
        if (self)
            self->_intake->openFile(path);
    });
    return true;
}

bool MoxelViewController::hasUnsavedEdits() const {
    return hasCurrentImage() && (_drawView->isDrawing() || _drawView->photoVersion() != _keptPhoto);
}

// Nothing of the user's is replaced without a word: a photo with edits not saved or shared is only replaced on
// Replace. The floating piece carries over either way, as it always has.
void MoxelViewController::askBeforeReplacing(std::function<void()> replace) {
    if (!hasUnsavedEdits()) {
        replace();
        return;
    }
    platform::AlertView(tr("Replace the edited photo?"), tr("The edits to this photo have not been saved or shared."),
                        tr("Keep Editing"), {tr("Replace")}, [replace = std::move(replace)](int button) {
                            if (button == 1)
                                replace();
                        })
        .show();
}

QList<QAction*> MoxelViewController::customMenuItems() const {
    if (platform::Device::isTablet())
        return {_findFacesItem, _swapFacesItem};
    return {_findFacesItem, _swapFacesItem, _redoItem};
}

void MoxelViewController::closePhotoPicker(platform::PhotoPicker* picker) {
    if (!picker || picker != _picker)
        return;
    if (platform::Device::isTablet())
        dismissPopoverViews(true);
    else
        dismissModalViewController(true);
}

// ---------------------------------------------------------------------------------------------------------
// Additions: faces and piece options

void MoxelViewController::findFacesButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Find Faces"));
    _faceCommands->findFaces();
}

void MoxelViewController::swapFacesButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Swap Faces"));
    _faceCommands->swapFaces();
}

void MoxelViewController::edgeButtonTouched() {
    auto* options = new EdgeOptionsView(_drawView->edgeSoftness(), _drawView->blendsIn());
    options->softnessChanged = [this](double softness, bool finished) { _faceCommands->setEdgeSoftness(softness, finished); };
    options->blendChanged = [this](bool on) { _faceCommands->setBlendsIn(on); };
    openPopover(options, _edgeItem);
}

void MoxelViewController::updateFaceItems() {
    const bool usable = _faceCommands && _faceCommands->canUseFaces();
    _findFacesItem->setEnabled(usable);
    _swapFacesItem->setEnabled(usable);
}

// ---------------------------------------------------------------------------------------------------------
// Additions: Compare, held on its button or its key, shows the photo before the last paste or swap.

void MoxelViewController::setUpCompareItem() {
    const QString key = QKeySequence(compareKey).toString(QKeySequence::NativeText);
    _compareItem->setToolTip(tr("Hold to see the photo before the last paste or swap (hold %1)").arg(key));
    _compareItem->setEnabled(false);
    for (QToolBar* bar : {_topToolbar, _bottomToolbar}) {
        if (auto* button = bar ? qobject_cast<QToolButton*>(bar->widgetForAction(_compareItem)) : nullptr) {
            connect(button, &QToolButton::pressed, this, [this] { setComparing(true); });
            connect(button, &QToolButton::released, this, [this] { setComparing(false); });
        }
    }
}

// The canvas knows whether there is anything to compare; the item's state follows it.
void MoxelViewController::setComparing(bool comparing) {
    if (_drawView)
        _drawView->setComparing(comparing);
}

void MoxelViewController::keyPressEvent(QKeyEvent* event) {
    if (event->key() == compareKey && !event->isAutoRepeat())
        return setComparing(true);
    ViewController::keyPressEvent(event);
}

void MoxelViewController::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == compareKey && !event->isAutoRepeat())
        return setComparing(false);
    ViewController::keyReleaseEvent(event);
}

// ---------------------------------------------------------------------------------------------------------
// Additions: the keys without an item of their own. The arrows nudge the selection (Shift: ten times as far);
// Escape closes a sheet, a popover, the photo picker or the shapes panel.

void MoxelViewController::addKeyboardShortcuts() {
    const auto text = [](const QKeySequence& key) { return key.toString(QKeySequence::NativeText); };
    const auto command = [this](const QKeySequence& key, auto&& run) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, run);
        addAction(action);
        return action;
    };
    QAction* save = command(QKeySequence::Save, [this] {
        if (_organizeItem->isEnabled())
            saveButtonTouched();
    });
    _organizeItem->setToolTip(tr("%1 (%2 saves the photo)").arg(_organizeItem->text(), text(save->shortcut())));
    _redoItem->setShortcuts({_redoItem->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    command(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] {
        if (_organizeItem->isEnabled())
            saveAsButtonTouched();
    });
    const std::pair<Qt::Key, QPointF> arrows[] = {{Qt::Key_Left, {-1, 0}}, {Qt::Key_Right, {1, 0}}, {Qt::Key_Up, {0, -1}}, {Qt::Key_Down, {0, 1}}};
    for (const auto& [key, step] : arrows) {
        command(QKeySequence(key), [this, step = step] { _drawView->nudgeSelection(step); });
        command(QKeySequence(Qt::SHIFT | key), [this, step = step] { _drawView->nudgeSelection(step * 10); });
    }
    QAction* blend = command(QKeySequence(Qt::CTRL | Qt::Key_B), [this] { _faceCommands->setBlendsIn(!_drawView->blendsIn()); });
    QAction* softer = command(QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
                              [this] { _faceCommands->setEdgeSoftness(_drawView->edgeSoftness() + 0.5); });
    QAction* harder = command(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
                              [this] { _faceCommands->setEdgeSoftness(_drawView->edgeSoftness() - 0.5); });
    _edgeItem->setToolTip(tr("Soft edge and blending (%1 blends in, %2 and %3 soften and harden)")
                              .arg(text(blend->shortcut()), text(softer->shortcut()), text(harder->shortcut())));
    command(QKeySequence::Cancel, [this] {
        dismissPopoverViews(true);
        closePhotoPicker(_picker);
        if (auto* shapes = qobject_cast<ShapePickerViewController*>(_shapePicker.data()); shapes && shapes->isVisible())
            shapes->cancel();
    });
}

// ---------------------------------------------------------------------------------------------------------
// Additions: the canvas keeps the size of the view at zoom 1 as the window is resized; bar buttons show no
// tooltip that only repeats their label.

bool MoxelViewController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched) &&
        static_cast<QToolButton*>(watched)->toolTip() == static_cast<QToolButton*>(watched)->text())
        return true;
    if (_scrollView && watched == _scrollView->viewport() && event->type() == QEvent::Resize)
        layoutCanvas();
    return ViewController::eventFilter(watched, event);
}

// The view's own size, which is the canvas's at zoom 1 whatever the zoom is now: the viewport's first resize
// event still reports its size before any layout, and a canvas shrunk to that for a moment would pull the
// selection into its corner.
void MoxelViewController::layoutCanvas() {
    if (!_drawView)
        return;
    const QSizeF size(_scrollView->size());
    if (size == _drawView->bounds().size() || size.isEmpty())
        return;
    _drawView->setSize(size);
    _scene->setSceneRect(_drawView->bounds());
    if (auto* hint = qobject_cast<TextBubbleViewController*>(_currentTextBubbleController.data()))
        hint->setApplicationFrame(QSizeF(window()->size()));
    _drawView->updateView(topBarHeight(), bottomBarHeight());
}

QWidget* MoxelViewController::widgetForItem(QAction* item) const {
    for (QToolBar* bar : {_topToolbar, _bottomToolbar}) {
        if (QWidget* widget = bar ? bar->widgetForAction(item) : nullptr)
            return widget;
    }
    return const_cast<MoxelViewController*>(this);
}

} // namespace grinsley
