#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>

#include "AppTest.h"
#include "analytics/TallySession.h"
#include "app/EdgeOptionsView.h"
#include "app/FaceCommands.h"
#include "app/PhotoSettings.h"
#include "app/MainScrollView.h"
#include "platform/EditMenu.h"
#include "platform/Popover.h"
#include "support/Render.h"

using namespace grinsley;
using namespace grinsley::testing;

namespace {

class FacesCommandsTest : public AppTest {
protected:
    void TearDown() override {
        AppTest::TearDown();
        TallySession::discardCurrentSession();
    }

    MoxelViewController* editorWith(const QImage& photo, platform::Idiom idiom = platform::Idiom::Phone) {
        launch(idiom);
        MoxelViewController* editor = start();
        editor->displayLoadedImage(platform::Image(photo));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the hint, closed by the photo
        return editor;
    }
    static void press(MoxelViewController* editor, QAction* item) {
        QToolBar* bar = editor->topToolbar();
        QTest::mouseClick(bar->widgetForAction(item), Qt::LeftButton);
    }
    static bool searchEnds(MoxelViewController* editor) {
        // The first search of a process reads the 100 MB landmark model: under the sanitizers, with the other
        // tests running beside it, that alone can take longer than ten seconds.
        return QTest::qWaitFor([editor] { return !editor->faceCommands()->isFindingFaces(); }, 60000);
    }
    static QPointF selectionInPhoto(MoxelViewController* editor) { return editor->drawView()->scaleSelectionFrame().center(); }
};

} // namespace

// Faces puts the selection on each face in turn, sized and turned to it; the search runs once per photo,
// with the spinner and the face commands off while it runs.
TEST_F(FacesCommandsTest, FacesVisitsEachFaceInTurn) {
    MoxelViewController* editor = editorWith(twoFacePhoto());
    ASSERT_TRUE(editor->findFacesItem()->isEnabled());
    press(editor, editor->findFacesItem());
    EXPECT_TRUE(editor->faceCommands()->isFindingFaces());
    EXPECT_NE(editor->activityIndicator(), nullptr);
    EXPECT_FALSE(editor->findFacesItem()->isEnabled());
    ASSERT_TRUE(searchEnds(editor));
    ASSERT_EQ(editor->faceCommands()->foundFaces().size(), 2u);
    EXPECT_EQ(editor->activityIndicator(), nullptr);
    EXPECT_TRUE(editor->findFacesItem()->isEnabled());
    const faces::Face left = editor->faceCommands()->foundFaces()[0], right = editor->faceCommands()->foundFaces()[1];
    EXPECT_LT(QLineF(selectionInPhoto(editor), left.centre).length(), 1.0);
    EXPECT_NEAR(editor->drawView()->scaleSelectedRegion().width(), left.size.width(), 1.0);
    EXPECT_NEAR(editor->drawView()->scaleSelectedRegion().height(), left.size.height(), 1.0);
    EXPECT_FLOAT_EQ(editor->drawView()->selectionView()->rotationAngle(), float(left.angle));
    press(editor, editor->findFacesItem());
    EXPECT_FALSE(editor->faceCommands()->isFindingFaces()) << "the faces of this photo are known";
    EXPECT_LT(QLineF(selectionInPhoto(editor), right.centre).length(), 1.0);
    press(editor, editor->findFacesItem());
    EXPECT_LT(QLineF(selectionInPhoto(editor), left.centre).length(), 1.0);
    EXPECT_EQ(recordedEvents().filter(QStringLiteral("Find Faces")).size(), 3);
}

// Without a face: a notice, and nothing else changes. Swap Faces says what it lacks.
TEST_F(FacesCommandsTest, NoFaceGivesANoticeAndChangesNothing) {
    MoxelViewController* editor = editorWith(samplePhotograph(QStringLiteral("coffee.png")));
    const QPointF before = editor->drawView()->selectionView()->center();
    const QImage photo = editor->drawView()->currentImage().bitmap();
    press(editor, editor->findFacesItem());
    ASSERT_TRUE(searchEnds(editor));
    EXPECT_EQ(noticeText(editor), QStringLiteral("No face found in this photo."));
    renderScreenToPng(editor->window(), QStringLiteral("notice-no-face-phone"));
    EXPECT_EQ(editor->drawView()->selectionView()->center(), before);
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), photo);
    editor->swapFacesButtonTouched();
    EXPECT_TRUE(noticeText(editor).startsWith(QStringLiteral("Swap Faces needs two faces")));
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), photo);
    EXPECT_FALSE(editor->undoItem()->isEnabled());
}

