#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolTip>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/MainScrollView.h"
#include "platform/EditMenu.h"
#include "platform/UserDefaults.h"
#include "support/Render.h"
#include "support/TouchScene.h"

using namespace grinsley;
using grinsley::platform::EditAction;

namespace {

class EditorTest : public grinsley::testing::AppTest {
protected:
    // Which items are on, in the order of the state table.
    static std::vector<bool> enabled(MoxelViewController* e) {
        std::vector<bool> out;
        for (QAction* a : {e->openItem(), e->organizeItem(), e->copyItem(), e->cropItem(), e->pasteItem(), e->swapItem(),
                           e->horizontalFlipItem(), e->clearItem(), e->undoItem()})
            out.push_back(a->isEnabled());
        return out;
    }

    // The editor with the saved photo and piece, just after a Paste (Undo on).
    MoxelViewController* savedEditorAfterPaste() {
        saveStateWithPhotoAndPiece();
        launch();
        MoxelViewController* editor = start();
        editor->pasteItem()->trigger();
        EXPECT_TRUE(editor->undoItem()->isEnabled());
        return editor;
    }

    // The editor over a photo, its hint closed, ready for touches through the window.
    MoxelViewController* withPhoto(MoxelViewController* editor) {
        editor->drawView()->setCurrentImage(platform::Image(grinsley::testing::gradientPhoto({300, 300})));
        editor->updateToolbarItemsForInitialState();
        if (editor->currentTextBubbleController())
            editor->closeChildViewController(editor->currentTextBubbleController());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return editor;
    }

    // Where a point of the selection overlay is in the window.
    QPoint inWindow(MoxelViewController* editor, QPointF overlayPoint) const {
        SelectionView* overlay = editor->drawView()->selectionView();
        MainScrollView* scroll = editor->scrollView();
        return scroll->viewport()->mapTo(app->window(), scroll->mapFromScene(overlay->mapToScene(overlayPoint)));
    }

    // Holds still on the selection, as a finger would, until the hold menu shows; then lets go.
    bool holdOnSelection(MoxelViewController* editor) {
        QWindow* window = app->window()->windowHandle();
        const QPoint at = inWindow(editor, QPointF(60, 100));
        QTest::mousePress(window, Qt::LeftButton, {}, at);
        const bool shown = QTest::qWaitFor([] { return platform::EditMenu::shared().isMenuVisible(); }, 3000);
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
        return shown;
    }
};

// Open, Share, Copy, Crop, Paste, Swap, Flip, Clear, Undo.
const std::vector<bool> noPhoto{true, false, false, false, false, false, false, false, false};
const std::vector<bool> photoAndPiece{true, true, true, true, true, true, true, true, false};

} // namespace

TEST_F(EditorTest, FreshEditorOffersOnlyOpenAndShapes) {
    launch();
    MoxelViewController* editor = start();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(app->navigationController()->topViewController(), editor);
    EXPECT_TRUE(app->navigationController()->isNavigationBarHidden());
    EXPECT_EQ(enabled(editor), noPhoto);
    EXPECT_TRUE(editor->shapesItem()->isEnabled());
    EXPECT_FALSE(editor->hasCurrentImage());
    // The canvas fills the view and the overlay starts in its middle.
    EXPECT_EQ(editor->drawView()->bounds().size(), QSizeF(editor->scrollView()->size()));
    EXPECT_EQ(editor->drawView()->selectionView()->center(), editor->drawView()->bounds().center());
    EXPECT_EQ(editor->drawView()->topToolbarHeight(), editor->topBarHeight());
    EXPECT_GT(editor->bottomBarHeight(), 0);
}

TEST_F(EditorTest, SavedPhotoAndPieceComeBackWithTheirItems) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    EXPECT_TRUE(editor->hasCurrentImage());
    EXPECT_TRUE(editor->hasSelectedImage());
    EXPECT_EQ(enabled(editor), photoAndPiece);
    EXPECT_EQ(*editor->drawView()->selectionCenterInPhoto(), savedPhotoCenter());
    EXPECT_FLOAT_EQ(editor->drawView()->selectionView()->rotationAngle(), 0.15f);
    const QString path = grinsley::testing::renderToPng(app->window(), "editor-phone");
    EXPECT_FALSE(QImage(path).isNull());
}

