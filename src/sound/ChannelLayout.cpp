#include "sound/ChannelLayout.h"

#include <bit>
#include <initializer_list>

namespace QlSound {

namespace {

using S = Speaker;

ChannelLayout make(std::initializer_list<Speaker> speakers)
{
    ChannelLayout layout;
    for (Speaker s : speakers) layout.speakers[layout.channels++] = s;
    return layout;
}

constexpr float kHalfPower = 0.70710678f;

}  // namespace

ChannelLayout defaultChannelLayout(std::uint32_t channels)
{
    switch (channels) {
    case 1: return make({S::FrontCenter});
    case 2: return make({S::FrontLeft, S::FrontRight});
    case 3: return make({S::FrontLeft, S::FrontRight, S::FrontCenter});
    case 4: return make({S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight});
    case 5: return make({S::FrontLeft, S::FrontRight, S::FrontCenter, S::BackLeft, S::BackRight});
    case 6: return make({S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft, S::BackRight});
    case 7:
        return make({S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackCenter, S::SideLeft,
                     S::SideRight});
    case 8:
        return make({S::FrontLeft, S::FrontRight, S::FrontCenter, S::LowFrequency, S::BackLeft, S::BackRight,
                     S::SideLeft, S::SideRight});
    default: return {};
    }
}

ChannelLayout channelLayoutFromMask(std::uint32_t channels, std::uint32_t mask)
{
    const std::uint32_t known = (1u << kSpeakerCount) - 1;
    if (mask == 0 || (mask & ~known) != 0 || static_cast<std::uint32_t>(std::popcount(mask)) != channels ||
        channels > kMaxPlayableChannels)
        return defaultChannelLayout(channels);
    ChannelLayout layout;
    for (std::uint32_t bit = 0; bit < kSpeakerCount; ++bit)
        if (mask & (1u << bit)) layout.speakers[layout.channels++] = static_cast<Speaker>(bit);
    return layout;
}

ChannelLayout vorbisChannelLayout(std::uint32_t channels)
{
    switch (channels) {
    case 1: return make({S::FrontCenter});
    case 2: return make({S::FrontLeft, S::FrontRight});
    case 3: return make({S::FrontLeft, S::FrontCenter, S::FrontRight});
    case 4: return make({S::FrontLeft, S::FrontRight, S::BackLeft, S::BackRight});
    case 5: return make({S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight});
    case 6: return make({S::FrontLeft, S::FrontCenter, S::FrontRight, S::BackLeft, S::BackRight, S::LowFrequency});
    case 7:
        return make({S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackCenter,
                     S::LowFrequency});
    case 8:
        return make({S::FrontLeft, S::FrontCenter, S::FrontRight, S::SideLeft, S::SideRight, S::BackLeft,
                     S::BackRight, S::LowFrequency});
    default: return {};
    }
}

ChannelLayout channelLayoutOf(const ISoundData& data)
{
    const std::uint32_t channels = data.getFormat().channels;
    if (const auto* source = dynamic_cast<const IChannelLayoutSource*>(&data)) {
        const ChannelLayout layout = source->getChannelLayout();
        if (layout.channels == channels) return layout;
    }
    return defaultChannelLayout(channels);
}

StereoWeights stereoWeights(Speaker speaker)
{
    switch (speaker) {
    case S::FrontLeft:
    case S::TopFrontLeft: return {1.0f, 0.0f};
    case S::FrontRight:
    case S::TopFrontRight: return {0.0f, 1.0f};
    case S::FrontCenter:
    case S::TopFrontCenter:
    case S::TopCenter: return {kHalfPower, kHalfPower};
    case S::LowFrequency: return {0.0f, 0.0f};
    case S::BackLeft:
    case S::SideLeft:
    case S::TopBackLeft: return {kHalfPower, 0.0f};
    case S::BackRight:
    case S::SideRight:
    case S::TopBackRight: return {0.0f, kHalfPower};
    case S::FrontLeftOfCenter: return {0.92387953f, 0.38268343f};
    case S::FrontRightOfCenter: return {0.38268343f, 0.92387953f};
    case S::BackCenter:
    case S::TopBackCenter: return {0.5f, 0.5f};
    }
    return {};
}

}  // namespace QlSound
