// The editor controller. Its source is split by area, one header for the class:
//   here, the controller's own operations in the order its description gives them: outlets and items,
//   editing commands, toolbar state, child screens, lifecycle, view set-up;
//   MoxelViewControllerScreens.cpp, the operations it serves for the other screens: photo intake (picker and
//   loading), sharing, the hint bubble and the shape picker, the social hooks;
//   MoxelViewControllerAdditions.cpp, what the desktop program adds: photo files, the face commands and piece
//   options, the keys without an item, the canvas that follows the window.
// The work itself lives in units beside it: PhotoIntake reads photos, FaceCommands finds and swaps faces,
// PhotoSharing builds the share sheet and does what its buttons say, BusySpinner shows the spinner.
#include "MoxelViewController.h"

#include <algorithm>

#include <QAction>
#include <QGraphicsScene>
#include <QToolBar>

#include "analytics/TallyAPI.h"
#include "app/BusySpinner.h"
#include "app/FaceCommands.h"
#include "app/MainScrollView.h"
#include "app/PhotoIntake.h"
#include "app/ShapePickerViewController.h"
#include "app/UserManualViewController.h"
#include "editing/DrawView.h"
#include "editing/SelectionShape.h"
#include "editing/SelectionView.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/NavigationController.h"
#include "platform/Theme.h"
#include "ui_MoxelViewController-iPad.h"
#include "ui_MoxelViewController.h"

namespace grinsley {

namespace {
int& editors() {
    static int count = 0;
    return count;
}
} // namespace

// ---------------------------------------------------------------------------------------------------------
// Outlets and the items

QString MoxelViewController::interfaceFileName() {
    return platform::Device::isTablet() ? QStringLiteral("MoxelViewController-iPad") : QStringLiteral("MoxelViewController");
}

int MoxelViewController::liveCount() { return editors(); }

// Every toolbar item once, in the interface files' order: what binds the outlets, gives the glyphs, connects
// the commands and sets the keys that the tooltips show.
const std::vector<MoxelViewController::Item>& MoxelViewController::items() {
    using C = MoxelViewController;
    static const std::vector<Item> table = {
        {&C::_openItem, "openItem", "Open", &C::openButtonTouched, QKeySequence::Open},
        {&C::_organizeItem, "organizeItem", "Share", &C::organizeButtonTouched, {}},
        {&C::_undoItem, "undoItem", "Undo", &C::undoButtonTouched, QKeySequence::Undo},
        {&C::_redoItem, "redoItem", "Redo", &C::redoButtonTouched, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
        {&C::_copyItem, "copyItem", "Copy", &C::copyButtonTouched, QKeySequence::Copy},
        {&C::_pasteItem, "pasteItem", "Paste", &C::pasteButtonTouched, QKeySequence::Paste},
        {&C::_swapItem, "swapItem", "Swap", &C::swapButtonTouched, {}},
        {&C::_cropItem, "cropItem", "Crop", &C::cropButtonTouched, {}},
        {&C::_shapesItem, "shapesItem", "Shapes", &C::shapesButtonTouched, {}},
        {&C::_horizontalFlipItem, "horizontalFlipItem", "Flip", &C::horizontalFlipButtonTouched, {}},
        {&C::_clearItem, "clearItem", "Clear", &C::clearButtonTouched, QKeySequence::Delete},
        {&C::_helpItem, "helpItem", "Help", &C::helpButtonTouched, QKeySequence::HelpContents},
        {&C::_findFacesItem, "findFacesItem", "Faces", &C::findFacesButtonTouched, QKeySequence(Qt::CTRL | Qt::Key_F)},
        {&C::_swapFacesItem, "swapFacesItem", "SwapFaces", &C::swapFacesButtonTouched,
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
        {&C::_edgeItem, "edgeItem", "Edge", &C::edgeButtonTouched, {}},
        {&C::_compareItem, "compareItem", "Compare", nullptr, {}}, // held, not pressed: see setUpCompareItem
    };
    return table;
}

MoxelViewController::MoxelViewController(const QString& interfaceFile, QWidget* parent)
    : ViewController(parent), _interfaceFile(interfaceFile) {
    _social.session = std::make_shared<SocialSessionDelegate>(SocialSessionDelegate{
        [this] { sessionDidLogin(); }, [this](bool cancelled) { sessionDidNotLogin(cancelled); }, [this] { sessionDidLogout(); }});
    _social.request = std::make_shared<SocialRequestDelegate>();
    _social.request->requestDidLoad = [this](SocialRequest* r, const SocialResult& result) { requestDidLoad(r, result); };
    _social.request->requestDidFailWithError = [this](SocialRequest* r, const platform::ErrorRecord& e) { requestDidFailWithError(r, e); };
    _social.dialog = std::make_shared<SocialDialogDelegate>();
    _social.dialog->dialogDidComplete = [this](SocialDialog* d) { dialogDidComplete(d); };
    ++editors();
    setObjectName(QStringLiteral("editor"));
    // The interface file by its name, as a phone's bundle would load it.
    if (interfaceFile == QLatin1String("MoxelViewController-iPad"))
        Ui::MoxelViewControllerIPad().setupUi(this);
    else
        Ui::MoxelViewController().setupUi(this);
    _topToolbar = findChild<QToolBar*>(QStringLiteral("topToolbar"));
    _bottomToolbar = findChild<QToolBar*>(QStringLiteral("bottomToolbar"));
    _scrollView = findChild<MainScrollView*>(QStringLiteral("scrollView"));
    for (const Item& item : items())
        this->*item.outlet = findChild<QAction*>(QLatin1String(item.name));
    _busy = std::make_unique<BusySpinner>(this, [this] { return getViewCenter(); });
}

MoxelViewController::~MoxelViewController() {
    cleanupView();
    --editors();
}

// ---------------------------------------------------------------------------------------------------------
// Editing commands

void MoxelViewController::copyButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Copy"));
    _drawView->doCopy();
    _drawView->afterDrawing([faces = QPointer<FaceCommands>(_faceCommands)] {
        if (faces)
            faces->pieceCopied();
    });
    updateToolbarItems(true);
}

void MoxelViewController::pasteButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Paste"));
    // A face copied from a photo goes over a face fitted to it; anything else pastes as ever.
    _faceCommands->paste([this] { _drawView->doPaste(); });
}

void MoxelViewController::swapButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Swap"));
    _drawView->doSwap();
}

