// The "sound" family.
#include "graphics/Wave.h"

#include "core/Engine.h"
#include "graphics/SoundPlayer.h"
#include "system/Disk.h"

#include <algorithm>
#include <filesystem>
#include <memory>

namespace ruk {

namespace {

constexpr int32_t UnitsPerLevel = 650;

Result volume_command(Engine& e, SoundPlayer& player)
{
    const std::string& side = e.word(2);
    uint32_t volume = player.volume();
    const int32_t left = (volume & 0xFFFF) / UnitsPerLevel;
    const int32_t right = (volume >> 16) / UnitsPerLevel;
    if (e.param(1).empty()) {
        if (side.empty())
            return int_to_text(std::max(left, right));
        if (side == "left")
            return int_to_text(left);
        if (side == "right")
            return int_to_text(right);
        return e.call_function();
    }
    const uint32_t channel = channel_from_level(e.param_int(1, 0));
    if (side.empty())
        volume = channel | (channel << 16);
    else if (side == "left")
        volume = (volume & 0xFFFF0000u) | channel;
    else if (side == "right")
        volume = (volume & 0x0000FFFFu) | (channel << 16);
    else
        return std::nullopt;
    player.set_volume(volume);
    return std::nullopt;
}

} // namespace

uint16_t channel_from_level(int32_t level)
{
    const int64_t units = static_cast<int64_t>(level) * UnitsPerLevel;
    return static_cast<uint16_t>(std::clamp<int64_t>(units, 0, 0xFFFF));
}

void register_sound_family(Engine& engine)
{
    auto player = std::make_shared<SoundPlayer>();
    engine.register_family("sound", [player](Engine& e) -> Result {
        const std::string& w1 = e.word(1);
        if (w1 == "play") {
            // A file that is not there leaves the playing sound alone.
            std::optional<std::string> path = disk::resolve_path(e.param(1));
            std::error_code ec;
            if (path && std::filesystem::is_regular_file(*path, ec))
                player->play(*path, starts_with_1(e.param(2)));
            return std::nullopt;
        }
        if (w1 == "stop") {
            player->stop();
            return std::nullopt;
        }
        if (w1 == "volume")
            return volume_command(e, *player);
        return std::nullopt;
    });
}

} // namespace ruk
