#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QFileDialog>
#include <QKeySequence>
#include <QPointer>

#include "app/ChildViewControllerSupport.h"
#include "editing/PopupMenuSupport.h"
#include "platform/ActionSheet.h"
#include "platform/BackgroundJob.h"
#include "platform/Popover.h"
#include "platform/ViewController.h"
#include "social/SocialSession.h"

class QAction;

class QGraphicsScene;
class QToolBar;

namespace grinsley {

class BusySpinner;
class DrawView;
class FaceCommands;
class MainScrollView;
class PhotoIntake;

namespace platform {
class ActivityIndicator;
class Image;
class MailComposer;
class PhotoPicker;
enum class MailComposeResult;
struct ErrorRecord;
} // namespace platform

namespace testing {
struct EditorProbe;
}

// The editor screen: toolbars and the popup menu drive the canvas; the items are enabled by what the canvas
// holds; child screens (popovers on the tablet, overlays and modal screens on the phone) are hosted here.
// The work it starts lives in units of its own: photo intake (PhotoIntake), the face commands and piece
// options (FaceCommands), the share sheet and what its buttons do (PhotoSharing), the spinner (BusySpinner).
class MoxelViewController : public platform::ViewController, public PopupMenuSupport, public ChildViewControllerSupport {
    Q_OBJECT
public:
    // The share sheet.
    static constexpr int ORGANIZE_VIEW_TAG = 1;
    static constexpr int SAVE_BUTTON_INDEX = 0;
    static constexpr int EMAIL_BUTTON_INDEX = 1;
    static constexpr int SOCIAL_UPLOAD_INDEX = 2;
    static inline const QString HINT_TEXT = QStringLiteral("Tap this button to choose a photo from your library.");

    // "MoxelViewController" on the phone, "MoxelViewController-iPad" on the tablet.
    static QString interfaceFileName();
    explicit MoxelViewController(const QString& interfaceFile, QWidget* parent = nullptr);
    ~MoxelViewController() override;
    // How many editors exist: the start screen keeps exactly one.
    static int liveCount();

    // --- Outlets
    QToolBar* topToolbar() const { return _topToolbar; }
    QToolBar* bottomToolbar() const { return _bottomToolbar; }
    MainScrollView* scrollView() const { return _scrollView; }
    DrawView* drawView() const { return _drawView; }
    QAction* openItem() const { return _openItem; }
    QAction* organizeItem() const { return _organizeItem; }
    QAction* undoItem() const { return _undoItem; }
    QAction* redoItem() const { return _redoItem; }
    QAction* copyItem() const { return _copyItem; }
    QAction* pasteItem() const { return _pasteItem; }
    QAction* swapItem() const { return _swapItem; }
    QAction* cropItem() const { return _cropItem; }
    QAction* shapesItem() const { return _shapesItem; }
    QAction* horizontalFlipItem() const { return _horizontalFlipItem; }
    QAction* clearItem() const { return _clearItem; }
    QAction* helpItem() const { return _helpItem; }
    QAction* findFacesItem() const { return _findFacesItem; }
    QAction* swapFacesItem() const { return _swapFacesItem; }
    QAction* edgeItem() const { return _edgeItem; }
    QAction* compareItem() const { return _compareItem; }

    // --- State
    bool hasCurrentImage() const;
    bool hasSelectedImage() const;
    float topBarHeight() const;
    float bottomBarHeight() const;
    bool isLoadingImage() const { return _isLoadingImage; }
    // Present only while something loads.
    platform::ActivityIndicator* activityIndicator() const;
    platform::ActionSheet* currentActionSheet() const { return _currentActionSheet; }
    platform::Popover* currentPopoverController() const { return _currentPopoverController; }
    QObject* currentTextBubbleController() const { return _currentTextBubbleController; }

    // --- Commands
    void copyButtonTouched() override;
    void pasteButtonTouched() override;
    void deleteButtonTouched() override;
    void swapButtonTouched();
    void cropButtonTouched();
    void horizontalFlipButtonTouched();
    void clearButtonTouched();
    void undoButtonTouched();
    void redoButtonTouched();
    void helpButtonTouched();
    bool canCopy() const override { return hasCurrentImage(); }
    bool canPaste() const override { return hasSelectedImage(); }
    bool canDelete() const override { return hasSelectedImage(); }

    // --- Toolbar state
    void updateToolbarItems(bool piecePresent);
    void updateToolbarItemsForInitialState();
    void disableAllEditingToolbarItems();
    void updateUndoItems();

    // --- Child screens
    void openPopover(QWidget* content, QAction* fromItem);
    void dismissPopoverViews(bool animated);
    void closeChildViewController(QObject* child) override;
    void closeModalViewController() override;

    // --- Lifecycle
    void saveApplicationState();
    void respondToMemoryWarning();
    void cleanupView();
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation) const override { return true; }
    void willRotateToInterfaceOrientation(platform::InterfaceOrientation orientation, double duration) override;
    void didRotateFromInterfaceOrientation(platform::InterfaceOrientation orientation) override;

    // --- Photo intake
    static int maxImageSize();
    static QSizeF validSize(QSizeF size, int limit);
    void openButtonTouched();
    void imagePickerControllerDidFinishPickingMedia(platform::PhotoPicker* picker, const platform::Image& photo);
    void displayLoadedImage(const platform::Image& photo);
    void startActivityIndicator();
    void stopActivityIndicator();
    QPointF getViewCenter() const;

