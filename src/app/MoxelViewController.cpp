#include "MoxelViewController.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QPainter>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <thread>

#include "analytics/TallyAPI.h"
#include "app/GrinsleyCommon.h"
#include "app/MainScrollView.h"
#include "app/EdgeOptionsView.h"
#include "app/PhotoSharing.h"
#include "app/ShapePickerViewController.h"
#include "app/TextBubbleViewController.h"
#include "app/UploadPhotoViewController.h"
#include "app/UserManualViewController.h"
#include "editing/DrawView.h"
#include "editing/ImageResize.h"
#include "editing/SelectionView.h"
#include "platform/ActionSheet.h"
#include "platform/ActivityIndicator.h"
#include "platform/AlertView.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/MailComposer.h"
#include "platform/MainThread.h"
#include "platform/NavigationController.h"
#include "platform/PhotoAlbum.h"
#include "platform/Notice.h"
#include "platform/PhotoPicker.h"
#include "platform/Popover.h"
#include "platform/UserDefaults.h"
#include "ui_MoxelViewController-iPad.h"
#include "ui_MoxelViewController.h"

namespace grinsley {

namespace {
int& editors() {
    static int count = 0;
    return count;
}
} // namespace

QString MoxelViewController::interfaceFileName() {
    QString name = QStringLiteral("MoxelViewController");
    if (platform::Device::isTablet())
        name += QStringLiteral("-iPad");
    return name;
}

int MoxelViewController::liveCount() { return editors(); }

MoxelViewController::MoxelViewController(const QString& interfaceFile, QWidget* parent)
    : ViewController(parent), _interfaceFile(interfaceFile) {
    _sessionCallbacks = std::make_shared<SocialSessionDelegate>(SocialSessionDelegate{
        [this] { sessionDidLogin(); }, [this](bool cancelled) { sessionDidNotLogin(cancelled); },
        [this] { sessionDidLogout(); }});
    _requestCallbacks = std::make_shared<SocialRequestDelegate>();
    _requestCallbacks->requestDidLoad = [this](SocialRequest* r, const SocialResult& result) { requestDidLoad(r, result); };
    _requestCallbacks->requestDidFailWithError = [this](SocialRequest* r, const platform::ErrorRecord& e) {
        requestDidFailWithError(r, e);
    };
    _dialogCallbacks = std::make_shared<SocialDialogDelegate>();
    _dialogCallbacks->dialogDidComplete = [this](SocialDialog* d) { dialogDidComplete(d); };
    ++editors();
    setObjectName(QStringLiteral("editor"));
    // The interface file by its name, as a phone's bundle would load it.
    if (interfaceFile == QLatin1String("MoxelViewController-iPad")) {
        Ui::MoxelViewControllerIPad ui;
        ui.setupUi(this);
        bindOutlets(ui);
    } else {
        Ui::MoxelViewController ui;
        ui.setupUi(this);
        bindOutlets(ui);
    }
}

MoxelViewController::~MoxelViewController() {
    cleanupView();
    --editors();
}

template <typename Ui> void MoxelViewController::bindOutlets(Ui& ui) {
    _topToolbar = ui.topToolbar;
    if constexpr (requires { ui.bottomToolbar; })
        _bottomToolbar = ui.bottomToolbar;
    _scrollView = ui.scrollView;
    const std::pair<QAction**, QAction*> items[] = {
        {&_openItem, ui.openItem},   {&_organizeItem, ui.organizeItem}, {&_undoItem, ui.undoItem},
        {&_copyItem, ui.copyItem},   {&_pasteItem, ui.pasteItem},       {&_swapItem, ui.swapItem},
        {&_cropItem, ui.cropItem},   {&_shapesItem, ui.shapesItem},     {&_horizontalFlipItem, ui.horizontalFlipItem},
        {&_clearItem, ui.clearItem}, {&_helpItem, ui.helpItem},     {&_findFacesItem, ui.findFacesItem},
        {&_swapFacesItem, ui.swapFacesItem}, {&_edgeItem, ui.edgeItem}};
    for (auto [slot, action] : items)
        *slot = action;
}

// ---------------------------------------------------------------------------------------------------------
// View set-up

void MoxelViewController::viewDidLoad() {
    setStyleSheet(QStringLiteral("QToolBar { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #34373e,"
                                 " stop:1 #101114); border: none; spacing: 2px; padding: 2px; }"
                                 "QToolButton { color: white; font-size: 10px; padding: 1px 3px; background: transparent;"
                                 " border: none; border-radius: 5px; }"
                                 "QToolButton:hover { background: rgba(255,255,255,28); }"
                                 "QToolButton:pressed { background: rgba(255,255,255,60); }"
                                 "QToolButton:disabled { color: #6b6e75; }"
                                 "grinsley--MainScrollView { background: #18191c; }"));
    // Each item with its icon and its command.
    struct Item {
        QAction* action;
        const char* icon;
        void (MoxelViewController::*command)();
    };
    const Item items[] = {
        {_openItem, "Open", &MoxelViewController::openButtonTouched},
        {_organizeItem, "Share", &MoxelViewController::organizeButtonTouched},
        {_undoItem, "Undo", &MoxelViewController::undoButtonTouched},
        {_copyItem, "Copy", &MoxelViewController::copyButtonTouched},
        {_pasteItem, "Paste", &MoxelViewController::pasteButtonTouched},
        {_swapItem, "Swap", &MoxelViewController::swapButtonTouched},
        {_cropItem, "Crop", &MoxelViewController::cropButtonTouched},
        {_shapesItem, "Shapes", &MoxelViewController::shapesButtonTouched},
        {_horizontalFlipItem, "Flip", &MoxelViewController::horizontalFlipButtonTouched},
        {_clearItem, "Clear", &MoxelViewController::clearButtonTouched},
        {_helpItem, "Help", &MoxelViewController::helpButtonTouched},
        {_findFacesItem, "Faces", &MoxelViewController::findFacesButtonTouched},
        {_swapFacesItem, "SwapFaces", &MoxelViewController::swapFacesButtonTouched},
        {_edgeItem, "Edge", &MoxelViewController::edgeButtonTouched}};
    for (const Item& item : items) {
        const platform::Image icon = platform::Bundle::imageNamed(QStringLiteral("Tool%1").arg(QLatin1String(item.icon)));
        if (!icon.isNull()) {
            QPixmap pixmap = QPixmap::fromImage(icon.bitmap());
            pixmap.setDevicePixelRatio(icon.scale());
            QIcon glyph(pixmap);
            // A disabled item must look disabled at a glance: its glyph fades with its label.
            QImage faded = icon.bitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter fade(&faded);
            fade.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            fade.fillRect(faded.rect(), QColor(0, 0, 0, 80));
            fade.end();
            QPixmap disabled = QPixmap::fromImage(faded);
            disabled.setDevicePixelRatio(icon.scale());
            glyph.addPixmap(disabled, QIcon::Disabled);
            item.action->setIcon(glyph);
        }
        connect(item.action, &QAction::triggered, this, item.command);
    }
    addKeyboardShortcuts();
    for (QToolBar* bar : {_topToolbar, _bottomToolbar}) {
        if (!bar)
            continue;
        bar->setIconSize(QSize(22, 22));
        spreadItems(bar);
        for (QAction* action : bar->actions()) {
            if (QWidget* button = bar->widgetForAction(action)) {
                button->setFocusPolicy(Qt::NoFocus); // a touch screen's bar buttons take no keyboard focus
                button->installEventFilter(this);    // no tooltip that only repeats the label
            }
        }
    }

    _scrollView->setCanCancelContentTouches(true);
    _scrollView->setDelaysContentTouches(false);
    _scrollView->setMinimumZoomScale(1.0);
    _scrollView->setMaximumZoomScale(4.0);
    _scrollView->setDecelerationRate(platform::ZoomingScrollView::decelerationRateFast);
    _isLoadingImage = false;

    // The canvas fills the scroll view at zoom 1; it takes the size the layout gives the view.
    if (layout())
        layout()->activate();
    _scene = new QGraphicsScene(this);
    _drawView = new DrawView(QSizeF(_scrollView->size()));
    _scene->addItem(_drawView);
    _scene->setSceneRect(_drawView->bounds());
    _scrollView->setScene(_scene);
    _scrollView->viewport()->installEventFilter(this);
    // Dropped photos are the window's to take (the canvas's scene takes no drops).
    _scrollView->setAcceptDrops(false);

    _drawView->initialize(topBarHeight(), bottomBarHeight(), this);
    // Blending moves no face: the faces found stay the blended photo's.
    connect(_drawView, &DrawView::blendedPhotoReplaced, this, [this](qint64 plain, qint64 blended) {
        if (_facesPhoto == plain)
            _facesPhoto = blended;
    });
    const platform::UserDefaults& defaults = platform::UserDefaults::standard();
    _drawView->setBlendsIn(defaults.boolForKey(blendInKey));
    if (defaults.hasKey(edgeSoftnessKey))
        _drawView->setEdgeSoftness(defaults.objectForKey(edgeSoftnessKey).toDouble());
    _drawView->restoreApplicationState();
    _drawView->setSavesAfterEachEdit(true);
    updateToolbarItemsForInitialState();
    // A desktop window has no fixed toolbar heights to adjust; the layout keeps each bar at its own height.
}

void MoxelViewController::viewWillAppear(bool) {
    if (navigationController())
        navigationController()->setNavigationBarHidden(true, false);
}

void MoxelViewController::viewDidAppear(bool) {
    if (!hasCurrentImage())
        displayTextBubble();
}

// A phone's toolbar spreads its items across the bar with flexible space between them, no separators.
void MoxelViewController::spreadItems(QToolBar* bar) {
    QAction* previous = nullptr;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) {
            bar->removeAction(action);
            continue;
        }
        if (previous) {
            auto* space = new QWidget(bar);
            space->setObjectName(QStringLiteral("flexibleSpace"));
            space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            bar->insertWidget(action, space);
        }
        previous = action;
    }
}

