// A stand-in for the editor in the kill test: edits as fast as it can, the photo, the piece and the piece's
// turn all numbered by the edit, saving after each edit as the editor does. Prints "edit N" once edit N is
// complete and, every third edit, "saved N" once it is on disk.
#include <cstdio>

#include <QApplication>
#include <QGraphicsScene>

#include "FullSizeSpots.h"
#include "editing/DrawView.h"
#include "editing/SelectionView.h"
#include "platform/UserDefaults.h"

using namespace grinsley;


int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Grinsley"));
    QGraphicsScene scene;
    auto* canvas = new DrawView(QSizeF(400, 400));
    scene.addItem(canvas);
    canvas->initialize(0, 0, nullptr);
    canvas->setSavesAfterEachEdit(true);
    // A piece about as big as the photo: its write takes as long as the photo's, so a kill is as likely to
    // land between the two as anywhere.
    canvas->selectionView()->setBoundsIfValid(QSizeF(44 + 380, 132 + 290));
    // Noise everywhere (slow to compress, so that writes take a while) but for the numbered spots: the corner
    // and the middle, where the piece's centre comes from.
    QImage noise(320, 240, QImage::Format_RGB32);
    quint32 seed = 1;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) | 0xFF000000u);
    // "--once": one edit saved, then the files it was saved to, as a second run of the program would name them.
    if (QCoreApplication::arguments().contains(QStringLiteral("--once"))) {
        canvas->setCurrentImage(platform::Image(noise));
        canvas->doCopy();
        canvas->saveApplicationState();
        for (const char* key : {DrawView::currentImageKey, DrawView::imageSelectionKey})
            std::printf("%s\n", qPrintable(platform::UserDefaults::standard().stringForKey(QLatin1String(key))));
        return 0;
    }
    // "--full": a 12-megapixel photo opened once; edit k pastes a piece numbered k at spot k, so that the photo is
    // saved as a base and a rectangle per paste.
    if (QCoreApplication::arguments().contains(QStringLiteral("--full"))) {
        QImage photo(4000, 3000, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < photo.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x)
                line[x] = qRgb(x & 255, y & 255, 200);
        }
        canvas->setCurrentImage(platform::Image(photo));
        canvas->selectionView()->setBoundsIfValid(QSizeF(44 + 16, 132 + 16));
        for (int k = 1;; ++k) {
            QImage piece(32, 32, QImage::Format_ARGB32_Premultiplied);
            piece.fill(qRgb(k & 255, (k >> 8) & 255, 77));
            canvas->selectionView()->setImageSelection(platform::Image(piece));
            canvas->selectionView()->setRotationAngle(float(k) * 0.001f);
            canvas->selectionView()->setCenter(fullSizeSpot(k));
            canvas->doPaste();
            QCoreApplication::processEvents();
            std::printf("edit %d\n", k);
            if (k % 3 == 0) {
                EditingStateWriter::shared().waitUntilIdle();
                std::printf("saved %d\n", k);
            }
            std::fflush(stdout);
        }
    }
    for (int k = 1;; ++k) {
        QImage photo = noise.copy();
        const QRgb number = qRgb(k & 255, (k >> 8) & 255, 77);
        photo.setPixel(0, 0, number);
        for (int y = 110; y < 130; ++y)
            for (int x = 150; x < 170; ++x)
                photo.setPixel(x, y, number);
        canvas->setCurrentImage(platform::Image(photo));
        canvas->selectionView()->setRotationAngle(float(k) * 0.001f);
        canvas->doCopy();
        QCoreApplication::processEvents(); // the editor's event loop: the save is queued behind the edit
        std::printf("edit %d\n", k);
        if (k % 3 == 0) {
            EditingStateWriter::shared().waitUntilIdle();
            std::printf("saved %d\n", k);
        }
        std::fflush(stdout);
    }
}