void MoxelViewController::cropButtonTouched() {
    _drawView->doCrop();
    updateToolbarItems(true);
}

void MoxelViewController::horizontalFlipButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Flip"));
    _drawView->flipHorizontally();
}

void MoxelViewController::clearButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Delete"));
    _drawView->doClear();
    updateToolbarItems(false);
}

void MoxelViewController::deleteButtonTouched() { clearButtonTouched(); }

void MoxelViewController::undoButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Undo"));
    _drawView->doUndo();
    updateToolbarItems(_drawView->hasSelectedImage());
}

void MoxelViewController::redoButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Redo"));
    _drawView->doRedo();
    updateToolbarItems(_drawView->hasSelectedImage());
}

void MoxelViewController::helpButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Help"));
    if (platform::Device::isTablet())
        dismissPopoverViews(true);
    if (navigationController())
        navigationController()->pushViewController(new UserManualViewController, true);
}

// ---------------------------------------------------------------------------------------------------------
// State and toolbar state

bool MoxelViewController::hasCurrentImage() const { return _drawView && !_drawView->currentImage().isNull(); }
bool MoxelViewController::hasSelectedImage() const { return _drawView && _drawView->hasSelectedImage(); }
float MoxelViewController::topBarHeight() const { return _topToolbar ? float(_topToolbar->height()) : 0.0f; }
float MoxelViewController::bottomBarHeight() const { return _bottomToolbar ? float(_bottomToolbar->height()) : 0.0f; }
platform::ActivityIndicator* MoxelViewController::activityIndicator() const { return _busy->indicator(); }

void MoxelViewController::updateToolbarItems(bool piecePresent) {
    for (QAction* item : {_pasteItem, _swapItem, _horizontalFlipItem, _clearItem})
        item->setEnabled(piecePresent);
}

// Undo and Redo follow the canvas's history (an edit makes a step; a new photo and a memory warning drop them
// all), except while a photo loads.
void MoxelViewController::updateUndoItems() {
    _undoItem->setEnabled(!_isLoadingImage && _drawView && _drawView->canUndo());
    _redoItem->setEnabled(!_isLoadingImage && _drawView && _drawView->canRedo());
}