// Keeps the canvas the size of the view at zoom 1, as the window is resized.
bool MoxelViewController::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && qobject_cast<QToolButton*>(watched) &&
        static_cast<QToolButton*>(watched)->toolTip() == static_cast<QToolButton*>(watched)->text())
        return true;
    if (_scrollView && watched == _scrollView->viewport() && event->type() == QEvent::Resize)
        layoutCanvas();
    return ViewController::eventFilter(watched, event);
}

void MoxelViewController::layoutCanvas() {
    if (!_drawView)
        return;
    // The view's own size, which is the canvas's at zoom 1 whatever the zoom is now: the viewport's first
    // resize event still reports its size before any layout, and a canvas shrunk to that for a moment would
    // pull the selection into its corner.
    const QSizeF size(_scrollView->size());
    if (size == _drawView->bounds().size() || size.isEmpty())
        return;
    _drawView->setSize(size);
    _scene->setSceneRect(_drawView->bounds());
    _drawView->updateView(topBarHeight(), bottomBarHeight());
}

void MoxelViewController::willRotateToInterfaceOrientation(platform::InterfaceOrientation, double) {
    _scrollView->setZoomScale(_scrollView->minimumZoomScale(), false);
}

void MoxelViewController::didRotateFromInterfaceOrientation(platform::InterfaceOrientation) {
    layoutCanvas();
    _drawView->updateView(topBarHeight(), bottomBarHeight());
}

