#include <QToolBar>
#include <QToolButton>

#include "AppTest.h"
#include "app/ShapePickerViewController.h"
#include "editing/SelectionRectangle.h"
#include "editing/SelectionShape.h"
#include "platform/Popover.h"
#include "support/Render.h"

using namespace grinsley;

namespace {
class ShapePickerTest : public grinsley::testing::AppTest {
protected:
    MoxelViewController* editorWithPhoto(platform::Idiom idiom) {
        saveStateWithPhotoAndPiece();
        launch(idiom);
        return start();
    }
    static ShapePickerViewController* picker(MoxelViewController* editor) {
        return editor->findChild<ShapePickerViewController*>();
    }
    static void waitForSlide(ShapePickerViewController* picker) {
        ASSERT_TRUE(QTest::qWaitFor([picker] { return !picker->currentSlide(); }, 3000));
    }
    static bool isRectangle(MoxelViewController* editor) {
        return dynamic_cast<const SelectionRectangle*>(editor->drawView()->selectionView()->selectionShape()) != nullptr;
    }
};
} // namespace

// The panel rests on the bottom edge after the slide-in and leaves below it after the slide-out; the second
// button chooses the rectangle.
TEST_F(ShapePickerTest, PhonePanelSlidesInAndOut) {
    MoxelViewController* editor = editorWithPhoto(platform::Idiom::Phone);
    ASSERT_FALSE(isRectangle(editor));
    editor->shapesButtonTouched();
    ShapePickerViewController* shapes = picker(editor);
    ASSERT_TRUE(shapes);
    EXPECT_EQ(shapes->geometry(), editor->rect());
    ASSERT_TRUE(shapes->currentSlide());
    EXPECT_EQ(shapes->currentSlide()->objectName(), "slideIn");
    EXPECT_EQ(shapes->currentSlide()->duration(), 300);
    waitForSlide(shapes);
    const int h = shapes->imageListView()->height();
    EXPECT_EQ(shapes->imageListView()->geometry(), QRect(0, shapes->height() - h, shapes->width(), h));
    EXPECT_EQ(shapes->buttonNumPressed(), 0);
    grinsley::testing::renderToPng(app->window(), "shape-picker-phone");

    QPointer<ShapePickerViewController> guard = shapes;
    QTest::mouseClick(shapes->button2(), Qt::LeftButton);
    EXPECT_EQ(shapes->currentSlide()->objectName(), "slideOut");
    // A second press during the slide-out changes nothing and hands back nothing more.
    QTest::mouseClick(shapes->button1(), Qt::LeftButton);
    EXPECT_EQ(shapes->buttonNumPressed(), 2);
    QAbstractAnimation* out = shapes->currentSlide();
    QObject::connect(out, &QAbstractAnimation::finished, shapes,
                     [&] { EXPECT_EQ(shapes->imageListView()->y(), shapes->height()); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard; }, 3000)) << "closed and released";
    EXPECT_TRUE(isRectangle(editor));

    // The first button brings the ellipse back.
    editor->shapesButtonTouched();
    waitForSlide(picker(editor));
    guard = picker(editor);
    QTest::mouseClick(guard->button1(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !guard; }, 3000));
    EXPECT_FALSE(isRectangle(editor));
}

// The phone's panel can be closed without a choice, by Escape or a tap on the dimmed backdrop: the shape stays.
TEST_F(ShapePickerTest, PhonePanelCancelsByEscapeAndTheBackdrop) {
    MoxelViewController* editor = editorWithPhoto(platform::Idiom::Phone);
    editor->drawView()->changeSelectionShape(RectangleShape);
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "backdrop");
        editor->shapesButtonTouched();
        QPointer<ShapePickerViewController> shapes = picker(editor);
        ASSERT_TRUE(shapes);
        waitForSlide(shapes);
        if (escape)
            QTest::keyClick(editor->window(), Qt::Key_Escape);
        else
            QTest::mouseClick(shapes, Qt::LeftButton, {}, QPoint(shapes->width() / 2, 10));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !shapes; }, 3000)) << "closed";
        EXPECT_TRUE(isRectangle(editor)) << "nothing chosen: the shape stays";
    }
}

TEST_F(ShapePickerTest, PhoneLandscapeCoversTheEditor) {
    MoxelViewController* editor = editorWithPhoto(platform::Idiom::Phone);
    app->window()->resize(780, 390);
    QCoreApplication::processEvents();
    editor->shapesButtonTouched();
    ShapePickerViewController* shapes = picker(editor);
    EXPECT_EQ(shapes->geometry(), editor->rect());
    waitForSlide(shapes);
    const int h = shapes->imageListView()->height();
    EXPECT_EQ(shapes->imageListView()->geometry(), QRect(0, editor->height() - h, editor->width(), h));
    grinsley::testing::renderToPng(app->window(), "shape-picker-phone-landscape");
}

TEST_F(ShapePickerTest, TabletPopoverChoosesAndATapOutsideChangesNothing) {
    MoxelViewController* editor = editorWithPhoto(platform::Idiom::Tablet);
    editor->shapesButtonTouched();
    platform::Popover* popover = editor->currentPopoverController();
    ASSERT_TRUE(popover && popover->isVisible());
    auto* shapes = qobject_cast<ShapePickerViewController*>(popover->contentViewController());
    ASSERT_TRUE(shapes);
    EXPECT_EQ(shapes->size(), shapes->imageListView()->size()) << "the popover's content is the panel";
    grinsley::testing::renderToPng(popover, "shape-picker-tablet");
    popover->close(); // a tap outside
    QCoreApplication::processEvents();
    EXPECT_FALSE(isRectangle(editor));

    editor->shapesButtonTouched();
    popover = editor->currentPopoverController();
    shapes = qobject_cast<ShapePickerViewController*>(popover->contentViewController());
    QTest::mouseClick(shapes->button2(), Qt::LeftButton);
    EXPECT_TRUE(isRectangle(editor));
    QCoreApplication::processEvents();
    EXPECT_FALSE(editor->currentPopoverController() && editor->currentPopoverController()->isVisible());
}
