#pragma once

#include <memory>

#include <QGraphicsScene>
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QLabel>
#include <QTest>

#include "analytics/TallySession.h"
#include "analytics/transport/TallyUpload.h"
#include "app/MoxelAppDelegate.h"
#include "app/MoxelViewController.h"
#include "app/StartupViewController.h"
#include "editing/DrawView.h"
#include "editing/SelectionView.h"
#include "platform/AlertView.h"
#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/Device.h"
#include "platform/NavigationController.h"
#include "platform/PhotoPicker.h"
#include "platform/UserDefaults.h"
#include "rating/RatingPrompt.h"
#include "support/IsolatedTest.h"
#include "support/TestPhotos.h"

namespace grinsley::testing {

// What tests look at in the editor that the program itself never asks for.
struct EditorProbe {
    static platform::PhotoPicker* photoPicker(const MoxelViewController* editor) { return editor->_picker.data(); }
};

// The whole application as a user starts it: delegate, window, start screen; Start pushes the editor.
class AppTest : public IsolatedTest {
protected:
    void SetUp() override {
        IsolatedTest::SetUp();
        platform::Device::setIdiom(platform::Idiom::Phone);
    }
    void TearDown() override {
        for (QMessageBox* box : platform::AlertView::visibleAlerts())
            box->close();
        app.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EditingStateWriter::shared().waitUntilIdle();
        // The threads the launch started (uploads, rating reports) end before the test's folders go.
        EXPECT_TRUE(QTest::qWaitFor(
            [] {
                return TallyUpload::uploadsInFlight() == 0 && RatingPrompt::reportsInFlight() == 0 &&
                       platform::PhotoPicker::workersRunning() == 0;
            },
            10000));
        platform::Application::shared().setDelegate({});
        platform::Application::shared().resetLifecycle();
        IsolatedTest::TearDown();
    }

    void launch(platform::Idiom idiom = platform::Idiom::Phone) {
        platform::Device::setIdiom(idiom);
        platform::Application::shared().resetLifecycle();
        app = std::make_unique<MoxelAppDelegate>();
        app->install();
        platform::Application::shared().finishLaunching({});
        (void)QTest::qWaitForWindowExposed(app->window());
    }

    // The short notice showing over the editor, if any.
    static QString noticeText(MoxelViewController* editor) {
        for (auto* notice : editor->findChildren<QLabel*>(QStringLiteral("grinsleyNotice")))
            if (notice->isVisible())
                return notice->text();
        return {};
    }

    MoxelViewController* start() {
        QTest::mouseClick(app->startupViewController()->startButton(), Qt::LeftButton);
        MoxelViewController* editor = app->startupViewController()->mainViewController();
        // The editor slides in; touches land where it ends up (a loaded machine may take a while to get there).
        if (editor) {
            EXPECT_TRUE(QTest::qWaitFor([editor] { return editor->pos() == QPoint(0, 0); }, 10000));
        }
        return editor;
    }

    // A photo and a piece saved as a previous run would have left them.
    static void saveStateWithPhotoAndPiece() {
        QGraphicsScene scene;
        auto* canvas = new DrawView(QSizeF(390, 600));
        scene.addItem(canvas);
        canvas->initialize(0, 0, nullptr);
        canvas->setCurrentImage(platform::Bundle::imageNamed("Sample1", "jpg"));
        canvas->selectionView()->setCenter({120, 290}); // over the left face
        canvas->doCopy();
        canvas->selectionView()->setCenter({270, 290});
        canvas->selectionView()->setRotationAngle(0.15f);
        canvas->saveApplicationState();
    }

    // Where the saved selection's centre is on the photo, in photo pixels.
    static QPointF savedPhotoCenter() {
        const platform::UserDefaults& defaults = platform::UserDefaults::standard();
        return {defaults.objectForKey("selectionPhotoCenterX").toDouble(),
                defaults.objectForKey("selectionPhotoCenterY").toDouble()};
    }

    // Answers the sheet that asks before an edited photo is replaced ("Replace" or "Keep Editing"); false when
    // it is not on screen.
    static bool answerReplaceSheet(bool replace) {
        for (QMessageBox* box : platform::AlertView::visibleAlerts())
            if (box->windowTitle() == QStringLiteral("Replace the edited photo?"))
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == (replace ? QStringLiteral("Replace") : QStringLiteral("Keep Editing"))) {
                        button->click();
                        return true;
                    }
        return false;
    }

    // The title and message of the one alert on screen; empty when there is none or more than one.
    static std::pair<QString, QString> onlyAlert() {
        const auto alerts = platform::AlertView::visibleAlerts();
        if (alerts.size() != 1)
            return {};
        return {alerts.first()->windowTitle(), alerts.first()->informativeText()};
    }

    // The names of the events the current analytics session has recorded, in order.
    static QStringList recordedEvents() {
        QStringList names;
        if (TallySession* session = TallySession::currentSession())
            for (const TallyEvent& event : session->eventLog())
                names.append(event.name());
        return names;
    }

    std::unique_ptr<MoxelAppDelegate> app;
};

} // namespace grinsley::testing