// ---------------------------------------------------------------------------------------------------------
// State

bool MoxelViewController::hasCurrentImage() const { return _drawView && !_drawView->currentImage().isNull(); }
bool MoxelViewController::hasSelectedImage() const { return _drawView && _drawView->hasSelectedImage(); }
float MoxelViewController::topBarHeight() const { return _topToolbar ? float(_topToolbar->height()) : 0.0f; }
float MoxelViewController::bottomBarHeight() const { return _bottomToolbar ? float(_bottomToolbar->height()) : 0.0f; }

// ---------------------------------------------------------------------------------------------------------
// Commands

void MoxelViewController::copyButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Copy"));
    _drawView->doCopy();
    updateToolbarItems(true);
}

void MoxelViewController::pasteButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Paste"));
    _drawView->doPaste();
    _undoItem->setEnabled(true);
}

void MoxelViewController::swapButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Swap"));
    _drawView->doSwap();
    _undoItem->setEnabled(true);
}

void MoxelViewController::cropButtonTouched() {
    _drawView->doCrop();
    _undoItem->setEnabled(true);
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
    _undoItem->setEnabled(false);
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
// Sharing

void MoxelViewController::organizeButtonTouched() {
    auto* sheet = new platform::ActionSheet(QString(), QString(), QString(), {SAVE_PHOTO_TEXT, EMAIL_PHOTO_TEXT});
    sheet->setTag(ORGANIZE_VIEW_TAG);
    sheet->clickedButtonAtIndex = [this](platform::ActionSheet* s, int index) { actionSheetClickedButtonAtIndex(s, index); };
    sheet->didDismissWithButtonIndex = [this](platform::ActionSheet* s, int index) {
        actionSheetDidDismissWithButtonIndex(s, index);
    };
    if (platform::Device::isTablet()) {
        dismissPopoverViews(true);
        sheet->showFromWidget(widgetForItem(_organizeItem));
    } else {
        sheet->setCancelButtonIndex(sheet->addButtonWithTitle(QStringLiteral("Close")));
        sheet->showInView(this);
    }
    _currentActionSheet = sheet;
}

void MoxelViewController::actionSheetClickedButtonAtIndex(platform::ActionSheet* sheet, int buttonIndex) {
    if (!sheet || buttonIndex < 0 || buttonIndex >= sheet->numberOfButtons())
        return;
    if (sheet->tag() == ORGANIZE_VIEW_TAG) {
        if (buttonIndex == SAVE_BUTTON_INDEX)
            saveButtonTouched();
        else if (buttonIndex == EMAIL_BUTTON_INDEX)
            emailButtonTouched();
        else if (buttonIndex == SOCIAL_UPLOAD_INDEX)
            socialUploadButtonTouched();
    }
    _currentActionSheet = nullptr;
}

void MoxelViewController::actionSheetDidDismissWithButtonIndex(platform::ActionSheet* sheet, int) {
    if (sheet == _currentActionSheet)
        _currentActionSheet = nullptr;
}

void MoxelViewController::saveButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Save"));
    // Encoded and written on a thread of its own; the interface goes on meanwhile.
    QPointer<MoxelViewController> self(this);
    platform::PhotoAlbum::save(PhotoSharing::albumImage(_drawView->currentImage()),
                               [self](const std::optional<platform::ErrorRecord>& error) {
                                   if (self)
                                       self->saveCompleted(error);
                               });
}

