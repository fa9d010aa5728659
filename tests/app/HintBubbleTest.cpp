#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QToolBar>

#include "AppTest.h"
#include "app/MainScrollView.h"
#include "app/ShapePickerViewController.h"
#include "app/TextBubbleView.h"
#include "app/TextBubbleViewController.h"
#include "platform/ActionSheet.h"
#include "support/Render.h"

using namespace grinsley;

namespace {
class HintBubbleTest : public grinsley::testing::AppTest {
protected:
    static TextBubbleViewController* bubble(MoxelViewController* editor) {
        return qobject_cast<TextBubbleViewController*>(editor->currentTextBubbleController());
    }
    // Taps the screen at a point of the canvas (at zoom 1, as the editor opens).
    static void tapCanvas(MoxelViewController* editor, QPointF canvasPoint) {
        QGraphicsView* view = editor->scrollView();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->mapFromScene(canvasPoint));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
} // namespace

// The outline of the 200 x 100 bubble: the pointer's apex at (25, 3) over a base from (15, 13) to (35, 13),
// then the body from (3, 13) to (197, 97) with corners of radius 10.
TEST_F(HintBubbleTest, BubblePathPoints) {
    const QPainterPath path = TextBubbleView::bubblePath(QSizeF(200, 100), QPointF(25, 0));
    ASSERT_GE(path.elementCount(), 8);
    EXPECT_EQ(QPointF(path.elementAt(0)), QPointF(15, 13));
    EXPECT_TRUE(path.elementAt(0).isMoveTo());
    EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(25, 3));
    EXPECT_EQ(QPointF(path.elementAt(2)), QPointF(35, 13));
    EXPECT_TRUE(path.elementAt(3).isMoveTo()) << "the pointer is left open";
    EXPECT_EQ(QPointF(path.elementAt(3)), QPointF(3, 55));
    EXPECT_EQ(path.boundingRect(), QRectF(3, 3, 194, 94));
    // Rounded corners: the corner point itself is outside, a point 10 in along both edges inside.
    EXPECT_FALSE(path.contains(QPointF(3.5, 13.5)));
    EXPECT_FALSE(path.contains(QPointF(196.5, 96.5)));
    EXPECT_TRUE(path.contains(QPointF(13, 23)));
    EXPECT_TRUE(path.contains(QPointF(100, 96)));
    // The edges' midpoints, and the arcs' ends 10 from each corner, lie on the outline.
    QPainterPathStroker thin;
    thin.setWidth(0.2);
    const QPainterPath outline = thin.createStroke(path);
    for (QPointF on : {QPointF(100, 13), QPointF(197, 55), QPointF(100, 97), QPointF(3, 55), QPointF(13, 13),
                       QPointF(3, 23), QPointF(187, 97), QPointF(197, 87)})
        EXPECT_TRUE(outline.contains(on)) << on.x() << "," << on.y();
    EXPECT_FALSE(outline.contains(QPointF(3, 13))) << "the corner is cut by the arc";
}

TEST_F(HintBubbleTest, AnotherSizeKeepsItsMargins) {
    const QPainterPath path = TextBubbleView::bubblePath(QSizeF(300, 150), QPointF(60, 0));
    EXPECT_EQ(path.boundingRect(), QRectF(3, 3, 294, 144));
    EXPECT_EQ(QPointF(path.elementAt(1)), QPointF(60, 3));
    EXPECT_EQ(QPointF(path.elementAt(3)), QPointF(3, 80));
}

// A new editor without a photo shows the hint; a tap anywhere closes it and does nothing else.
TEST_F(HintBubbleTest, ATapAnywhereClosesTheHintAndNothingElse) {
    launch();
    MoxelViewController* editor = start();
    TextBubbleViewController* hint = bubble(editor);
    ASSERT_TRUE(hint);
    EXPECT_EQ(hint->text(), "Tap this button to choose a photo from your library.");
    EXPECT_EQ(hint->view()->parentItem(), editor->drawView()) << "on the canvas, scrolling and zooming with it";
    EXPECT_EQ(hint->bubbleView()->mapRectToItem(editor->drawView(), hint->bubbleView()->boundingRect()),
              QRectF(0, 0, 200, 100));
    EXPECT_EQ(hint->textLabel()->defaultTextColor(), QColor(Qt::white));
    grinsley::testing::renderToPng(app->window(), "hint-bubble-phone");

    // A tap on the selection would start a drag: under the hint it only closes the hint.
    SelectionView* overlay = editor->drawView()->selectionView();
    const QPointF centre = overlay->center();
    tapCanvas(editor, centre);
    EXPECT_FALSE(bubble(editor));
    EXPECT_EQ(overlay->center(), centre);
    EXPECT_FALSE(overlay->isHandlingTouchEvent());

    // On the label too; and a second display closes the first.
    editor->displayTextBubble();
    QPointer<TextBubbleViewController> first = bubble(editor);
    editor->displayTextBubble();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    ASSERT_TRUE(bubble(editor));
    tapCanvas(editor, QPointF(100, 50));
    EXPECT_FALSE(bubble(editor));
}