TEST_F(EditorTest, PasteThenUndo) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    const QImage before = editor->drawView()->currentImage().bitmap();
    editor->drawView()->selectionView()->setCenter({100, 150});
    editor->pasteItem()->trigger();
    EXPECT_TRUE(editor->undoItem()->isEnabled());
    EXPECT_NE(editor->drawView()->currentImage().bitmap(), before);
    editor->undoItem()->trigger();
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), before);
    EXPECT_FALSE(editor->undoItem()->isEnabled());
    EXPECT_TRUE(editor->pasteItem()->isEnabled()); // the piece is still there
    // Redo brings the paste back; a new edit after an Undo leaves nothing to redo.
    EXPECT_TRUE(editor->redoItem()->isEnabled());
    editor->redoItem()->trigger();
    EXPECT_NE(editor->drawView()->currentImage().bitmap(), before);
    EXPECT_FALSE(editor->redoItem()->isEnabled());
    editor->undoItem()->trigger();
    editor->swapItem()->trigger();
    EXPECT_FALSE(editor->redoItem()->isEnabled());
    EXPECT_TRUE(editor->undoItem()->isEnabled());
}

// The items after a photo loads over a piece (the piece stays, nothing to undo), after an Undo that leaves no
// piece, and after a Copy (which leaves Undo as it was).
TEST_F(EditorTest, TheItemsAfterLoadingUndoAndCopy) {
    MoxelViewController* editor = savedEditorAfterPaste();
    editor->imagePickerControllerDidFinishPickingMedia(nullptr, platform::Bundle::imageNamed("Sample1", "jpg"));
    ASSERT_TRUE(answerReplaceSheet(true)) << "the pasted photo was not saved";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->isLoadingImage(); }, 5000));
    EXPECT_EQ(enabled(editor), photoAndPiece) << "loaded over a piece";

    editor->pasteItem()->trigger();
    editor->clearItem()->trigger();
    EXPECT_TRUE(editor->undoItem()->isEnabled()) << "Clear is a step of its own";
    editor->undoItem()->trigger();
    EXPECT_TRUE(editor->hasSelectedImage()) << "the Clear undone";
    editor->undoItem()->trigger();
    editor->clearItem()->trigger();
    EXPECT_EQ(enabled(editor), (std::vector<bool>{true, true, true, true, false, false, false, false, true}))
        << "a Paste undone, then Clear: no piece, the Clear to undo";

    editor->undoItem()->trigger();
    editor->undoItem()->trigger(); // back to the photo as it loaded
    EXPECT_FALSE(editor->undoItem()->isEnabled());
    editor->copyItem()->trigger();
    EXPECT_EQ(enabled(editor), (std::vector<bool>{true, true, true, true, true, true, true, true, true}))
        << "Copy is a step: it can be undone";
}

TEST_F(EditorTest, CopyClearAndCropFollowThePiece) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    editor->clearItem()->trigger();
    EXPECT_FALSE(editor->hasSelectedImage());
    EXPECT_FALSE(editor->pasteItem()->isEnabled());
    EXPECT_FALSE(editor->clearItem()->isEnabled());
    EXPECT_TRUE(editor->copyItem()->isEnabled());
    editor->cropItem()->trigger();
    EXPECT_TRUE(editor->hasSelectedImage());
    EXPECT_TRUE(editor->undoItem()->isEnabled());
    EXPECT_TRUE(editor->swapItem()->isEnabled());
    // Undo after the crop keeps the piece: Paste stays on.
    editor->undoItem()->trigger();
    EXPECT_TRUE(editor->pasteItem()->isEnabled());
}

TEST_F(EditorTest, MemoryWarningAfterPasteDropsUndo) {
    MoxelViewController* editor = savedEditorAfterPaste();
    platform::Application::shared().receiveMemoryWarning(); // along the delegate chain
    EXPECT_FALSE(editor->undoItem()->isEnabled());
    EXPECT_TRUE(editor->drawView()->previousImage().isNull());
    EXPECT_TRUE(editor->hasSelectedImage());
}