void MoxelViewController::saveCompleted(const std::optional<platform::ErrorRecord>& error) {
    if (error)
        PhotoSharing::showNotSavedMessage(*error);
}

void MoxelViewController::emailButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Email"));
    const platform::Image photo = _drawView->currentImage();
    GrinsleyCommon::presentMailComposer(
        this, [&photo](platform::MailComposer& composer) { PhotoSharing::composePhotoMail(composer, photo); },
        [this](platform::MailComposer* c, platform::MailComposeResult r) { mailComposeControllerDidFinishWithResult(c, r); });
}

void MoxelViewController::mailComposeControllerDidFinishWithResult(platform::MailComposer*,
                                                                   platform::MailComposeResult result) {
    GrinsleyCommon::finishMail(this, result);
}

// ---------------------------------------------------------------------------------------------------------
// Shape picker and hint

void MoxelViewController::shapesButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Shapes"));
    auto* picker = new ShapePickerViewController;
    picker->setDelegate(this);
    if (platform::Device::isTablet()) {
        openPopover(picker, _shapesItem);
        return;
    }
    // A desktop window can have any size: the picker covers the editor in both orientations.
    delete _shapePicker.data();
    _shapePicker = picker;
    picker->setParent(this);
    picker->setGeometry(rect());
    picker->show();
    picker->raise();
    picker->viewWillAppear(false);
}

