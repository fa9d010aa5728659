#pragma once

#include <functional>
#include <optional>

#include <QPointer>

#include "app/ChildViewControllerSupport.h"
#include "editing/PopupMenuSupport.h"
#include "faces/FaceFinder.h"
#include "platform/ActionSheet.h"
#include "platform/PhotoFile.h"
#include "social/SocialSession.h"
#include "platform/Popover.h"
#include "platform/ViewController.h"

class QAction;
class QGraphicsScene;
class QToolBar;

namespace grinsley {

class DrawView;
class MainScrollView;

namespace platform {
class ActionSheet;
class MailComposer;
enum class MailComposeResult;
struct ErrorRecord;
class ActivityIndicator;
class Image;
class PhotoPicker;
class Popover;
} // namespace platform

// The editor screen: toolbars and the popup menu drive the canvas; the items are enabled by what the canvas
// holds; child screens (popovers on the tablet, overlays and modal screens on the phone) are hosted here.
class MoxelViewController : public platform::ViewController, public PopupMenuSupport, public ChildViewControllerSupport {
    Q_OBJECT
public:
    // The share sheet.
    static constexpr int ORGANIZE_VIEW_TAG = 1;
    static constexpr int SAVE_BUTTON_INDEX = 0;
    static constexpr int EMAIL_BUTTON_INDEX = 1;
    static constexpr int SOCIAL_UPLOAD_INDEX = 2;
    static inline const QString SAVE_PHOTO_TEXT = QStringLiteral("Save Photo");
    static inline const QString EMAIL_PHOTO_TEXT = QStringLiteral("Email Photo");
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

    bool hasCurrentImage() const;
    bool hasSelectedImage() const;
    float topBarHeight() const;
    float bottomBarHeight() const;
    bool isLoadingImage() const { return _isLoadingImage; }
    platform::ActivityIndicator* activityIndicator() const { return _activityIndicator; }

    // --- Photo intake
    // The area (width times height) a photo must stay under: 2,000,000 on a tablet, 1,000,000 on a phone.
    static int maxImageSize();
    // Halves both sides until the area is under the limit (the limit itself is not allowed).
    static QSizeF validSize(QSizeF size, int limit);
    void imagePickerControllerDidFinishPickingMedia(platform::PhotoPicker* picker, const platform::Image& photo);
    // A photo file, by the same way: read, shrunk and turned upright on a worker; an alert that names the file
    // and the reason when it cannot be opened. False when another photo is still loading.
    bool openPhotoFile(const QString& path);
    // How long a read may take before it is given up.
    static inline int intakeTimeoutMs = 30000;
    void displayLoadedImage(const platform::Image& photo);
    void startActivityIndicator();
    void stopActivityIndicator();
    QPointF getViewCenter() const;

    // --- Commands
    void copyButtonTouched() override;
    void pasteButtonTouched() override;
    void deleteButtonTouched() override;
    void swapButtonTouched();
    void cropButtonTouched();
    void horizontalFlipButtonTouched();
    void clearButtonTouched();
    void undoButtonTouched();
    void helpButtonTouched();
    void openButtonTouched();
    platform::PhotoPicker* photoPicker() const;
    void closePhotoPicker(platform::PhotoPicker* picker);
    void organizeButtonTouched();
    void shapesButtonTouched();

    // --- Faces and piece options
    static inline const QString blendInKey = QStringLiteral("GrinsleyBlendIn");
    static inline const QString edgeSoftnessKey = QStringLiteral("GrinsleyEdgeSoftness");
    // Puts the selection over a face of the photo, the next one at each press (faces are found once per
    // photo, off the interface thread).
    void findFacesButtonTouched();
    // Exchanges the face under the selection (the first when it is on none) with the next one, in one edit.
    void swapFacesButtonTouched();
    // The piece options in a popover at the Edge item.
    void edgeButtonTouched();
    void setBlendsIn(bool blends);
    void setEdgeSoftness(double softness, bool finished = true);
    // The faces found in the current photo; empty until a search for it has finished.
    const std::vector<faces::Face>& foundFaces() const { return _faces; }
    bool isFindingFaces() const { return _isFindingFaces; }
    int currentFaceIndex() const { return _faceIndex; }
    QList<QAction*> customMenuItems() const override { return {_findFacesItem, _swapFacesItem}; }

