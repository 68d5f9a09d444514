// The sound: a soft bell-like arpeggio over a warm low chord, about 2.85
// seconds, mono 16-bit at 44100 Hz. Each bell note is a few partials, the
// upper ones slightly out of tune and dying away faster, as in a struck
// metal bar; a short attack avoids clicks and the whole fades to silence.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace assets {

namespace {

constexpr double kRate = 44100;

// Equal-tempered frequency of a note, in semitones from A4 = 440 Hz.
double noteHz(int semitonesFromA4) {
    return 440.0 * expo(semitonesFromA4 * 0.69314718055994530942 / 12.0);
}

struct Partial {
    double ratio, level, decay;  // frequency ratio, amplitude, time constant (s)
};

constexpr Partial kBell[] = {{1.0, 1.0, 1.1}, {2.0, 0.32, 0.55}, {3.01, 0.12, 0.3}, {4.17, 0.07, 0.18}};

double bell(double hz, double t) {
    if (t < 0) return 0;
    double attack = std::min(1.0, t / 0.004);
    double sum = 0;
    for (const Partial& p : kBell) sum += p.level * expo(-t / p.decay) * sine(2 * kPi * hz * p.ratio * t);
    return attack * sum;
}

// A low sine chord that swells in and out under the bells.
double pad(double t, double length) {
    double env = smoothstep(0, 0.5, t) * (1 - smoothstep(length * 0.45, length, t));
    // A slight detune between two voices gives a slow shimmer.
    double c3 = noteHz(-21), g3 = noteHz(-14);
    return env * 0.16 * (sine(2 * kPi * c3 * t) + sine(2 * kPi * (c3 + 0.7) * t) * 0.6 + sine(2 * kPi * g3 * t) * 0.7);
}

}  // namespace

std::vector<std::int16_t> makeChime() {
    const double length = kChimeSamples / kRate;
    // C major arpeggio rising over an octave and a half, then an answering E.
    struct Note {
        int semitone;
        double start, level;
    };
    const Note notes[] = {{-9, 0.00, 0.8}, {-5, 0.16, 0.7},  {-2, 0.32, 0.65}, {3, 0.48, 0.65},
                          {7, 0.64, 0.55}, {10, 0.80, 0.45}, {7, 1.30, 0.35},  {3, 1.46, 0.3}};
    std::vector<double> mix(kChimeSamples);
    for (int i = 0; i < kChimeSamples; ++i) {
        double t = i / kRate;
        double v = pad(t, length);
        for (const Note& n : notes) v += n.level * bell(noteHz(n.semitone), t - n.start);
        // Fade the tail to silence over the last quarter second.
        v *= 1 - smoothstep(length - 0.25, length, t);
        mix[i] = v;
    }
    double peak = 1e-9;
    for (double v : mix) peak = std::max(peak, std::abs(v));
    // Peak at half of full scale: comfortable, and far from clipping.
    double scale = 0.5 * 32767 / peak;
    std::vector<std::int16_t> samples(kChimeSamples);
    for (int i = 0; i < kChimeSamples; ++i) {
        samples[i] = static_cast<std::int16_t>(floorInt(mix[i] * scale + 0.5));
    }
    return samples;
}

}  // namespace assets