TEST_F(EditorTest, TurningWhileZoomedInReturnsToOneAndRelaysTheBars) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    editor->scrollView()->setZoomScale(2.5);
    EXPECT_DOUBLE_EQ(editor->scrollView()->zoomScale(), 2.5);
    editor->scrollView()->setZoomScale(9); // clamped to the maximum
    EXPECT_DOUBLE_EQ(editor->scrollView()->zoomScale(), 4.0);
    app->window()->resize(780, 390); // the device turns to landscape
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(editor->scrollView()->zoomScale(), 1.0);
    EXPECT_TRUE(platform::isLandscape(editor->interfaceOrientation()));
    EXPECT_EQ(editor->drawView()->bounds().size(), QSizeF(editor->scrollView()->viewport()->size()));
    EXPECT_EQ(editor->drawView()->topToolbarHeight(), editor->topBarHeight());
    const QPointF c = editor->drawView()->selectionView()->center();
    EXPECT_TRUE(editor->drawView()->bounds().contains(c));
}

TEST_F(EditorTest, PopupMenuAsksTheEditor) {
    launch();
    MoxelViewController* editor = start();
    SelectionView* overlay = editor->drawView()->selectionView();
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Copy));
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Paste));
    EXPECT_FALSE(overlay->canPerformAction(EditAction::Delete));
    editor->drawView()->setCurrentImage(platform::Image(grinsley::testing::gradientPhoto({300, 300})));
    EXPECT_TRUE(overlay->canPerformAction(EditAction::Copy));
    overlay->performAction(EditAction::Copy); // the menu's Copy runs the editor's command
    EXPECT_TRUE(editor->hasSelectedImage());
    EXPECT_TRUE(editor->pasteItem()->isEnabled());
    EXPECT_TRUE(overlay->canPerformAction(EditAction::Paste));
    overlay->performAction(EditAction::Delete);
    EXPECT_FALSE(editor->hasSelectedImage());
    EXPECT_FALSE(editor->clearItem()->isEnabled());
}

TEST_F(EditorTest, DragOnTheSelectionNeverScrolls) {
    launch();
    MoxelViewController* editor = start();
    SelectionView* overlay = editor->drawView()->selectionView();
    MainScrollView* scroll = editor->scrollView();
    // Without a photo the hint covers the canvas; the first tap only closes it.
    ASSERT_TRUE(editor->currentTextBubbleController());
    QTest::mouseClick(scroll->viewport(), Qt::LeftButton, {}, QPoint(200, 400));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(editor->currentTextBubbleController());
    EXPECT_TRUE(scroll->touchesShouldCancelInContentView(overlay)); // idle: a drag may scroll
    EXPECT_TRUE(scroll->touchesShouldCancelInContentView(editor->drawView()));
    EXPECT_TRUE(scroll->touchesShouldCancelInContentView(nullptr));
    QPointingDevice* device = grinsley::testing::touchScreen();
    const QPoint at = scroll->mapFromScene(overlay->mapToScene(QPointF(60, 100)));
    QTest::touchEvent(scroll->viewport(), device).press(0, at);
    EXPECT_TRUE(overlay->isHandlingTouchEvent());
    EXPECT_FALSE(scroll->touchesShouldCancelInContentView(overlay));
    const QPointF before = overlay->center();
    QTest::touchEvent(scroll->viewport(), device).move(0, at + QPoint(20, 0));
    EXPECT_EQ(overlay->center(), before + QPointF(20, 0));
    QTest::touchEvent(scroll->viewport(), device).release(0, at + QPoint(20, 0));
    // Two fingers zoom the canvas, within 1 to 4: one rests, the other moves away.
    const QPoint a(100, 300), b(200, 300);
    QTest::touchEvent(scroll->viewport(), device).press(0, a);
    QTest::touchEvent(scroll->viewport(), device).stationary(0).press(1, b);
    QTest::touchEvent(scroll->viewport(), device).stationary(0).move(1, b + QPoint(100, 0));
    EXPECT_NEAR(scroll->zoomScale(), 2.0, 0.05);
    QTest::touchEvent(scroll->viewport(), device).stationary(0).move(1, b + QPoint(900, 0));
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 4.0);
    QTest::touchEvent(scroll->viewport(), device).release(0, a).release(1, b);
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 4.0);
}