// A window made wider: a tap on the new part of the canvas still only closes the hint.
TEST_F(HintBubbleTest, TheHintsTapAreaFollowsTheWindow) {
    launch();
    MoxelViewController* editor = start();
    ASSERT_TRUE(bubble(editor));
    app->window()->resize(app->window()->width() + 300, app->window()->height());
    QCoreApplication::processEvents();
    const QSizeF canvas = editor->drawView()->bounds().size();
    ASSERT_GT(canvas.width(), 600);
    tapCanvas(editor, QPointF(canvas.width() - 20, canvas.height() / 2));
    EXPECT_FALSE(bubble(editor)) << "the new part of the window takes the tap";
}

TEST_F(HintBubbleTest, APhotoClosesTheHint) {
    launch();
    MoxelViewController* editor = start();
    QPointer<TextBubbleViewController> hint = bubble(editor);
    ASSERT_TRUE(hint);
    editor->displayLoadedImage(platform::Bundle::imageNamed("Sample1", "jpg"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(hint);
    EXPECT_FALSE(editor->currentTextBubbleController());
    // Back from the manual with a photo: no hint.
    editor->viewDidAppear(false);
    EXPECT_FALSE(editor->currentTextBubbleController());
}

TEST_F(HintBubbleTest, TabletHintIsAButtonlessSheetAtOpen) {
    launch(platform::Idiom::Tablet);
    MoxelViewController* editor = start();
    platform::ActionSheet* sheet = editor->currentActionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "Tap this button to choose a photo from your library.");
    EXPECT_EQ(sheet->numberOfButtons(), 0);
    QWidget* open = editor->topToolbar()->widgetForAction(editor->openItem());
    QCoreApplication::processEvents();
    // Under the item, moved along only as far as the window's edge asks.
    const int itemX = open->mapToGlobal(QPoint(open->width() / 2, 0)).x();
    EXPECT_LE(sheet->geometry().left(), itemX);
    EXPECT_GE(sheet->geometry().right(), itemX);
    EXPECT_EQ(sheet->geometry().left(), app->window()->mapToGlobal(QPoint(0, 0)).x() + 4);
    grinsley::testing::renderToPng(sheet, "hint-sheet-tablet");
    EXPECT_FALSE(editor->currentTextBubbleController());
    sheet->close(); // a tap outside
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->currentActionSheet());
    // Shown again, it goes when a photo arrives.
    editor->displayTextBubble();
    ASSERT_TRUE(editor->currentActionSheet());
    editor->displayLoadedImage(platform::Bundle::imageNamed("Sample1", "jpg"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->currentActionSheet());
}

// Back from the phone's full-screen photo picker without a photo, the editor shows its hint again; with a photo
// on its way, it does not.
TEST_F(HintBubbleTest, TheHintComesBackWhenThePickerIsCancelled) {
    launch();
    MoxelViewController* editor = start();
    ASSERT_TRUE(editor->currentTextBubbleController());
    editor->closeChildViewController(editor->currentTextBubbleController());
    editor->openButtonTouched();
    platform::PhotoPicker* picker = grinsley::testing::EditorProbe::photoPicker(editor);
    ASSERT_TRUE(picker);
    picker->didCancel(picker);
    EXPECT_TRUE(editor->currentTextBubbleController()) << "cancelled: the hint again";

    editor->closeChildViewController(editor->currentTextBubbleController());
    editor->openButtonTouched();
    picker = grinsley::testing::EditorProbe::photoPicker(editor);
    ASSERT_TRUE(picker);
    const QString photo = home() + "/picked.jpg";
    ASSERT_TRUE(grinsley::testing::writeQuadrantJpeg(photo, {400, 300}));
    picker->didFinishPickingFile(picker, photo);
    EXPECT_FALSE(editor->currentTextBubbleController()) << "a photo is coming: no hint";
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor->hasCurrentImage() && !editor->isLoadingImage(); }, 5000));
}

// Tablet: a tap on a toolbar button while a sheet or popover floats closes it and reaches the button too: Open
// over the hint opens the picker, Shapes over the picker opens the shapes. Taps go through the window, as a
// pointer's do, so Qt's popups see them first.
TEST_F(HintBubbleTest, TabletToolbarTapsReachTheToolbarThroughAPopover) {
    launch(platform::Idiom::Tablet);
    MoxelViewController* editor = start();
    ASSERT_TRUE(editor->currentActionSheet()) << "the hint at Open";
    QWindow* window = app->window()->windowHandle();
    const auto tap = [&](QAction* item) {
        QWidget* button = editor->topToolbar()->widgetForAction(item);
        const QPoint at = button->mapTo(app->window(), button->rect().center());
        QTest::mousePress(window, Qt::LeftButton, {}, at);
        QTest::mouseRelease(window, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    };
    tap(editor->openItem());
    EXPECT_FALSE(editor->currentActionSheet()) << "the hint closed";
    ASSERT_TRUE(QTest::qWaitFor([&] { return grinsley::testing::EditorProbe::photoPicker(editor) != nullptr; }, 2000))
        << "and the picker opened";
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 2000)) << "in its popover";
    tap(editor->shapesItem());
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return editor->currentPopoverController() &&
               qobject_cast<ShapePickerViewController*>(editor->currentPopoverController()->contentViewController());
    }, 2000)) << "the shapes in place of the picker";
    editor->dismissPopoverViews(false);
}