// Swap Faces (by its key) fits each of the two faces onto the other in one edit: the features change places, the
// tone stays each face's own; one Undo takes it back.
TEST_F(FacesCommandsTest, SwapFacesIsOneUndoStep) {
    const QImage photo = twoFacePhoto();
    MoxelViewController* editor = editorWith(photo);
    QTest::keyClick(editor->window(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(searchEnds(editor));
    ASSERT_EQ(editor->faceCommands()->foundFaces().size(), 2u);
    const QImage swapped = editor->drawView()->currentImage().bitmap();
    const QPoint leftFace = editor->faceCommands()->foundFaces()[0].centre.toPoint(), rightFace = editor->faceCommands()->foundFaces()[1].centre.toPoint();
    const auto around = [](const QImage& image, QPoint centre, auto measure) {
        double sum = 0;
        for (int y = -12; y <= 12; ++y)
            for (int x = -12; x <= 12; ++x)
                sum += measure(image.pixel(centre + QPoint(x, y)), centre + QPoint(x, y));
        return sum / 625;
    };
    const auto tone = [](QRgb c, QPoint) { return double(qGray(c)); };
    for (QPoint face : {leftFace, rightFace}) {
        const double changed = around(swapped, face, [&photo](QRgb c, QPoint p) { return double(std::abs(qGray(c) - qGray(photo.pixel(p)))); });
        EXPECT_GT(changed, 8.0) << "the features moved";
        EXPECT_NEAR(around(swapped, face, tone), around(photo, face, tone), 12.0) << "the tone stayed";
    }
    EXPECT_EQ(swapped.pixel(500, 20), photo.convertToFormat(swapped.format()).pixel(500, 20));
    EXPECT_TRUE(editor->undoItem()->isEnabled());
    QTest::mouseClick(editor->bottomToolbar()->widgetForAction(editor->undoItem()), Qt::LeftButton);
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), photo.convertToFormat(swapped.format()));
    EXPECT_EQ(recordedEvents().filter(QStringLiteral("Swap Faces")).size(), 1);
}

// The hold menu offers the two face commands after Copy, Paste and Delete, and on the phone Redo, which no bar
// has room for.
TEST_F(FacesCommandsTest, TheHoldMenuOffersTheFaceCommands) {
    MoxelViewController* editor = editorWith(twoFacePhoto());
    SelectionView* overlay = editor->drawView()->selectionView();
    overlay->showCopyPasteMenu(overlay->bounds().center());
    QMenu* menu = platform::EditMenu::shared().menu();
    ASSERT_TRUE(menu->isVisible());
    EXPECT_TRUE(menu->actions().contains(editor->findFacesItem()));
    EXPECT_TRUE(menu->actions().contains(editor->swapFacesItem()));
    EXPECT_TRUE(menu->actions().contains(editor->redoItem()));
    EXPECT_FALSE(editor->findFacesItem()->icon().isNull());
    renderScreenToPng(editor->window(), QStringLiteral("hold-menu-faces-phone"));
    menu->hide();
}

// The options popover sets the edge and blending; both are remembered by the next editor.
TEST_F(FacesCommandsTest, OptionsAreSetAndRemembered) {
    for (platform::Idiom idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        MoxelViewController* editor = editorWith(twoFacePhoto(), idiom);
        EXPECT_FALSE(editor->drawView()->blendsIn());
        EXPECT_EQ(editor->drawView()->edgeSoftness(), DrawView::defaultEdgeSoftness);
        press(editor, editor->edgeItem());
        ASSERT_TRUE(editor->currentPopoverController());
        auto* options = qobject_cast<EdgeOptionsView*>(editor->currentPopoverController()->contentViewController());
        ASSERT_TRUE(options);
        options->softnessSlider()->setValue(25);
        options->blendCheckBox()->click();
        // The photo settings below them are stored at once, each its own.
        options->locationCheckBox()->click();
        EXPECT_TRUE(photosettings::keepsLocation());
        EXPECT_FALSE(photosettings::reducesToPhoneSize());
        options->locationCheckBox()->click();
        // Checked, to show the tick.
        renderScreenToPng(editor->window(), idiom == platform::Idiom::Phone ? QStringLiteral("edge-options-phone")
                                                                            : QStringLiteral("edge-options-tablet"));
        EXPECT_EQ(editor->drawView()->edgeSoftness(), 2.5);
        EXPECT_TRUE(editor->drawView()->blendsIn());
        editor->dismissPopoverViews(false);
        // The keys: blending off and on again, the edge a step harder.
        QTest::keyClick(editor->window(), Qt::Key_B, Qt::ControlModifier);
        EXPECT_FALSE(editor->drawView()->blendsIn());
        EXPECT_FALSE(platform::UserDefaults::standard().boolForKey(FaceCommands::blendInKey));
        QTest::keyClick(editor->window(), Qt::Key_B, Qt::ControlModifier);
        QTest::keyClick(editor->window(), Qt::Key_BracketLeft, Qt::ControlModifier);
        EXPECT_EQ(editor->drawView()->edgeSoftness(), 2.0);

        MoxelViewController* next = start();
        EXPECT_EQ(next->drawView()->edgeSoftness(), 2.0);
        EXPECT_TRUE(next->drawView()->blendsIn());
        const QStringList events = recordedEvents();
        EXPECT_EQ(events.filter(QStringLiteral("Blend In")).size(), 3);
        EXPECT_EQ(events.filter(QStringLiteral("Edge Softness")).size(), 2);
        platform::UserDefaults::standard().removeObjectForKey(FaceCommands::edgeSoftnessKey);
        platform::UserDefaults::standard().removeObjectForKey(FaceCommands::blendInKey);
        app.reset();
    }
}