TEST_F(EditorTest, TabletLayoutWithAPhotoAndAPiece) {
    saveStateWithPhotoAndPiece();
    launch(platform::Idiom::Tablet);
    MoxelViewController* editor = start();
    EXPECT_EQ(editor->bottomToolbar(), nullptr);
    EXPECT_EQ(editor->bottomBarHeight(), 0);
    // The saved geometry (from a phone) wins over the tablet's initial frame.
    EXPECT_EQ(editor->drawView()->selectionView()->bounds().size().width(), 132);
    EXPECT_EQ(enabled(editor), photoAndPiece);
    // Over the part of the photo where it was saved, on a canvas of another size.
    EXPECT_EQ(*editor->drawView()->selectionCenterInPhoto(), savedPhotoCenter());
    const QString path = grinsley::testing::renderToPng(app->window(), "editor-tablet");
    EXPECT_FALSE(QImage(path).isNull());
}

// Resizing the window while zoomed in keeps the canvas the view's size at zoom 1, and the selection where it was.
TEST_F(EditorTest, ResizingWhileZoomedKeepsTheCanvasSize) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    MainScrollView* scroll = editor->scrollView();
    scroll->setZoomScale(4.0, false);
    app->window()->resize(app->window()->width(), app->window()->height() - 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->drawView()->bounds().size(), QSizeF(scroll->size()));
    scroll->setZoomScale(1.0, false);
    EXPECT_EQ(editor->drawView()->bounds().size(), QSizeF(scroll->size()));
    EXPECT_GT(editor->drawView()->selectionView()->center().x(), 150) << "not pulled into a corner";
}