    // --- Sharing
    void actionSheetClickedButtonAtIndex(platform::ActionSheet* sheet, int buttonIndex);
    void actionSheetDidDismissWithButtonIndex(platform::ActionSheet* sheet, int buttonIndex);
    void saveButtonTouched();
    void emailButtonTouched();
    void socialUploadButtonTouched() {}
    // The album's answer: silent on success, an alert that says why on failure.
    void saveCompleted(const std::optional<platform::ErrorRecord>& error);
    void mailComposeControllerDidFinishWithResult(platform::MailComposer* composer, platform::MailComposeResult result);

    // --- Social hooks: the session is never set by the program; the callbacks only record what happened.
    const std::shared_ptr<SocialSession>& socialSession() const { return _socialSession; }
    void setSocialSession(std::shared_ptr<SocialSession> session) { _socialSession = std::move(session); }
    // This editor as the session's, the requests' and the dialogs' delegate (held weakly by them).
    std::shared_ptr<const SocialSessionDelegate> socialSessionDelegate() const { return _sessionCallbacks; }
    std::shared_ptr<const SocialRequestDelegate> socialRequestDelegate() const { return _requestCallbacks; }
    std::shared_ptr<const SocialDialogDelegate> socialDialogDelegate() const { return _dialogCallbacks; }
    void sessionDidLogin();
    void sessionDidNotLogin(bool cancelled);
    void sessionDidLogout();
    void requestDidLoad(SocialRequest* request, const SocialResult& result);
    void requestDidFailWithError(SocialRequest* request, const platform::ErrorRecord& error);
    void dialogDidComplete(SocialDialog* dialog);
    void uploadPhotoToSocial();

    // --- Hint bubble
    void displayTextBubble();
    QObject* currentTextBubbleController() const { return _currentTextBubbleController; }
    platform::ActionSheet* currentActionSheet() const { return _currentActionSheet; }
    platform::Popover* currentPopoverController() const { return _currentPopoverController; }

    bool canCopy() const override { return hasCurrentImage(); }
    bool canPaste() const override { return hasSelectedImage(); }
    bool canDelete() const override { return hasSelectedImage(); }

    // --- Toolbar state
    void updateToolbarItems(bool piecePresent);
    void updateToolbarItemsForInitialState();
    void disableAllEditingToolbarItems();

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename Ui> void bindOutlets(Ui& ui);
    static void spreadItems(QToolBar* bar);
    // The toolbar button of an item (the editor itself when no bar shows it).
    QWidget* widgetForItem(QAction* item) const;
    void layoutCanvas();
    void addKeyboardShortcuts();
    bool loadInBackground(const QString& path, std::function<platform::PhotoFile::Result(int limit)> work);
    void finishLoading(const QString& path, const platform::PhotoFile::Result& result);
    // Runs `then` once the faces of the current photo are known: at once when they are, else after a search
    // on a worker (spinner shown, face commands off meanwhile). A search for an earlier photo is dropped.
    void withFaces(std::function<void()> then);
    // A photo, and neither it nor its faces still being read.
    bool canUseFaces() const;
    void updateFaceItems();

    QString _interfaceFile;
    QToolBar* _topToolbar = nullptr;
    QToolBar* _bottomToolbar = nullptr;
    MainScrollView* _scrollView = nullptr;
    QGraphicsScene* _scene = nullptr;
    DrawView* _drawView = nullptr; // owned by the scene
    QAction* _openItem = nullptr;
    QAction* _organizeItem = nullptr;
    QAction* _undoItem = nullptr;
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
    std::vector<faces::Face> _faces;
    qint64 _facesPhoto = 0;   // the cache key of the photo the faces belong to; 0: none searched
    int _faceIndex = -1;      // the face the selection was last put on
    bool _isFindingFaces = false;
    quint64 _faceSearch = 0;  // which search an answer from the worker belongs to
    bool _isLoadingImage = false;
    quint64 _loadGeneration = 0; // which load an answer from the worker belongs to
    platform::ActivityIndicator* _activityIndicator = nullptr; // child widget while loading
    QPointer<platform::PhotoPicker> _picker; // while it shows
    std::shared_ptr<SocialSession> _socialSession; // absent: nothing in the program makes one
    std::shared_ptr<SocialSessionDelegate> _sessionCallbacks;
    std::shared_ptr<SocialRequestDelegate> _requestCallbacks;
    std::shared_ptr<SocialDialogDelegate> _dialogCallbacks;
    // Not owned: the transient child screens on view now.
    QPointer<platform::Popover> _currentPopoverController;
    QPointer<platform::ActionSheet> _currentActionSheet;
    QPointer<QObject> _currentTextBubbleController;
    QPointer<QObject> _shapePicker; // owned until closed (phone)
};

} // namespace grinsley