// Swap Faces is on a toolbar in both layouts, and Compare too: held (its button or its key), it shows the
// photo as it was before the last swap; let go, the result again. Undo leaves nothing to compare.
TEST_F(FacesCommandsTest, SwapFacesOnTheBarsAndCompare) {
    for (const auto idiom : {platform::Idiom::Phone, platform::Idiom::Tablet}) {
        SCOPED_TRACE(idiom == platform::Idiom::Phone ? "phone" : "tablet");
        MoxelViewController* editor = editorWith(twoFacePhoto(), idiom);
        editor->dismissPopoverViews(false);
        const auto button = [editor](QAction* item) -> QToolButton* {
            for (QToolBar* bar : {editor->topToolbar(), editor->bottomToolbar()})
                if (auto* b = bar ? qobject_cast<QToolButton*>(bar->widgetForAction(item)) : nullptr)
                    return b;
            return nullptr;
        };
        ASSERT_NE(button(editor->swapFacesItem()), nullptr);
        QToolButton* compare = button(editor->compareItem());
        ASSERT_NE(compare, nullptr);
        EXPECT_TRUE(compare->toolTip().contains(QKeySequence(MoxelViewController::compareKey).toString(QKeySequence::NativeText)));
        EXPECT_FALSE(editor->compareItem()->isEnabled()) << "nothing to compare yet";
        const auto drawn = [editor] {
            QImage canvas(editor->drawView()->bounds().size().toSize(), QImage::Format_RGB32);
            canvas.fill(Qt::black);
            QPainter painter(&canvas);
            editor->drawView()->paint(&painter, nullptr, nullptr);
            return canvas;
        };
        const QImage before = drawn();
        editor->swapFacesButtonTouched();
        ASSERT_TRUE(searchEnds(editor));
        const QImage after = drawn();
        ASSERT_NE(after, before);
        ASSERT_TRUE(editor->compareItem()->isEnabled());
        QTest::mousePress(compare, Qt::LeftButton);
        // Held: the photo before the swap (drawn around what changed over the photo as it is: to rounding).
        const QImage held = drawn();
        int worst = 0;
        for (int y = 0; y < held.height(); ++y)
            for (int x = 0; x < held.width(); ++x)
                worst = std::max(worst, channelDistance(held.pixel(x, y), before.pixel(x, y)));
        EXPECT_LE(worst, 2);
        renderScreenToPng(editor->window(), idiom == platform::Idiom::Phone ? "compare-held-phone" : "compare-held-tablet");
        QTest::mouseRelease(compare, Qt::LeftButton);
        EXPECT_EQ(drawn(), after);
        editor->scrollView()->setFocus();
        QTest::keyPress(editor->scrollView(), MoxelViewController::compareKey);
        EXPECT_TRUE(editor->drawView()->isComparing()) << "the key, held";
        QTest::keyRelease(editor->scrollView(), MoxelViewController::compareKey);
        EXPECT_FALSE(editor->drawView()->isComparing());
        editor->undoButtonTouched();
        EXPECT_FALSE(editor->compareItem()->isEnabled());
        app.reset();
    }
}