void MoxelViewController::displayTextBubble() {
    if (platform::Device::isTablet()) {
        auto* sheet = new platform::ActionSheet(HINT_TEXT, QString(), QString(), {});
        sheet->didDismissWithButtonIndex = [this](platform::ActionSheet* s, int index) {
            actionSheetDidDismissWithButtonIndex(s, index);
        };
        dismissPopoverViews(true);
        sheet->showFromWidget(widgetForItem(_openItem));
        _currentActionSheet = sheet;
        return;
    }
    if (_currentTextBubbleController)
        closeChildViewController(_currentTextBubbleController);
    auto* bubble = new TextBubbleViewController(this);
    bubble->setText(HINT_TEXT);
    bubble->setDelegate(this);
    bubble->loadView(QSizeF(window()->size()), _drawView);
    _currentTextBubbleController = bubble;
}

// ---------------------------------------------------------------------------------------------------------
// Faces and piece options

namespace {
pieces::PhotoRegion regionOf(const faces::Face& face) { return {face.centre, face.size, float(face.angle)}; }
} // namespace

void MoxelViewController::findFacesButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Find Faces"));
    if (!canUseFaces())
        return;
    withFaces([this] {
        if (_faces.empty()) {
            platform::Notice::show(this, tr("No face found in this photo."));
            return;
        }
        _faceIndex = (_faceIndex + 1) % int(_faces.size());
        _drawView->placeSelection(regionOf(_faces[std::size_t(_faceIndex)]));
    });
}

void MoxelViewController::swapFacesButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Swap Faces"));
    if (!canUseFaces())
        return;
    withFaces([this] {
        if (_faces.size() < 2) {
            platform::Notice::show(this, _faces.empty() ? tr("Swap Faces needs two faces; none was found in this photo.")
                                                        : tr("Swap Faces needs two faces; only one was found in this photo."));
            return;
        }
        const std::size_t first = _faceIndex >= 0 ? std::size_t(_faceIndex) : 0;
        const std::size_t second = (first + 1) % _faces.size();
        _drawView->swapRegions(regionOf(_faces[first]), regionOf(_faces[second]));
        // The faces are where they were: only their contents changed places.
        _facesPhoto = _drawView->currentImage().bitmap().cacheKey();
        _undoItem->setEnabled(true);
    });
}

void MoxelViewController::withFaces(std::function<void()> then) {
    const QImage photo = _drawView->currentImage().bitmap();
    if (_facesPhoto == photo.cacheKey()) {
        then();
        return;
    }
    _isFindingFaces = true;
    updateFaceItems();
    startActivityIndicator();
    const quint64 search = ++_faceSearch;
    QPointer<MoxelViewController> self(this);
    std::thread([self, photo, search, then = std::move(then)] {
        faces::FaceSearch found = faces::findFaces(photo);
        platform::MainThread::post([self, photo, search, then, found = std::move(found)] {
            if (!self || self->_faceSearch != search)
                return;
            self->_isFindingFaces = false;
            if (!self->_isLoadingImage) // the spinner is the photo's now
                self->stopActivityIndicator();
            self->updateFaceItems();
            // The photo changed while its faces were sought: the answer is for another photo.
            if (self->_drawView->currentImage().bitmap().cacheKey() != photo.cacheKey())
                return;
            if (!found.error.isEmpty()) {
                platform::Notice::show(self, found.error);
                return;
            }
            self->_faces = found.faces;
            self->_facesPhoto = photo.cacheKey();
            self->_faceIndex = -1;
            then();
        });
    }).detach();
}

void MoxelViewController::edgeButtonTouched() {
    auto* options = new EdgeOptionsView(_drawView->edgeSoftness(), _drawView->blendsIn());
    options->softnessChanged = [this](double softness, bool finished) { setEdgeSoftness(softness, finished); };
    options->blendChanged = [this](bool on) { setBlendsIn(on); };
    openPopover(options, _edgeItem);
}

void MoxelViewController::setBlendsIn(bool blends) {
    if (blends == _drawView->blendsIn())
        return;
    TallyAPI::logEvent(QStringLiteral("Blend In"));
    _drawView->setBlendsIn(blends);
    platform::UserDefaults::standard().setObject(blends, blendInKey);
}