void MoxelViewController::updateToolbarItemsForInitialState() {
    _openItem->setEnabled(true);
    updateUndoItems();
    for (QAction* item : {_organizeItem, _copyItem, _cropItem})
        item->setEnabled(hasCurrentImage());
    updateToolbarItems(hasSelectedImage());
    updateFaceItems();
}

void MoxelViewController::disableAllEditingToolbarItems() {
    for (QAction* item : {_openItem, _organizeItem, _undoItem, _redoItem, _copyItem, _findFacesItem, _swapFacesItem})
        item->setEnabled(false);
    updateToolbarItems(false);
}

// ---------------------------------------------------------------------------------------------------------
// Child screens

void MoxelViewController::openPopover(QWidget* content, QAction* fromItem) {
    dismissPopoverViews(true);
    auto* popover = new platform::Popover(content);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    _currentPopoverController = popover;
    popover->presentPopoverFromWidget(widgetForItem(fromItem), true);
}

void MoxelViewController::dismissPopoverViews(bool animated) {
    if (_currentPopoverController && _currentPopoverController->isPopoverVisible()) {
        _currentPopoverController->dismissPopoverAnimated(animated);
        _currentPopoverController->deleteLater();
        _currentPopoverController = nullptr;
    }
    if (_currentActionSheet && _currentActionSheet->isVisible()) {
        _currentActionSheet->dismissWithClickedButtonIndex(-1, animated);
        _currentActionSheet = nullptr;
    }
}

void MoxelViewController::closeChildViewController(QObject* child) {
    // A picker closed without a choice (0: cancelled) leaves the shape as it is.
    if (auto* picker = qobject_cast<ShapePickerViewController*>(child); picker && picker->buttonNumPressed() != 0)
        _drawView->changeSelectionShape(picker->buttonNumPressed() == 2 ? RectangleShape : EllipseShape);
    if (platform::Device::isTablet()) {
        dismissPopoverViews(true);
        return;
    }
    if (child == _currentTextBubbleController)
        _currentTextBubbleController = nullptr;
    if (child) {
        if (auto* view = qobject_cast<QWidget*>(child))
            view->hide();
        child->deleteLater();
    }
}

void MoxelViewController::closeModalViewController() { dismissModalViewController(true); }

// ---------------------------------------------------------------------------------------------------------
// Lifecycle

void MoxelViewController::saveApplicationState() {
    if (_drawView)
        _drawView->saveApplicationState();
}

void MoxelViewController::respondToMemoryWarning() {
    if (_undoItem)
        _undoItem->setEnabled(false);
    dismissPopoverViews(false);
    cleanupView();
}

void MoxelViewController::cleanupView() {
    if (_drawView)
        _drawView->setPreviousImage(platform::Image());
    _currentPopoverController = nullptr;
    _currentActionSheet = nullptr;
    _currentTextBubbleController = nullptr;
}

void MoxelViewController::willRotateToInterfaceOrientation(platform::InterfaceOrientation, double) {
    _scrollView->setZoomScale(_scrollView->minimumZoomScale(), false);
}

void MoxelViewController::didRotateFromInterfaceOrientation(platform::InterfaceOrientation) {
    layoutCanvas();
    _drawView->updateView(topBarHeight(), bottomBarHeight());
}

void MoxelViewController::viewWillAppear(bool) {
    if (navigationController())
        navigationController()->setNavigationBarHidden(true, false);
}

void MoxelViewController::viewDidAppear(bool) {
    if (!hasCurrentImage() && !_isLoadingImage)
        displayTextBubble();
}

// ---------------------------------------------------------------------------------------------------------
// View set-up. A desktop window has no fixed toolbar heights to adjust: the layout keeps each bar at its own
// height, so the last step of a phone's set-up has nothing to do here.

void MoxelViewController::viewDidLoad() {
    setUpItems();
    setUpScrollView();
    _isLoadingImage = false;
    setUpCanvas();
    makeUnits();
    _drawView->restoreApplicationState();
    _drawView->setSavesAfterEachEdit(true);
    updateToolbarItemsForInitialState();
}