// Before and after a face swap, plain and blended, for looking at.
TEST_F(FacesCommandsTest, RendersAFaceSwap) {
    MoxelViewController* editor = editorWith(twoFacePhoto(), platform::Idiom::Tablet);
    editor->dismissPopoverViews(false);
    editor->findFacesButtonTouched();
    ASSERT_TRUE(searchEnds(editor));
    renderScreenToPng(editor->window(), QStringLiteral("faces-found-tablet"));
    editor->drawView()->currentImage().bitmap().save(outputFolder() + QStringLiteral("/face-swap-before.png"));
    editor->swapFacesButtonTouched();
    editor->drawView()->currentImage().bitmap().save(outputFolder() + QStringLiteral("/face-swap-plain.png"));
    editor->undoButtonTouched();
    editor->faceCommands()->setBlendsIn(true);
    editor->swapFacesButtonTouched();
    ASSERT_TRUE(searchEnds(editor)); // Undo made it another photo, whose faces are sought again
    ASSERT_TRUE(QTest::qWaitFor([editor] { return !editor->drawView()->isBlending(); }, 10000));
    editor->findFacesButtonTouched();
    EXPECT_FALSE(editor->faceCommands()->isFindingFaces()) << "the blended photo keeps the faces found";
    editor->drawView()->currentImage().bitmap().save(outputFolder() + QStringLiteral("/face-swap-blended.png"));
    renderScreenToPng(editor->window(), QStringLiteral("face-swap-blended-tablet"));
}

