#include "ColourMatch.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

namespace grinsley::faces {

void matchColour(cv::Mat& source, const cv::Mat& sourceMask, const cv::Mat& target, const cv::Mat& targetMask) {
    if (cv::countNonZero(sourceMask) == 0 || cv::countNonZero(targetMask) == 0)
        return;
    cv::Mat sourceLab, targetLab;
    source.convertTo(sourceLab, CV_32FC3, 1.0 / 255);
    target.convertTo(targetLab, CV_32FC3, 1.0 / 255);
    cv::cvtColor(sourceLab, sourceLab, cv::COLOR_BGR2Lab);
    cv::cvtColor(targetLab, targetLab, cv::COLOR_BGR2Lab);
    cv::Scalar sourceMean, sourceSpread, targetMean, targetSpread;
    cv::meanStdDev(sourceLab, sourceMean, sourceSpread, sourceMask);
    cv::meanStdDev(targetLab, targetMean, targetSpread, targetMask);
    std::vector<cv::Mat> channels;
    cv::split(sourceLab, channels);
    for (int c = 0; c < 3; ++c) {
        const double scale = sourceSpread[c] > 1e-3 ? std::clamp(targetSpread[c] / sourceSpread[c], 0.5, 2.0) : 1.0;
        channels[std::size_t(c)].convertTo(channels[std::size_t(c)], CV_32F, scale, targetMean[c] - sourceMean[c] * scale);
    }
    cv::merge(channels, sourceLab);
    cv::cvtColor(sourceLab, sourceLab, cv::COLOR_Lab2BGR);
    sourceLab.convertTo(source, CV_8UC3, 255);
}

} // namespace grinsley::faces