    // --- Sharing
    void organizeButtonTouched();
    void actionSheetClickedButtonAtIndex(platform::ActionSheet* sheet, int buttonIndex);
    void actionSheetDidDismissWithButtonIndex(platform::ActionSheet* sheet, int buttonIndex);
    void saveButtonTouched();
    // Ctrl+Shift+S and the share sheet's "Save As…".
    void saveAsButtonTouched();
    QFileDialog* saveAsDialog() const { return _saveAsDialog; }
    void emailButtonTouched();
    void socialUploadButtonTouched() {}
    // The album's answer: silent on success, an alert that says why on failure.
    void saveCompleted(const std::optional<platform::ErrorRecord>& error);
    const platform::Image& photoToShare();
    void mailComposeControllerDidFinishWithResult(platform::MailComposer* composer, platform::MailComposeResult result);

    // --- Hint bubble and shape picker
    void displayTextBubble();
    void shapesButtonTouched();

    // --- Social hooks: the session is never set by the program; the callbacks only record what happened.
    const std::shared_ptr<SocialSession>& socialSession() const { return _socialSession; }
    void setSocialSession(std::shared_ptr<SocialSession> session) { _socialSession = std::move(session); }
    // This editor as the session's, the requests' and the dialogs' delegate (held weakly by them).
    std::shared_ptr<const SocialSessionDelegate> socialSessionDelegate() const { return _social.session; }
    std::shared_ptr<const SocialRequestDelegate> socialRequestDelegate() const { return _social.request; }
    std::shared_ptr<const SocialDialogDelegate> socialDialogDelegate() const { return _social.dialog; }
    void sessionDidLogin();
    void sessionDidNotLogin(bool cancelled);
    void sessionDidLogout();
    void requestDidLoad(SocialRequest* request, const SocialResult& result);
    void requestDidFailWithError(SocialRequest* request, const platform::ErrorRecord& error);
    void dialogDidComplete(SocialDialog* dialog);
    void uploadPhotoToSocial();

    // --- Additions: photo files, faces and piece options, the photo picker's closing
    // A photo file, by the same way as a picked photo; false when another photo is still loading. Over a photo
    // with edits not saved or shared, a sheet asks first ("Replace the edited photo?"), and the photo opens only
    // on Replace.
    bool openPhotoFile(const QString& path);
    // Whether the photo changed since it was opened, saved to the album or e-mailed.
    bool hasUnsavedEdits() const;
    void findFacesButtonTouched();
    void swapFacesButtonTouched();
    // The piece options in a popover at the Edge item.
    void edgeButtonTouched();
    // While Compare is held (its button or its key), the photo as it was before the last paste or swap.
    static constexpr Qt::Key compareKey = Qt::Key_Backslash;
    void setComparing(bool comparing);
    FaceCommands* faceCommands() const { return _faceCommands; }
    // Redo is in the hold menu where no bar has room for it (the phone).
    QList<QAction*> customMenuItems() const override;
    void closePhotoPicker(platform::PhotoPicker* picker);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    friend struct testing::EditorProbe;

    // A toolbar item: its outlet (the interface file's action of that name), glyph, command and key.
    struct Item {
        QAction* MoxelViewController::*outlet;
        const char* name;
        const char* glyph;
        void (MoxelViewController::*command)();
        QKeySequence key;
    };
    static const std::vector<Item>& items();
    // The steps of the view's set-up, in order.
    void setUpItems();
    void setUpScrollView();
    void setUpCanvas();
    void makeUnits();
    void addKeyboardShortcuts();
    void layoutCanvas();
    // The toolbar button of an item (the editor itself when no bar shows it).
    QWidget* widgetForItem(QAction* item) const;
    void updateFaceItems();
    void setUpCompareItem();

    QString _interfaceFile;
    QToolBar* _topToolbar = nullptr;
    QToolBar* _bottomToolbar = nullptr;
    MainScrollView* _scrollView = nullptr;
    QGraphicsScene* _scene = nullptr;
    DrawView* _drawView = nullptr; // owned by the scene
    QAction* _openItem = nullptr;
    QAction* _organizeItem = nullptr;
    QAction* _undoItem = nullptr;
    QAction* _redoItem = nullptr;
    QAction* _copyItem = nullptr;
    QAction* _pasteItem = nullptr;
    QAction* _swapItem = nullptr;
    QAction* _cropItem = nullptr;
    QAction* _shapesItem = nullptr;
    QAction* _horizontalFlipItem = nullptr;
    QAction* _clearItem = nullptr;
    QAction* _helpItem = nullptr;
    QAction* _findFacesItem = nullptr;
    QAction* _swapFacesItem = nullptr;
    QAction* _edgeItem = nullptr;
    QAction* _compareItem = nullptr;
    bool _isLoadingImage = false;
    qint64 _keptPhoto = 0; // the photo (by the canvas's photoVersion) as last opened, saved or shared
    // Runs `replace` at once, or after the user said Replace over unsaved edits.
    void askBeforeReplacing(std::function<void()> replace);
    std::unique_ptr<BusySpinner> _busy;
    PhotoIntake* _intake = nullptr;          // child object
    QPointer<QFileDialog> _saveAsDialog;     // while it shows
    platform::BackgroundJob<std::optional<QString>> _saveAs{this}; // the failure, if any
    FaceCommands* _faceCommands = nullptr;   // child object, made with the canvas
    QPointer<platform::PhotoPicker> _picker; // while it shows
    std::shared_ptr<SocialSession> _socialSession; // absent: nothing in the program makes one
    struct SocialCallbacks {
        std::shared_ptr<SocialSessionDelegate> session;
        std::shared_ptr<SocialRequestDelegate> request;
        std::shared_ptr<SocialDialogDelegate> dialog;
    } _social;
    // Not owned: the transient child screens on view now.
    QPointer<platform::Popover> _currentPopoverController;
    QPointer<platform::ActionSheet> _currentActionSheet;
    QPointer<QObject> _currentTextBubbleController;
    QPointer<QObject> _shapePicker; // owned until closed (phone)
};

} // namespace grinsley