// Three people: Faces marks all three; with the selection on one, Swap Faces asks for the partner, and a tap
// on another face (through the window) swaps those two and leaves the third as it was.
TEST_F(FacesCommandsTest, ATapChoosesTheFaceToSwapWith) {
    const QImage photo = facePhotograph(QStringLiteral("qt-logo.jpg"));
    MoxelViewController* editor = editorWith(photo);
    press(editor, editor->findFacesItem());
    ASSERT_TRUE(searchEnds(editor));
    const std::vector<faces::Face> found = editor->faceCommands()->foundFaces();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(editor->drawView()->faceMarkers().size(), 3u);
    EXPECT_EQ(editor->faceCommands()->currentFaceIndex(), 0);
    renderScreenToPng(editor->window(), QStringLiteral("face-markers-phone"));

    press(editor, editor->swapFacesItem());
    EXPECT_EQ(editor->faceCommands()->choosingPartnerFor(), 0);
    EXPECT_EQ(noticeText(editor), QStringLiteral("Tap the face to swap with this one."));
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), photo) << "nothing swapped before the tap";
    // A tap on the third face, as a finger gives it: through the window to the canvas.
    MainScrollView* scroll = editor->scrollView();
    const QPointF canvasPoint = editor->drawView()->photoToCanvas(found[2].landmarks[33]);
    scroll->centerOn(editor->drawView()->mapToScene(canvasPoint)); // scrolled to it, if Faces zoomed in
    const QPoint at = scroll->viewport()->mapTo(editor->window(), scroll->mapFromScene(editor->drawView()->mapToScene(canvasPoint)));
    QTest::mouseClick(editor->window()->windowHandle(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(searchEnds(editor));
    const QImage swapped = editor->drawView()->currentImage().bitmap();
    const auto changedAt = [&](const faces::Face& face) { return swapped.pixel(face.landmarks[33].toPoint()) != photo.pixel(face.landmarks[33].toPoint()); };
    EXPECT_TRUE(changedAt(found[0]));
    EXPECT_FALSE(changedAt(found[1])) << "the face not chosen stays";
    EXPECT_TRUE(changedAt(found[2]));
    EXPECT_EQ(editor->faceCommands()->choosingPartnerFor(), -1);
    renderScreenToPng(editor->window(), QStringLiteral("face-swap-chosen-phone"));
    QTest::mouseClick(editor->bottomToolbar()->widgetForAction(editor->undoItem()), Qt::LeftButton);
    EXPECT_EQ(editor->drawView()->currentImage().bitmap(), photo);
}

// A face copied in one photo, opened in another (the piece carries over) and pasted over a face there is fitted
// to that face as one Undo step; pasted beside the faces it pastes as ever, at once.
TEST_F(FacesCommandsTest, AFaceFromAnotherPhotoIsFitted) {
    MoxelViewController* editor = editorWith(facePhotograph(QStringLiteral("jesper_2.jpg")));
    press(editor, editor->findFacesItem());
    ASSERT_TRUE(searchEnds(editor));
    editor->drawView()->setDrawingOnWorkerFrom(0); // the face is known as copied once the piece lands
    QTest::mouseClick(editor->bottomToolbar()->widgetForAction(editor->copyItem()), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor->drawView()->isDrawing(); }, 10000));
    editor->drawView()->setDrawingOnWorkerFrom(DrawView::defaultDrawingOnWorkerFrom);
    ASSERT_TRUE(editor->faceCommands()->hasCopiedFace());

    const QImage other = facePhotograph(QStringLiteral("O3.jpg")).convertToFormat(QImage::Format_RGB32);
    editor->displayLoadedImage(platform::Image(other));
    ASSERT_TRUE(editor->drawView()->hasSelectedImage()) << "the piece carries over";
    press(editor, editor->findFacesItem());
    ASSERT_TRUE(searchEnds(editor));
    ASSERT_EQ(editor->faceCommands()->foundFaces().size(), 1u);
    const faces::Face target = editor->faceCommands()->foundFaces()[0];
    QTest::mouseClick(editor->bottomToolbar()->widgetForAction(editor->pasteItem()), Qt::LeftButton);
    ASSERT_TRUE(searchEnds(editor));
    const QImage fitted = editor->drawView()->currentImage().bitmap().convertToFormat(QImage::Format_RGB32);
    // Changed over the face, nowhere far from it, and in the colours of the face it covers (a plain paste of
    // the copied face would bring its warm skin onto this nearly grey photograph).
    EXPECT_NE(fitted.pixel(target.landmarks[30].toPoint()), other.pixel(target.landmarks[30].toPoint()));
    EXPECT_EQ(fitted.pixel(2, 2), other.pixel(2, 2));
    const auto warmth = [&](const QImage& image) {
        double sum = 0;
        for (int i = 36; i <= 47; ++i) // around the eyes, where the fitted face lies whole
            sum += qRed(image.pixel(target.landmarks[std::size_t(i)].toPoint() + QPoint(0, 6))) -
                   qBlue(image.pixel(target.landmarks[std::size_t(i)].toPoint() + QPoint(0, 6)));
        return sum / 12;
    };
    EXPECT_NEAR(warmth(fitted), warmth(other), 12.0);
    renderScreenToPng(editor->window(), QStringLiteral("face-from-another-photo-phone"));
    QTest::mouseClick(editor->bottomToolbar()->widgetForAction(editor->undoItem()), Qt::LeftButton);
    EXPECT_EQ(editor->drawView()->currentImage().bitmap().convertToFormat(QImage::Format_RGB32), other);

    // Beside the face: a plain paste, done before the next event.
    editor->drawView()->selectionView()->setCenterWithBoundsCheck(editor->drawView()->photoToCanvas(QPointF(20, 240)));
    QTest::mouseClick(editor->bottomToolbar()->widgetForAction(editor->pasteItem()), Qt::LeftButton);
    EXPECT_FALSE(editor->faceCommands()->isFindingFaces());
    EXPECT_NE(editor->drawView()->currentImage().bitmap().convertToFormat(QImage::Format_RGB32), other);
    EXPECT_EQ(editor->drawView()->currentImage().bitmap().convertToFormat(QImage::Format_RGB32).pixel(target.landmarks[30].toPoint()),
              other.pixel(target.landmarks[30].toPoint()));
}

// A small face: Faces zooms in to it, and the selection, its handles the size they always are on the screen,
// sits around the face instead of covering it.
TEST_F(FacesCommandsTest, ASmallFaceIsZoomedTo) {
    MoxelViewController* editor = editorWith(facePhotograph(QStringLiteral("O5.jpg")));
    press(editor, editor->findFacesItem());
    ASSERT_TRUE(searchEnds(editor));
    ASSERT_FALSE(editor->faceCommands()->foundFaces().empty());
    const faces::Face& face = editor->faceCommands()->foundFaces()[std::size_t(editor->faceCommands()->currentFaceIndex())];
    const qreal zoom = editor->scrollView()->zoomScale();
    EXPECT_GT(zoom, 1.5);
    EXPECT_EQ(editor->drawView()->selectionView()->zoom(), zoom);
    EXPECT_NEAR(face.size.width() / editor->drawView()->scaleRatio() * zoom, FaceCommands::smallestFaceOnScreen, 1.0);
    EXPECT_NEAR(editor->drawView()->scaleSelectedRegion().width(), face.size.width(), 1.0);
    EXPECT_NEAR(editor->drawView()->scaleSelectedRegion().height(), face.size.height(), 1.0);
    renderScreenToPng(editor->window(), QStringLiteral("small-face-zoomed-phone"));
}