// Each step of a drag sets the softness; the event and the saved setting wait for the finger to lift.
void MoxelViewController::setEdgeSoftness(double softness, bool finished) {
    _drawView->setEdgeSoftness(softness);
    if (!finished)
        return;
    TallyAPI::logEvent(QStringLiteral("Edge Softness"));
    platform::UserDefaults::standard().setObject(_drawView->edgeSoftness(), edgeSoftnessKey);
}

// ---------------------------------------------------------------------------------------------------------
// Social hooks

void MoxelViewController::sessionDidLogin() { TallyAPI::logEvent(QStringLiteral("Social logged in")); }
void MoxelViewController::sessionDidNotLogin(bool) { TallyAPI::logEvent(QStringLiteral("Social did not log in")); }
void MoxelViewController::sessionDidLogout() { TallyAPI::logEvent(QStringLiteral("Social logged out")); }
void MoxelViewController::requestDidLoad(SocialRequest*, const SocialResult&) {
    TallyAPI::logEvent(QStringLiteral("Social request completed"));
}
void MoxelViewController::requestDidFailWithError(SocialRequest*, const platform::ErrorRecord& error) {
    TallyAPI::logError(QStringLiteral("Social request failed"), error.localizedDescription(), &error);
}
void MoxelViewController::dialogDidComplete(SocialDialog*) {
    TallyAPI::logEvent(QStringLiteral("Social dialog completed"));
}

void MoxelViewController::uploadPhotoToSocial() {
    dismissPopoverViews(false); // nothing floats over a full screen
    auto* upload = new UploadPhotoViewController;
    upload->setDisplayImage(_drawView->currentImage().bitmap());
    presentModalViewController(upload, true); // kept by nobody here: it closes itself
}

// ---------------------------------------------------------------------------------------------------------
// Keyboard

// The usual keys for the commands, shown in the items' tooltips; the arrows nudge the selection (Shift: ten
// times as far); Escape closes a sheet, a popover or the photo picker.
void MoxelViewController::addKeyboardShortcuts() {
    const auto text = [](const QKeySequence& key) { return key.toString(QKeySequence::NativeText); };
    const std::pair<QAction*, QKeySequence> keys[] = {
        {_openItem, QKeySequence::Open},   {_copyItem, QKeySequence::Copy},   {_pasteItem, QKeySequence::Paste},
        {_undoItem, QKeySequence::Undo},   {_clearItem, QKeySequence::Delete}, {_helpItem, QKeySequence::HelpContents},
        {_findFacesItem, QKeySequence(Qt::CTRL | Qt::Key_F)}, {_swapFacesItem, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}};
    for (const auto& [item, key] : keys) {
        item->setShortcut(key);
        item->setToolTip(QStringLiteral("%1 (%2)").arg(item->text(), text(key)));
        addAction(item); // the editor's keys, even for an item no bar shows
    }
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
    const std::pair<Qt::Key, QPointF> arrows[] = {
        {Qt::Key_Left, {-1, 0}}, {Qt::Key_Right, {1, 0}}, {Qt::Key_Up, {0, -1}}, {Qt::Key_Down, {0, 1}}};
    for (const auto& [key, step] : arrows) {
        command(QKeySequence(key), [this, step = step] { _drawView->nudgeSelection(step); });
        command(QKeySequence(Qt::SHIFT | key), [this, step = step] { _drawView->nudgeSelection(step * 10); });
    }
    QAction* blend = command(QKeySequence(Qt::CTRL | Qt::Key_B), [this] { setBlendsIn(!_drawView->blendsIn()); });
    QAction* softer = command(QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
                              [this] { setEdgeSoftness(_drawView->edgeSoftness() + 0.5); });
    QAction* harder = command(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
                              [this] { setEdgeSoftness(_drawView->edgeSoftness() - 0.5); });
    _edgeItem->setToolTip(tr("Soft edge and blending (%1 blends in, %2 and %3 soften and harden)")
                              .arg(text(blend->shortcut()), text(softer->shortcut()), text(harder->shortcut())));
    command(QKeySequence::Cancel, [this] {
        dismissPopoverViews(true);
        closePhotoPicker(_picker);
    });
}

// ---------------------------------------------------------------------------------------------------------
// Photo intake

