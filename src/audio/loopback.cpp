#include "audio/loopback.h"

#include <AL/alext.h>

namespace {

LPALCRENDERSAMPLESSOFT render_samples() {
    return reinterpret_cast<LPALCRENDERSAMPLESSOFT>(
        alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
}

}  // namespace

std::unique_ptr<Audio> open_loopback(int rate, int volume) {
    if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) {
        return nullptr;
    }
    const auto open_device = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
        alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    ALCdevice* device = open_device(nullptr);
    if (device == nullptr) {
        return nullptr;
    }
    const ALCint format[] = {ALC_FORMAT_CHANNELS_SOFT,
                             ALC_MONO_SOFT,
                             ALC_FORMAT_TYPE_SOFT,
                             ALC_SHORT_SOFT,
                             ALC_FREQUENCY,
                             rate,
                             0};
    ALCcontext* context = alcCreateContext(device, format);
    if (context == nullptr) {
        alcCloseDevice(device);
        return nullptr;
    }
    return std::make_unique<Audio>(device, context, volume, rate);
}

std::vector<int16_t> render(Audio& audio, int count) {
    std::vector<int16_t> samples(static_cast<size_t>(count));
    render_samples()(audio.alc_device(), samples.data(), count);
    return samples;
}
