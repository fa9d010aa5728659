#pragma once

#include <opencv2/core.hpp>

namespace grinsley::faces {

// Gives `source` (8-bit BGR) the colour of `target` (8-bit BGR): each channel of the Lab colour space is shifted
// and scaled so that its mean and spread over `sourceMask` equal the target's over `targetMask` (8-bit masks;
// where they are not 0). Tone, light and tint move; the source's own detail stays. The spread's scale is
// kept within reason, so a flat region never blows another up.
void matchColour(cv::Mat& source, const cv::Mat& sourceMask, const cv::Mat& target, const cv::Mat& targetMask);

} // namespace grinsley::faces
