// The bell of the SDL back-end: a 1000 Hz tone for 250 ms through SDL audio.
//
// Asking for the bell only sets a flag, so the program never waits for sound.
// The presentation thread opens the audio device the first time the bell is
// asked for, starts the tone and pauses the device when it has played. Where
// no audio device exists (a headless machine) the bell stays silent.
#include <atomic>
#include <cmath>
#include <numbers>

#include "gfx/sdl/sdl_video.h"

namespace {

constexpr double BELL_HZ = 1000.0;
constexpr int32_t BELL_MS = 250;
constexpr double BELL_VOLUME = 0.25;

std::atomic<bool> bell_asked{false};
std::atomic<int32_t> samples_left{0};  // written by the presentation thread, counted down by SDL's audio thread
SDL_AudioDeviceID device = 0;
bool audio_failed = false;
bool playing = false;
int32_t sample_rate = 48000;
double phase = 0.0;  // touched only by SDL's audio thread

// Fill an audio buffer with the tone while samples are left, else with silence.
void fill_tone(void*, Uint8* stream, int len) {
  auto* out = reinterpret_cast<int16_t*>(stream);
  const int32_t count = len / static_cast<int32_t>(sizeof(int16_t));
  const double step = 2.0 * std::numbers::pi * BELL_HZ / sample_rate;
  for (int32_t i = 0; i < count; ++i) {
    if (samples_left.load(std::memory_order_relaxed) > 0) {
      out[i] = static_cast<int16_t>(std::sin(phase) * BELL_VOLUME * 32767.0);
      phase = std::fmod(phase + step, 2.0 * std::numbers::pi);
      samples_left.fetch_sub(1, std::memory_order_relaxed);
    } else {
      out[i] = 0;
    }
  }
}

// Open the audio device, paused; false when there is none.
bool open_device() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = sample_rate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 1024;
  want.callback = fill_tone;
  SDL_AudioSpec have{};
  device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  sample_rate = have.freq;
  return true;
}

}  // namespace

void sdl_request_bell() {
  bell_asked.store(true);
}

void sdl_bell_step() {
  if (bell_asked.exchange(false) && !audio_failed) {
    if (device == 0 && !open_device()) {
      audio_failed = true;
      return;
    }
    samples_left.store(sample_rate * BELL_MS / 1000);
    SDL_PauseAudioDevice(device, 0);
    playing = true;
  } else if (playing && samples_left.load() <= 0) {
    SDL_PauseAudioDevice(device, 1);
    playing = false;
  }
}

void sdl_bell_close() {
  if (device != 0) {
    SDL_CloseAudioDevice(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  device = 0;
  playing = false;
  audio_failed = false;
  bell_asked.store(false);
  samples_left.store(0);
}