// Items spread across the bar without separators; a disabled item's glyph fades; no tooltip repeats a label.
TEST_F(EditorTest, ToolbarsLookLikeAPhonesToolbars) {
    for (platform::Idiom idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        launch(idiom);
        MoxelViewController* editor = start();
        editor->dismissPopoverViews(false);
        QToolBar* bar = editor->topToolbar();
        for (QAction* action : bar->actions())
            EXPECT_FALSE(action->isSeparator());
        QWidget* last = bar->widgetForAction(editor->helpItem());
        EXPECT_GT(last->geometry().right(), bar->width() - 60) << "spread to the far end";
        EXPECT_EQ(bar->actions().contains(editor->redoItem()), idiom == platform::Idiom::Tablet) << "Redo where there is room";

        const auto maxAlpha = [](const QPixmap& pixmap) {
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            int alpha = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    alpha = std::max(alpha, qAlpha(image.pixel(x, y)));
            return alpha;
        };
        const QIcon icon = editor->copyItem()->icon();
        EXPECT_GT(maxAlpha(icon.pixmap(QSize(22, 22), QIcon::Normal)), 200);
        EXPECT_LT(maxAlpha(icon.pixmap(QSize(22, 22), QIcon::Disabled)), 120);

        // A tooltip says what the label does not: the key. An item without one shows none.
        const auto button = [&](QAction* item) {
            return bar->widgetForAction(item) ? bar->widgetForAction(item) : editor->bottomToolbar()->widgetForAction(item);
        };
        const auto hover = [](QWidget* widget) {
            QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), widget->mapToGlobal(QPoint(5, 5)));
            QCoreApplication::sendEvent(widget, &tip);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        EXPECT_EQ(hover(button(editor->swapItem())), "");
        EXPECT_EQ(hover(button(editor->copyItem())), "Copy (Ctrl+C)");

        const char* name = idiom == platform::Idiom::Phone ? "toolbars-phone-no-photo" : "toolbars-tablet-no-photo";
        grinsley::testing::renderToPng(app->window(), QString::fromLatin1(name));
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Turning the window to landscape and back, or restoring on the other layout, keeps the selection over the
// same part of the photo.
TEST_F(EditorTest, TheSelectionFollowsThePhoto) {
    saveStateWithPhotoAndPiece();
    launch();
    MoxelViewController* editor = start();
    const QPointF before = *editor->drawView()->selectionCenterInPhoto();
    app->window()->resize(780, 390);
    QCoreApplication::processEvents();
    const QPointF landscape = *editor->drawView()->selectionCenterInPhoto();
    EXPECT_NEAR(landscape.x(), before.x(), 1.5);
    EXPECT_NEAR(landscape.y(), before.y(), 1.5);
    EXPECT_TRUE(editor->drawView()->bounds().contains(editor->drawView()->selectionView()->center()));
    app->window()->resize(390, 780);
    QCoreApplication::processEvents();
    const QPointF back = *editor->drawView()->selectionCenterInPhoto();
    EXPECT_NEAR(back.x(), before.x(), 1.5);
    EXPECT_NEAR(back.y(), before.y(), 1.5);

    platform::Application::shared().enterBackground(); // saves the state
    app.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    launch(platform::Idiom::Tablet);
    MoxelViewController* tablet = start();
    const QPointF restored = *tablet->drawView()->selectionCenterInPhoto();
    EXPECT_NEAR(restored.x(), before.x(), 1.5);
    EXPECT_NEAR(restored.y(), before.y(), 1.5);
}

// Holding still opens the menu; the release then goes to the menu, not the overlay. Once the menu is closed a
// drag must move the selection, and the menu must not come back on its own. Events go through the window, as
// a real pointer's do, so the menu's popup sees them first.
TEST_F(EditorTest, AfterTheMenuADragMovesTheSelection) {
    launch();
    MoxelViewController* editor = withPhoto(start());
    SelectionView* overlay = editor->drawView()->selectionView();
    QWindow* window = app->window()->windowHandle();
    platform::EditMenu& menu = platform::EditMenu::shared();
    for (const bool escape : {true, false}) {
        ASSERT_TRUE(holdOnSelection(editor));
        if (escape)
            QTest::keyClick(menu.menu(), Qt::Key_Escape);
        else
            QTest::mouseClick(menu.menu()->windowHandle(), Qt::LeftButton, {},
                              menu.menu()->actionGeometry(menu.action(EditAction::Copy)).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !menu.isMenuVisible(); }, 1000));

        const QPointF before = overlay->center();
        const QPoint from = inWindow(editor, QPointF(60, 100));
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        QTest::mouseMove(window, from + QPoint(10, 0));
        QTest::mouseMove(window, from + QPoint(30, 0));
        QTest::mouseRelease(window, Qt::LeftButton, {}, from + QPoint(30, 0));
        EXPECT_NEAR(overlay->center().x(), before.x() + 30, 0.5) << (escape ? "after Escape" : "after Copy");
        QTest::qWait(int(SelectionView::menuDelay.count()) + 200);
        EXPECT_FALSE(menu.isMenuVisible()) << "the menu opens only when asked for";
    }
}

// The user's sequence that once crashed: the hold menu, the manual over the editor, a photo handed to the
// program (the editor is made anew), the hold menu again. The menu must offer the new editor's items only.
TEST_F(EditorTest, TheHoldMenuAfterAPhotoArrivesOverTheManual) {
    launch();
    MoxelViewController* first = withPhoto(start());
    platform::EditMenu& menu = platform::EditMenu::shared();
    ASSERT_TRUE(holdOnSelection(first));
    QTest::keyClick(menu.menu(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu.isMenuVisible(); }, 1000));
    first->scrollView()->setFocus();
    QTest::keyClick(app->window(), Qt::Key_F1);
    ASSERT_NE(app->navigationController()->topViewController(), first) << "the manual covers the editor";

    const QString photo = home() + "/handed.jpg";
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(photo, {800, 600}));
    platform::Application::shared().openArguments({photo}, home());
    answerReplaceSheet(true); // if the first editor's photo was edited
    MoxelViewController* second = app->startupViewController()->mainViewController();
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->hasCurrentImage() && !second->isLoadingImage(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([second] { return second->pos() == QPoint(0, 0); }, 10000));
    withPhoto(second);
    ASSERT_TRUE(holdOnSelection(second));
    const QList<QAction*> shown = menu.menu()->actions();
    for (QAction* item : second->customMenuItems())
        EXPECT_TRUE(shown.contains(item)) << item->text().toStdString();
    EXPECT_EQ(shown.size(), 3 + 1 + second->customMenuItems().size()) << "the standard items, a separator, the editor's";
    QTest::keyClick(menu.menu(), Qt::Key_Escape);
}