int MoxelViewController::maxImageSize() { return platform::Device::isTablet() ? 2000000 : 1000000; }

QSizeF MoxelViewController::validSize(QSizeF size, int limit) {
    float w = float(size.width());
    float h = float(size.height());
    while (w * h >= float(limit) && w * h > 0) {
        w *= 0.5f;
        h *= 0.5f;
    }
    return {w, h};
}

// The photo library: a popover from Open on the tablet, a full screen on the phone.
void MoxelViewController::openButtonTouched() {
    TallyAPI::logEvent(QStringLiteral("Open"));
    auto* picker = new platform::PhotoPicker;
    picker->setDialogHost(window());
    picker->didFinishPickingFile = [self = QPointer<MoxelViewController>(this)](platform::PhotoPicker* from,
                                                                                 const QString& path) {
        if (!self)
            return;
        self->closePhotoPicker(from);
        self->openPhotoFile(path);
    };
    picker->didCancel = [this](platform::PhotoPicker* from) { closePhotoPicker(from); };
    _picker = picker;
    if (platform::Device::isTablet()) {
        picker->setFixedSize(360, 480);
        openPopover(picker, _openItem);
    } else {
        presentModalViewController(picker, true);
    }
}

platform::PhotoPicker* MoxelViewController::photoPicker() const { return _picker.data(); }

void MoxelViewController::closePhotoPicker(platform::PhotoPicker* picker) {
    if (!picker || picker != _picker)
        return;
    if (platform::Device::isTablet())
        dismissPopoverViews(true);
    else
        dismissModalViewController(true);
}

void MoxelViewController::imagePickerControllerDidFinishPickingMedia(platform::PhotoPicker*, const platform::Image& photo) {
    // Every photo goes through the resize, which also turns it upright.
    loadInBackground({}, [photo](int limit) {
        platform::PhotoFile::Result result;
        result.photo = imageresize::resizedImage(photo, validSize(photo.size(), limit), imageresize::High);
        return result;
    });
}

bool MoxelViewController::openPhotoFile(const QString& path) {
    return loadInBackground(path, [path](int limit) {
        return platform::PhotoFile::readUpright(path, [limit](QSizeF upright) {
            const QSizeF valid = validSize(upright, limit);
            return QSize(int(std::ceil(valid.width())), int(std::ceil(valid.height())));
        });
    });
}

// One photo at a time. Everything from the file on runs on a worker; a read that never returns is given up
// after a while, so that Open works again, and its late answer is dropped.
bool MoxelViewController::loadInBackground(const QString& path,
                                           std::function<platform::PhotoFile::Result(int limit)> work) {
    if (_isLoadingImage)
        return false;
    TallyAPI::logEvent(QStringLiteral("Picked image"));
    _isLoadingImage = true;
    const quint64 load = ++_loadGeneration;
    disableAllEditingToolbarItems();
    startActivityIndicator();
    // The limit is read here: the device kind comes from the screen, which only the main thread may ask.
    const int limit = maxImageSize();
    QPointer<MoxelViewController> self(this);
    std::thread([self, path, load, limit, work = std::move(work)] {
        platform::PhotoFile::Result result = work(limit);
        platform::MainThread::post([self, path, load, result] {
            if (self && self->_loadGeneration == load)
                self->finishLoading(path, result);
        });
    }).detach();
    QTimer::singleShot(intakeTimeoutMs, this, [this, path, load] {
        if (_isLoadingImage && _loadGeneration == load) {
            ++_loadGeneration;
            platform::PhotoFile::Result late;
            late.failure = platform::PhotoFile::Failure::Unreadable;
            late.detail = tr("it took too long");
            finishLoading(path, late);
        }
    });
    return true;
}

