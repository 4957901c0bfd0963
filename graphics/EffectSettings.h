// The process-wide settings that steer the copy effects, and the rectangle type the effects take.
#pragma once

#include <array>
#include <cstdint>

namespace ruk {

// Channel numbers in pixel memory: a pixel's bytes are blue, green, red.
enum Channel : int { ChannelBlue = 0, ChannelGreen = 1, ChannelRed = 2 };

// The ten effect settings scripts set with "draw" "mx" "effects".
//  mode          0 translucent blend, 1 one channel per pixel in turn,
//                2 sample and hold, 3 doubled pixels (2 x 2 blocks)
//  x_step/y_step destination columns/rows advance by this much (below 1 counts as 1)
//  percent       weight of the source per channel (blue, green, red); 0 or less
//                leaves the channel alone
//  source_shift  bytes added to the position of each channel's byte read from
//                the source
//  cycle_length  highest value of the channel counter of modes 1 and 2
struct EffectSettings {
    int32_t mode = 0;
    int32_t x_step = 1;
    int32_t y_step = 1;
    std::array<int32_t, 3> percent {100, 100, 100};
    std::array<int32_t, 3> source_shift {0, 0, 0};
    int32_t cycle_length = 2;

    void set_all_percentages(int32_t value) { percent = {value, value, value}; }
    bool percentages_all_100() const { return percent[0] == 100 && percent[1] == 100 && percent[2] == 100; }
    bool has_source_shift() const { return source_shift[0] != 0 || source_shift[1] != 0 || source_shift[2] != 0; }
};

// The four-corner shear of "draw" "mx" "deform", in source pixels. A value of
// 0 or less has no effect.
struct DeformSettings {
    int32_t top_left = 0;
    int32_t top_right = 0;
    int32_t bottom_left = 0;
    int32_t bottom_right = 0;

    bool active() const { return top_left > 0 || top_right > 0 || bottom_left > 0 || bottom_right > 0; }
};

// A rectangle of pixels: left, top, width, height. Any of them may be
// negative as scripts give them; the effects skip what falls outside.
struct PixelRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
};

} // namespace ruk