void MoxelViewController::setUpItems() {
    setStyleSheet(platform::theme::toolbars() + QStringLiteral("grinsley--MainScrollView { background: #18191c; }"));
    for (const Item& item : items()) {
        QAction* action = this->*item.outlet;
        const platform::Image glyph = platform::Bundle::imageNamed(QStringLiteral("Tool%1").arg(QLatin1String(item.glyph)));
        if (!glyph.isNull())
            action->setIcon(platform::theme::toolbarIcon(glyph.bitmap(), glyph.scale()));
        if (item.command)
            connect(action, &QAction::triggered, this, item.command);
        if (!item.key.isEmpty()) {
            action->setShortcut(item.key);
            action->setToolTip(QStringLiteral("%1 (%2)").arg(action->text(), item.key.toString(QKeySequence::NativeText)));
            addAction(action); // the editor's keys, even for an item no bar shows
        }
    }
    addKeyboardShortcuts();
    setUpCompareItem();
    for (QToolBar* bar : {_topToolbar, _bottomToolbar}) {
        if (!bar)
            continue;
        bar->setIconSize(QSize(22, 22));
        platform::theme::spreadItems(bar);
        for (QAction* action : bar->actions()) {
            if (QWidget* button = bar->widgetForAction(action)) {
                button->setFocusPolicy(Qt::NoFocus); // a touch screen's bar buttons take no keyboard focus
                button->installEventFilter(this);    // no tooltip that only repeats the label
            }
        }
    }
}

void MoxelViewController::setUpScrollView() {
    _scrollView->setCanCancelContentTouches(true);
    _scrollView->setDelaysContentTouches(false);
    _scrollView->setMinimumZoomScale(1.0);
    _scrollView->setMaximumZoomScale(4.0);
    _scrollView->setDecelerationRate(platform::ZoomingScrollView::decelerationRateFast);
}

// The canvas fills the scroll view at zoom 1: it takes the size the layout gives the view.
void MoxelViewController::setUpCanvas() {
    if (layout())
        layout()->activate();
    _scene = new QGraphicsScene(this);
    _drawView = new DrawView(QSizeF(_scrollView->size()));
    _scene->addItem(_drawView);
    _scene->setSceneRect(_drawView->bounds());
    _scrollView->setScene(_scene);
    _scrollView->viewport()->installEventFilter(this);
    _scrollView->setAcceptDrops(false); // dropped photos are the window's to take
    _drawView->initialize(topBarHeight(), bottomBarHeight(), this);
    connect(_drawView, &DrawView::comparisonChanged, _compareItem, &QAction::setEnabled);
    connect(_drawView, &DrawView::historyChanged, this, &MoxelViewController::updateUndoItems);
    // The selection's handles keep their size on the screen at any zoom.
    connect(_scrollView, &platform::ZoomingScrollView::zoomScaleChanged, this, [this](qreal zoom) {
        if (SelectionView* overlay = _drawView->selectionView())
            overlay->setZoom(zoom);
    });
}

// The units the editor hands its additions to, each given only what it needs of the editor.
void MoxelViewController::makeUnits() {
    _intake = new PhotoIntake(this, {[this] {
                                         _isLoadingImage = true;
                                         disableAllEditingToolbarItems();
                                         startActivityIndicator();
                                     },
                                     [this](const platform::Image& photo) { displayLoadedImage(photo); },
                                     [this] {
                                         // Nothing of the user's changes: the photo, the piece and Undo stay.
                                         _isLoadingImage = false;
                                         stopActivityIndicator();
                                         updateToolbarItemsForInitialState();
                                     }});
    FaceCommands::Editor faces{_drawView, this, [this] { return _isLoadingImage; }, [this] { _busy->begin(); },
                               [this] { _busy->end(); }, [this] { updateFaceItems(); },
                               [this](QRectF region, qreal wide) {
                                   const qreal zoom = std::clamp(wide / std::max<qreal>(region.width(), 1), _scrollView->zoomScale(),
                                                                 _scrollView->maximumZoomScale());
                                   if (zoom > _scrollView->zoomScale())
                                       _scrollView->setZoomScale(zoom);
                                   _scrollView->centerOn(_drawView->mapToScene(region.center()));
                               }};
    _faceCommands = new FaceCommands(std::move(faces), this);
    _faceCommands->restoreOptions();
}

} // namespace grinsley