void MoxelViewController::finishLoading(const QString& path, const platform::PhotoFile::Result& result) {
    if (result.ok() && !result.photo.isNull()) {
        displayLoadedImage(result.photo);
        return;
    }
    // Nothing of the user's changes: the photo, the piece and Undo stay as they were.
    _isLoadingImage = false;
    stopActivityIndicator();
    updateToolbarItemsForInitialState();
    _undoItem->setEnabled(!_drawView->previousImage().isNull());
    const QString name = path.isEmpty() ? tr("The photo") : QStringLiteral("\u201C%1\u201D").arg(QFileInfo(path).fileName());
    platform::PhotoFile::Result failure = result;
    if (failure.ok()) // a photo that came out empty
        failure.failure = platform::PhotoFile::Failure::Damaged;
    const QString reason = platform::PhotoFile::describe(failure);
    platform::AlertView(tr("Cannot Open Photo"), tr("%1 %2.").arg(name, reason), tr("OK")).show();
}

void MoxelViewController::displayLoadedImage(const platform::Image& photo) {
    TallyAPI::logEvent(QStringLiteral("Displaying image"));
    if (_currentTextBubbleController)
        closeChildViewController(_currentTextBubbleController);
    // The tablet's hint is a sheet at Open: it has said its piece once a photo is here.
    if (_currentActionSheet && _currentActionSheet->title() == HINT_TEXT)
        _currentActionSheet->dismissWithClickedButtonIndex(-1, false);
    _scrollView->setZoomScale(_scrollView->minimumZoomScale());
    _drawView->setCurrentImage(photo);
    _drawView->setPreviousImage(platform::Image());
    _drawView->setPreviousSelectedImage(platform::Image());
    _isLoadingImage = false;
    updateToolbarItemsForInitialState();
    stopActivityIndicator();
}

void MoxelViewController::startActivityIndicator() {
    if (!_activityIndicator)
        _activityIndicator = new platform::ActivityIndicator(this);
    _activityIndicator->resize(60, 60);
    const QPointF centre = getViewCenter();
    _activityIndicator->move(int(centre.x()) - 30, int(centre.y()) - 30);
    _activityIndicator->startAnimating();
}

void MoxelViewController::stopActivityIndicator() {
    if (!_activityIndicator)
        return;
    _activityIndicator->stopAnimating();
    _activityIndicator->deleteLater();
    _activityIndicator = nullptr;
}

// Half the canvas frame's size (its origin plays no part): the canvas as shown, at the current zoom.
QPointF MoxelViewController::getViewCenter() const {
    const QSizeF frame = _drawView->bounds().size() * _scrollView->zoomScale();
    return {frame.width() / 2.0, frame.height() / 2.0};
}

// ---------------------------------------------------------------------------------------------------------
// Toolbar state

void MoxelViewController::updateToolbarItems(bool piecePresent) {
    for (QAction* item : {_pasteItem, _swapItem, _horizontalFlipItem, _clearItem})
        item->setEnabled(piecePresent);
}

void MoxelViewController::updateToolbarItemsForInitialState() {
    _openItem->setEnabled(true);
    _undoItem->setEnabled(false);
    const bool photo = hasCurrentImage();
    for (QAction* item : {_organizeItem, _copyItem, _cropItem})
        item->setEnabled(photo);
    updateToolbarItems(hasSelectedImage());
    updateFaceItems();
}

void MoxelViewController::disableAllEditingToolbarItems() {
    for (QAction* item : {_openItem, _organizeItem, _undoItem, _copyItem, _findFacesItem, _swapFacesItem})
        item->setEnabled(false);
    updateToolbarItems(false);
}

bool MoxelViewController::canUseFaces() const { return hasCurrentImage() && !_isLoadingImage && !_isFindingFaces; }

void MoxelViewController::updateFaceItems() {
    _findFacesItem->setEnabled(canUseFaces());
    _swapFacesItem->setEnabled(canUseFaces());
}

// ---------------------------------------------------------------------------------------------------------
// Child screens

QWidget* MoxelViewController::widgetForItem(QAction* item) const {
    for (QToolBar* bar : {_topToolbar, _bottomToolbar}) {
        if (QWidget* widget = bar ? bar->widgetForAction(item) : nullptr)
            return widget;
    }
    return const_cast<MoxelViewController*>(this);
}

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
    if (auto* picker = qobject_cast<ShapePickerViewController*>(child))
        _drawView->changeSelectionShape(picker->buttonNumPressed() == 2 ? 1 : 0);
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

} // namespace grinsley
