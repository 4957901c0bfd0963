// The "num" family: integer expressions, conditions, angles, colours and random numbers.
#include "core/Var.h"

#include "core/Condition.h"
#include "core/Engine.h"
#include "core/Text.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace ruk {

namespace {

// What "compute" answers for a malformed expression.
constexpr int32_t ComputeFallback = -2147483645;

// Brings an angle into 0..359; exact for every 64-bit value.
int64_t normalise_angle(int64_t angle)
{
    int64_t a = angle % 360;
    return a < 0 ? a + 360 : a;
}

// factor x sin or cos of a whole-degree angle, truncated toward zero. The
// angle is reduced exactly in integers first; a product that lies within
// rounding noise of a whole number is taken as that number, so that
// 2 x sin 30 is 1 and not 0.
int64_t scaled_trig(int32_t degrees, int32_t factor, bool cosine)
{
    double radians = static_cast<double>(normalise_angle(degrees)) * std::numbers::pi / 180.0;
    double value = static_cast<double>(factor) * (cosine ? std::cos(radians) : std::sin(radians));
    double nearest = std::round(value);
    if (std::fabs(value - nearest) <= 1e-9 * (1.0 + std::fabs(value)))
        value = nearest;
    // |value| <= 2^31, so the conversion is always defined.
    return static_cast<int64_t>(std::trunc(value));
}

int64_t rgb(int32_t red, int32_t green, int32_t blue)
{
    auto low = [](int32_t v) { return static_cast<int64_t>(static_cast<uint32_t>(v) & 0xFFu); };
    return low(blue) * 65536 + low(green) * 256 + low(red);
}

int64_t colour_byte(int32_t colour, int shift)
{
    return static_cast<int64_t>((static_cast<uint32_t>(colour) >> shift) & 0xFFu);
}

// low + (r mod |high - low|) with r a fresh 15-bit draw; low when both are
// equal. High below low keeps the same formula with the distance made positive.
int64_t random_between(Random& random, int32_t low, int32_t high)
{
    if (low == high)
        return low;
    int64_t distance = static_cast<int64_t>(high) - low;
    if (distance < 0)
        distance = -distance;
    return low + static_cast<int64_t>(random.next()) % distance;
}

int64_t change_angle(int32_t angle, int32_t target, int32_t step)
{
    int64_t a = angle;
    int64_t turn = normalise_angle(static_cast<int64_t>(target) - a);
    return normalise_angle(turn < 181 ? a + step : a - step);
}

int64_t distance(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    double dx = static_cast<double>(x2) - x1;
    double dy = static_cast<double>(y2) - y1;
    return static_cast<int64_t>(std::sqrt(dx * dx + dy * dy));
}

// Direction from point 1 to point 2 in screen co-ordinates: 45 is up and to
// the right, 135 up-left, 225 down-left, 315 down-right. Two points on one
// horizontal or vertical line give 180, as scripts have always seen it.
int64_t direction(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
{
    int64_t dx = static_cast<int64_t>(x1) - x2;
    int64_t dy = static_cast<int64_t>(y1) - y2;
    if (dx == 0 || dy == 0)
        return 180;
    double degrees = std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180.0 / std::numbers::pi;
    int64_t a = normalise_angle(static_cast<int64_t>(std::trunc(degrees + 90.0)));
    int64_t result = 270 - a;
    return result < 0 ? result + 360 : result;
}

Result num_command(Engine& e)
{
    const std::string& w = e.word(1);
    if (w == "compute")
        return int_to_text(eval_int(e.param(1), ComputeFallback));
    if (w == "eval") {
        switch (eval_condition_quiet(e.param(1))) {
        case ConditionValue::True: return std::string("1");
        case ConditionValue::TooLarge: return std::string("-2");
        default: return std::string("0");
        }
    }
    if (w == "abs") {
        // Widened first: the absolute value of the most negative integer
        // does not fit 32 bits.
        int64_t v = e.param_int(1, 0);
        return int_to_text(v < 0 ? -v : v);
    }
    if (w == "not")
        return flag_to_text(!e.param(1).empty() && e.param(1)[0] == '0');
    if (w == "sin")
        return int_to_text(scaled_trig(e.param_int(1, 0), e.param_int(2, 1), false));
    if (w == "cos")
        return int_to_text(scaled_trig(e.param_int(1, 0), e.param_int(2, 1), true));
    if (w == "rgb")
        return int_to_text(rgb(e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 0)));
    if (w == "red")
        return int_to_text(colour_byte(e.param_int(1, 0), 0));
    if (w == "green")
        return int_to_text(colour_byte(e.param_int(1, 0), 8));
    if (w == "blue")
        return int_to_text(colour_byte(e.param_int(1, 0), 16));
    if (w == "char") {
        const std::string& text = e.param(1);
        return int_to_text(text.empty() ? 0 : static_cast<int8_t>(text[0]));
    }
    if (w == "random")
        return int_to_text(random_between(e.random(), e.param_int(1, 0), e.param_int(2, 0)));
    if (w == "changeangle")
        return int_to_text(change_angle(e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 0)));
    if (w == "getdistance")
        return int_to_text(distance(e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 0), e.param_int(4, 0)));
    if (w == "getangle")
        return int_to_text(direction(e.param_int(1, 0), e.param_int(2, 0), e.param_int(3, 0), e.param_int(4, 0)));
    return e.call_function();
}

} // namespace

void register_num_family(Engine& engine)
{
    engine.register_family("num", num_command);
}

} // namespace ruk
