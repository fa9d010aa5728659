#pragma once

#include <functional>

#include <QWidget>

class QCheckBox;
class QSlider;

namespace grinsley {

// The piece options: how soft a new piece's edge is (a slider from a hard edge to very soft, the shapes' own
// masks a quarter of the way along) and whether Paste and Swap blend pieces into the photo; below them the photo
// settings (photosettings), stored as soon as they are switched.
class EdgeOptionsView : public QWidget {
    Q_OBJECT
public:
    // The slider's steps per unit of softness.
    static constexpr int stepsPerUnit = 10;

    EdgeOptionsView(double softness, bool blendsIn, QWidget* parent = nullptr);

    QSlider* softnessSlider() const { return _slider; }
    QCheckBox* blendCheckBox() const { return _blend; }
    QCheckBox* phoneSizeCheckBox() const { return _phoneSize; }
    QCheckBox* locationCheckBox() const { return _location; }

    // Told when the user moves the slider (each step) and when the user lets it go.
    std::function<void(double softness, bool finished)> softnessChanged;
    std::function<void(bool blendsIn)> blendChanged;

private:
    QSlider* _slider = nullptr;
    QCheckBox* _blend = nullptr;
    QCheckBox* _phoneSize = nullptr;
    QCheckBox* _location = nullptr;
};

} // namespace grinsley
