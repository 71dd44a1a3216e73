// Which loudspeaker each channel of decoded multichannel PCM is meant for,
// and how the mixer folds those speakers into its stereo output.
#pragma once

#include "sound/SoundData.h"

#include <array>
#include <cstdint>

namespace QlSound {

// Speaker positions, numbered as the bits of a WAV channel mask.
enum class Speaker : std::uint8_t {
    FrontLeft = 0,
    FrontRight,
    FrontCenter,
    LowFrequency,
    BackLeft,
    BackRight,
    FrontLeftOfCenter,
    FrontRightOfCenter,
    BackCenter,
    SideLeft,
    SideRight,
    TopCenter,
    TopFrontLeft,
    TopFrontCenter,
    TopFrontRight,
    TopBackLeft,
    TopBackCenter,
    TopBackRight,
};

inline constexpr std::uint32_t kSpeakerCount = 18;
// The most channels the mixer plays; data with more is refused.
inline constexpr std::uint32_t kMaxPlayableChannels = 8;

// The speaker of every channel, in the order the channels are interleaved.
// A layout of 0 channels means "none known".
struct ChannelLayout {
    std::uint32_t channels = 0;
    std::array<Speaker, kMaxPlayableChannels> speakers{};

    bool operator==(const ChannelLayout&) const = default;
};

// The conventional layout for a channel count when the data names none, in
// WAV order: 1 centre; 2 FL FR; 3 FL FR FC; 4 FL FR BL BR; 5 FL FR FC BL BR;
// 6 FL FR FC LFE BL BR; 7 FL FR FC LFE BC SL SR; 8 FL FR FC LFE BL BR SL SR.
// 0 channels for counts outside 1..8.
ChannelLayout defaultChannelLayout(std::uint32_t channels);

// The layout a WAV channel mask describes: the speakers of its set bits, in
// bit order. A mask that is 0, names speakers this runtime does not know, or
// does not name exactly `channels` speakers gives the default layout.
ChannelLayout channelLayoutFromMask(std::uint32_t channels, std::uint32_t mask);

// The order Vorbis I fixes for 1 to 8 channels: 3 L C R; 4 FL FR RL RR;
// 5 FL C FR RL RR; 6 FL C FR RL RR LFE; 7 FL C FR SL SR RC LFE;
// 8 FL C FR SL SR RL RR LFE. 0 channels for other counts.
ChannelLayout vorbisChannelLayout(std::uint32_t channels);

// Implemented, next to ISoundData, by decoders whose channel order is not the
// default one for their channel count (a WAV with a channel mask, Vorbis).
class IChannelLayoutSource {
public:
    virtual ~IChannelLayoutSource() = default;
    virtual ChannelLayout getChannelLayout() const = 0;
};

// The data's own layout when its decoder states one, else the default layout
// for its channel count.
ChannelLayout channelLayoutOf(const ISoundData& data);

// How much of a speaker's signal goes to the left and to the right output.
struct StereoWeights {
    float left = 0.0f;
    float right = 0.0f;
};

// Front left/right 1.0 to their own side; front centre 0.7071 to both; back
// and side left/right 0.7071 to their own side; back centre 0.5 to both;
// the low-frequency channel is left out (0). Front left/right of centre sit
// between their side and the centre (0.9239 to their side, 0.3827 to the
// other); raised speakers take the weights of the speaker below them, the
// top centre those of the front centre.
StereoWeights stereoWeights(Speaker speaker);

}  // namespace QlSound
