#pragma once

// What GetResPic and SpnFrm do the same on every platform: where the placed picture goes, how
// many frames the animation has, the wait before each and the order they are shown in.

#include <vector>

namespace twl::animation {

// GetResPic's other place for its picture.
constexpr int PlacedLeft = 155;
constexpr int PlacedTop = 435;

constexpr int FrameCount = 10;
// The wait before each frame of the animation, in Lag's ticks.
constexpr int FrameTicks = 99999;

// Direction 0 shows the frames from the last down to 0, direction 1 from 1 up to the last, any
// other direction frames 1 and 0.
inline std::vector<int> frameOrder(int direction) {
    std::vector<int> order;
    if (direction == 0) {
        for (int frame = FrameCount - 1; frame >= 0; --frame)
            order.push_back(frame);
    } else if (direction == 1) {
        for (int frame = 1; frame < FrameCount; ++frame)
            order.push_back(frame);
    } else {
        order = {1, 0};
    }
    return order;
}

} // namespace twl::animation
