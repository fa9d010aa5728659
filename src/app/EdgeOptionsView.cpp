#include "EdgeOptionsView.h"

#include <cmath>

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>

#include "app/PhotoSettings.h"
#include "editing/DrawView.h"
#include "platform/Theme.h"

namespace grinsley {

EdgeOptionsView::EdgeOptionsView(double softness, bool blendsIn, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("edgeOptions"));
    setAttribute(Qt::WA_StyledBackground);
    // The popover draws the panel around it.
    setStyleSheet(platform::theme::darkPanel("edgeOptions") +
                  QStringLiteral("#edgeOptions { background: transparent; border: none; }"
                                 "#edgeOptions QCheckBox { color: #f2f2f4; font-size: 15px; min-height: %1px; }"
                                 "#edgeOptions QCheckBox::indicator { width: 22px; height: 22px; }"
                                 "#edgeOptions QLabel#hint { color: #a9acb3; font-size: 12px; }"
                                 "#edgeOptions QSlider { min-height: %1px; }")
                      .arg(platform::theme::fingerHeight));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 14, 18, 14);
    grid->setVerticalSpacing(6);
    grid->addWidget(new QLabel(tr("Soft edge of new pieces"), this), 0, 0, 1, 2);
    _slider = new QSlider(Qt::Horizontal, this);
    _slider->setObjectName(QStringLiteral("softnessSlider"));
    _slider->setRange(0, int(DrawView::maxEdgeSoftness * stepsPerUnit));
    _slider->setPageStep(stepsPerUnit / 2);
    _slider->setValue(int(std::lround(softness * stepsPerUnit)));
    _slider->setMinimumWidth(240);
    grid->addWidget(_slider, 1, 0, 1, 2);
    auto* hard = new QLabel(tr("Hard"), this);
    auto* soft = new QLabel(tr("Very soft"), this);
    hard->setObjectName(QStringLiteral("hint"));
    soft->setObjectName(QStringLiteral("hint"));
    soft->setAlignment(Qt::AlignRight);
    grid->addWidget(hard, 2, 0);
    grid->addWidget(soft, 2, 1);
    _blend = new platform::theme::DarkCheckBox(tr("Blend pasted pieces in"), this);
    _blend->setObjectName(QStringLiteral("blendCheckBox"));
    _blend->setChecked(blendsIn);
    grid->addWidget(_blend, 3, 0, 1, 2);
    auto* photos = new QLabel(tr("Photos"), this);
    photos->setContentsMargins(0, 10, 0, 0);
    grid->addWidget(photos, 4, 0, 1, 2);
    _phoneSize = new platform::theme::DarkCheckBox(tr("Reduce photos to phone size"), this);
    _phoneSize->setObjectName(QStringLiteral("phoneSizeCheckBox"));
    _phoneSize->setChecked(photosettings::reducesToPhoneSize());
    grid->addWidget(_phoneSize, 5, 0, 1, 2);
    _location = new platform::theme::DarkCheckBox(tr("Keep location in shared photos"), this);
    _location->setObjectName(QStringLiteral("locationCheckBox"));
    _location->setChecked(photosettings::keepsLocation());
    grid->addWidget(_location, 6, 0, 1, 2);
    connect(_phoneSize, &QCheckBox::toggled, this, &photosettings::setReducesToPhoneSize);
    connect(_location, &QCheckBox::toggled, this, &photosettings::setKeepsLocation);

    const auto value = [this] { return double(_slider->value()) / stepsPerUnit; };
    connect(_slider, &QSlider::valueChanged, this, [this, value] {
        if (softnessChanged)
            softnessChanged(value(), !_slider->isSliderDown());
    });
    connect(_slider, &QSlider::sliderReleased, this, [this, value] {
        if (softnessChanged)
            softnessChanged(value(), true);
    });
    connect(_blend, &QCheckBox::toggled, this, [this](bool on) {
        if (blendChanged)
            blendChanged(on);
    });
}

} // namespace grinsley