// The hold menu stays inside the phone's window wherever the hold is, and shows the keys of its items.
TEST_F(EditorTest, TheHoldMenuStaysInsideTheWindow) {
    launch();
    MoxelViewController* editor = withPhoto(start());
    SelectionView* overlay = editor->drawView()->selectionView();
    overlay->setCenter({editor->drawView()->bounds().width() - 10, editor->drawView()->bounds().height() - 10});
    platform::EditMenu& menu = platform::EditMenu::shared();
    menu.setTargetRect(QRectF(overlay->bounds().bottomRight(), QSizeF()), overlay, overlay);
    menu.setMenuVisible(true, false);
    ASSERT_TRUE(menu.isMenuVisible());
    const QRect window(app->window()->mapToGlobal(QPoint(0, 0)), app->window()->size());
    EXPECT_TRUE(window.contains(menu.menu()->geometry())) << "inside the window";
    EXPECT_EQ(menu.action(EditAction::Copy)->shortcut(), QKeySequence(QKeySequence::Copy));
    EXPECT_EQ(menu.action(EditAction::Delete)->shortcut(), QKeySequence(QKeySequence::Delete));
    grinsley::testing::renderScreenToPng(app->window(), "hold-menu-at-the-edge-phone");
    menu.setMenuVisible(false, false);
}

// Alerts, the share sheet and the edit menu in the application's own dark look, on both layouts; rendered for
// people to look at.
TEST_F(EditorTest, AlertsSheetsAndTheMenuLookLikeTheApplications) {
    for (const auto idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        const bool tablet = idiom == platform::Idiom::Tablet;
        launch(idiom);
        MoxelViewController* editor = start();
        editor->drawView()->setCurrentImage(platform::Bundle::imageNamed("Sample1", "jpg"));
        editor->updateToolbarItemsForInitialState();
        if (editor->currentTextBubbleController())
            editor->closeChildViewController(editor->currentTextBubbleController());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        platform::AlertView("Cannot Open Photo", QString::fromUtf8("\u201CHoliday.jpg\u201D is damaged or incomplete."), "OK").show();
        QMessageBox* alert = platform::AlertView::visibleAlerts().value(0);
        ASSERT_NE(alert, nullptr);
        EXPECT_TRUE(alert->windowFlags() & Qt::FramelessWindowHint) << "no desktop window frame";
        for (QAbstractButton* button : alert->buttons())
            EXPECT_GE(button->height(), 44) << "a button a finger can hit";
        grinsley::testing::renderScreenToPng(app->window(), tablet ? "alert-tablet" : "alert-phone");
        alert->close();

        editor->organizeButtonTouched();
        ASSERT_TRUE(editor->currentActionSheet());
        grinsley::testing::renderScreenToPng(app->window(), tablet ? "share-sheet-tablet" : "share-sheet-phone");
        editor->currentActionSheet()->dismissWithClickedButtonIndex(-1, false);

        platform::EditMenu& menu = platform::EditMenu::shared();
        SelectionView* overlay = editor->drawView()->selectionView();
        menu.setTargetRect(QRectF(overlay->bounds().center(), QSizeF()), overlay, overlay);
        menu.setMenuVisible(true, false);
        ASSERT_TRUE(menu.isMenuVisible());
        EXPECT_GE(menu.menu()->actionGeometry(menu.action(EditAction::Copy)).height(), 44);
        grinsley::testing::renderScreenToPng(app->window(), tablet ? "edit-menu-tablet" : "edit-menu-phone");
        menu.setMenuVisible(false, false);
        app.reset();
    }
}
