#include "instruments.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace song {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMiddleC = 261.6255653005986; // Hz
constexpr double kDrumRate = 44100.0;          // drums play at this rate on C-4

// Small deterministic noise source (xorshift32), independent of the C++ library.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    // Uniform in [-1, 1).
    double Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    uint32_t state_;
};

// Second-order filter with the usual audio-cookbook coefficients.
class Biquad {
  public:
    enum Kind { kLowPass, kHighPass, kBandPass };
    Biquad(Kind kind, double frequency, double q, double rate) {
        const double w = 2.0 * kPi * frequency / rate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        double b0 = 0, b1 = 0, b2 = 0;
        if (kind == kLowPass) {
            b0 = (1 - c) / 2;
            b1 = 1 - c;
            b2 = (1 - c) / 2;
        } else if (kind == kHighPass) {
            b0 = (1 + c) / 2;
            b1 = -(1 + c);
            b2 = (1 + c) / 2;
        } else {
            b0 = alpha;
            b2 = -alpha;
        }
        const double a0 = 1 + alpha;
        b0_ = b0 / a0;
        b1_ = b1 / a0;
        b2_ = b2 / a0;
        a1_ = -2 * c / a0;
        a2_ = (1 - alpha) / a0;
    }
    double Run(double x) {
        const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

  private:
    double b0_, b1_, b2_, a1_, a2_;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Scales the wave so that its largest magnitude becomes `peak` of full scale and
// rounds it to the sample width.
std::vector<int16_t> Quantize(const std::vector<double>& wave, bool sixteenBit, double peak) {
    double largest = 1e-12;
    for (double x : wave)
        largest = std::max(largest, std::fabs(x));
    const double full = sixteenBit ? 32767.0 : 127.0;
    const double scale = peak * full / largest;
    std::vector<int16_t> out(wave.size());
    for (size_t i = 0; i < wave.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(wave[i] * scale));
    return out;
}

// The local extremum of the wave nearest to `around`: a ping-pong loop that turns
// there keeps both the value and (nearly) the slope continuous.
uint32_t NearestExtremum(const std::vector<double>& wave, uint32_t around) {
    for (uint32_t distance = 0; distance < around && around + distance + 1 < wave.size();
         ++distance) {
        for (uint32_t i : {around - distance, around + distance}) {
            const double before = wave[i] - wave[i - 1];
            const double after = wave[i + 1] - wave[i];
            if ((before >= 0) != (after >= 0))
                return i;
        }
    }
    return around;
}

// A periodic tone of `cycles` cycles of `cycleLength` samples. amplitude(n, c) is
// the strength of harmonic n at time c (in cycles); it must be constant over the
// last cycle, which becomes the forward loop.
std::vector<double> HarmonicTone(int cycleLength, int cycles, int harmonics,
                                 const std::function<double(int, double)>& amplitude) {
    std::vector<double> wave(static_cast<size_t>(cycleLength) * cycles);
    for (size_t i = 0; i < wave.size(); ++i) {
        const double c = static_cast<double>(i) / cycleLength;
        const double phase = 2.0 * kPi * static_cast<double>(i % cycleLength) / cycleLength;
        double sum = 0;
        for (int n = 1; n <= harmonics; ++n)
            sum += amplitude(n, c) * std::sin(n * phase);
        wave[i] = sum;
    }
    return wave;
}

// A fall from 1 to exactly 0 at `end`, shaped like exp(-t / tau) before that.
double SettlingWeight(double t, double tau, double end) {
    if (t >= end)
        return 0.0;
    const double floor = std::exp(-end / tau);
    return (std::exp(-t / tau) - floor) / (1.0 - floor);
}

xm::Envelope MakeEnvelope(std::vector<xm::EnvelopePoint> points, int sustain = -1,
                          int loopStart = -1, int loopEnd = -1) {
    xm::Envelope envelope;
    envelope.points = std::move(points);
    envelope.on = true;
    if (sustain >= 0) {
        envelope.sustain = true;
        envelope.sustainPoint = static_cast<uint8_t>(sustain);
    }
    if (loopStart >= 0) {
        envelope.loop = true;
        envelope.loopStart = static_cast<uint8_t>(loopStart);
        envelope.loopEnd = static_cast<uint8_t>(loopEnd);
    }
    return envelope;
}

xm::Sample MakeSample(const char* name, const std::vector<double>& wave, bool sixteenBit,
                      double peak, double rateAtC4) {
    xm::Sample sample;
    sample.name = name;
    sample.sixteenBit = sixteenBit;
    sample.data = Quantize(wave, sixteenBit, peak);
    xm::TuneSample(rateAtC4, sample);
    return sample;
}

void LoopLastCycle(xm::Sample& sample, int cycleLength) {
    sample.loopMode = xm::LoopMode::kForward;
    sample.loopLength = static_cast<uint32_t>(cycleLength);
    sample.loopStart = static_cast<uint32_t>(sample.data.size()) - sample.loopLength;
}

xm::Instrument WithOneSample(const char* name, xm::Sample sample) {
    xm::Instrument instrument;
    instrument.name = name;
    instrument.samples.push_back(std::move(sample));
    return instrument;
}

std::vector<double> Silence(double seconds, double rate) {
    return std::vector<double>(static_cast<size_t>(seconds * rate), 0.0);
}

// Short fades at both ends so one-shot drums start and stop without a click.
void FadeEnds(std::vector<double>& wave, double rate, double in, double out) {
    const size_t inLength = static_cast<size_t>(in * rate);
    const size_t outLength = static_cast<size_t>(out * rate);
    for (size_t i = 0; i < inLength && i < wave.size(); ++i)
        wave[i] *= static_cast<double>(i) / inLength;
    for (size_t i = 0; i < outLength && i < wave.size(); ++i)
        wave[wave.size() - 1 - i] *= static_cast<double>(i) / outLength;
}

// Kick: a sine whose pitch falls from about 400 Hz to 48 Hz, a soft click on
// top, gently saturated for weight.
xm::Instrument Kick() {
    const double rate = kDrumRate;
    std::vector<double> wave = Silence(0.55, rate);
    Noise noise(0x4B1C);
    Biquad clickFilter(Biquad::kLowPass, 3000, 0.7, rate);
    double phase = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double frequency = 48 + 90 * std::exp(-t / 0.045) + 260 * std::exp(-t / 0.006);
        phase += 2 * kPi * frequency / rate;
        const double body = std::sin(phase) * std::exp(-t / 0.22);
        const double click = clickFilter.Run(noise.Next()) * 0.35 * std::exp(-t / 0.004);
        wave[i] = std::tanh(1.8 * (body + click));
    }
    FadeEnds(wave, rate, 0.0005, 0.06);
    xm::Sample sample = MakeSample("kick 16-bit", wave, true, 0.95, rate);
    sample.volume = 60;
    return WithOneSample("kick", sample);
}

// Snare: two damped drum-head tones and a band of noise with a longer tail.
xm::Instrument Snare() {
    const double rate = kDrumRate;
    std::vector<double> wave = Silence(0.42, rate);
    Noise noise(0x5A4E);
    Biquad highPass(Biquad::kHighPass, 1100, 0.7, rate);
    Biquad lowPass(Biquad::kLowPass, 8500, 0.7, rate);
    double phase1 = 0, phase2 = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double bend = 1 + 0.35 * std::exp(-t / 0.012);
        phase1 += 2 * kPi * 182 * bend / rate;
        phase2 += 2 * kPi * 331 * bend / rate;
        const double tone = 0.65 * std::sin(phase1) * std::exp(-t / 0.055) +
                            0.30 * std::sin(phase2) * std::exp(-t / 0.035);
        const double rattle = lowPass.Run(highPass.Run(noise.Next())) * 0.9 *
                              (0.55 * std::exp(-t / 0.025) + 0.45 * std::exp(-t / 0.12));
        wave[i] = tone + rattle;
    }
    FadeEnds(wave, rate, 0.0008, 0.05);
    xm::Sample sample = MakeSample("snare 16-bit", wave, true, 0.92, rate);
    sample.volume = 48;
    sample.panning = 0x78;
    return WithOneSample("snare", sample);
}

// Metallic noise for hats and the cymbal: six band-limited square waves at
// unrelated frequencies plus white noise, high-passed.
std::vector<double> MetalNoise(double seconds, double rate, double spread, double cutoff,
                               uint32_t seed, double noiseShare) {
    const double bases[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    std::vector<double> wave = Silence(seconds, rate);
    Noise noise(seed);
    Biquad highPass1(Biquad::kHighPass, cutoff, 0.7, rate);
    Biquad highPass2(Biquad::kHighPass, cutoff, 0.7, rate);
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        double metal = 0;
        for (double base : bases) {
            const double f = base * spread;
            for (int n = 1; n * f < 0.45 * rate; n += 2)
                metal += std::sin(2 * kPi * n * f * t) / n;
        }
        const double x = (1 - noiseShare) * metal * 0.25 + noiseShare * noise.Next();
        wave[i] = highPass2.Run(highPass1.Run(x));
    }
    return wave;
}

// Hats: one instrument, two samples. C-4 plays the closed hat, D-4 (and above)
// the open one; each sounds at its recorded rate on its own note.
xm::Instrument Hat() {
    const double rate = kDrumRate;
    std::vector<double> closed = MetalNoise(0.09, rate, 1.7, 7000, 0xC105, 0.55);
    for (size_t i = 0; i < closed.size(); ++i)
        closed[i] *= std::exp(-(i / rate) / 0.018);
    std::vector<double> open = MetalNoise(0.55, rate, 1.7, 6500, 0x09E4, 0.5);
    for (size_t i = 0; i < open.size(); ++i)
        open[i] *= std::exp(-(i / rate) / 0.15);
    FadeEnds(closed, rate, 0.0003, 0.02);
    FadeEnds(open, rate, 0.0003, 0.08);

    xm::Instrument instrument;
    instrument.name = "hats";
    instrument.samples.push_back(MakeSample("closed hat 8-bit", closed, false, 0.9, rate));
    // Tuned two semitones down so that D-4 plays it at its recorded rate.
    instrument.samples.push_back(
        MakeSample("open hat 8-bit", open, false, 0.9, rate / std::pow(2.0, 2.0 / 12.0)));
    for (int note = 0; note < 96; ++note)
        instrument.keymap[note] = note >= 49 ? 1 : 0; // slot 1 from C#4 up
    for (xm::Sample& sample : instrument.samples) {
        sample.volume = 32;
        sample.panning = 0x98;
    }
    return instrument;
}

// Crash cymbal: a bright strike followed by a steady wash held by a ping-pong
// loop; the volume envelope does the long decay.
xm::Instrument Crash() {
    const double rate = kDrumRate;
    std::vector<double> wave = MetalNoise(0.75, rate, 2.3, 3200, 0xC7A5, 0.65);
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        wave[i] *= 0.6 + 0.4 * std::exp(-t / 0.05);
    }
    FadeEnds(wave, rate, 0.0004, 0.0);
    xm::Sample sample = MakeSample("crash 8-bit ping-pong", wave, false, 0.9, rate);
    const uint32_t start = NearestExtremum(wave, static_cast<uint32_t>(0.25 * rate));
    const uint32_t end = NearestExtremum(wave, static_cast<uint32_t>(wave.size() - 64));
    sample.loopMode = xm::LoopMode::kPingPong;
    sample.loopStart = start;
    sample.loopLength = end + 1 - start;
    sample.volume = 40;
    sample.panning = 0x70;
    xm::Instrument instrument = WithOneSample("crash", sample);
    instrument.volumeEnvelope =
        MakeEnvelope({{0, 64}, {6, 46}, {28, 28}, {70, 13}, {130, 4}, {180, 0}});
    instrument.fadeout = 1200;
    return instrument;
}

// Tom: a damped sine that starts a little sharp, with an inharmonic overtone.
// C-4 sounds 110 Hz; the song plays it with a downward portamento.
xm::Instrument Tom() {
    const double rate = kDrumRate;
    std::vector<double> wave = Silence(0.6, rate);
    Noise noise(0x7031);
    Biquad lowPass(Biquad::kLowPass, 2500, 0.7, rate);
    double phase1 = 0, phase2 = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double bend = 1 + 0.25 * std::exp(-t / 0.04);
        phase1 += 2 * kPi * 110 * bend / rate;
        phase2 += 2 * kPi * 110 * 1.58 * bend / rate;
        wave[i] = std::sin(phase1) * std::exp(-t / 0.2) +
                  0.25 * std::sin(phase2) * std::exp(-t / 0.08) +
                  0.3 * lowPass.Run(noise.Next()) * std::exp(-t / 0.006);
    }
    FadeEnds(wave, rate, 0.0005, 0.08);
    xm::Sample sample = MakeSample("tom 16-bit", wave, true, 0.93, rate);
    sample.volume = 52;
    sample.panning = 0x88;
    return WithOneSample("tom", sample);
}

// Bass: a plucked, bright start that settles within 24 cycles into a warm
// rounded wave, which loops.
xm::Instrument Bass() {
    const int cycle = 256;
    const int attackCycles = 24;
    const double steady[9] = {0, 1.0, 0.5, 0.28, 0.16, 0.09, 0.05, 0.03, 0.02};
    std::vector<double> wave = HarmonicTone(cycle, attackCycles + 1, 20, [&](int n, double c) {
        const double rest = n <= 8 ? steady[n] : 0.0;
        const double bright = 1.0 / std::pow(n, 0.9);
        return rest + (bright - rest) * SettlingWeight(c, 12.0 / (1 + 0.15 * n), attackCycles);
    });
    xm::Sample sample = MakeSample("bass 16-bit", wave, true, 0.92, cycle * kMiddleC);
    LoopLastCycle(sample, cycle);
    sample.volume = 48;
    xm::Instrument instrument = WithOneSample("bass", sample);
    instrument.volumeEnvelope = MakeEnvelope({{0, 64}, {6, 50}, {20, 44}}, 2);
    instrument.fadeout = 1600;
    return instrument;
}

// Pad: three detuned, softened saw waves with free-running phases, long enough
// to be held by a ping-pong loop that turns at extrema of the wave.
xm::Instrument Pad() {
    const double rate = 32000.0;
    std::vector<double> wave = Silence(1.8, rate);
    Noise noise(0x9AD0);
    const double detune[3] = {std::pow(2.0, -8.0 / 1200), 1.0, std::pow(2.0, 7.0 / 1200)};
    const int harmonics = 18;
    double phases[3][harmonics + 1];
    for (auto& oscillator : phases)
        for (double& phase : oscillator)
            phase = (noise.Next() + 1) * kPi;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        double sum = 0;
        for (int o = 0; o < 3; ++o) {
            for (int n = 1; n <= harmonics; ++n) {
                const double soft = 1.0 / (n * (1.0 + (n / 5.0) * (n / 5.0)));
                sum += soft * std::sin(2 * kPi * kMiddleC * detune[o] * n * t + phases[o][n]);
            }
        }
        wave[i] = sum;
    }
    xm::Sample sample = MakeSample("pad 16-bit ping-pong", wave, true, 0.92, rate);
    const uint32_t start = NearestExtremum(wave, static_cast<uint32_t>(0.35 * rate));
    const uint32_t end = NearestExtremum(wave, static_cast<uint32_t>(wave.size() - 32));
    sample.loopMode = xm::LoopMode::kPingPong;
    sample.loopStart = start;
    sample.loopLength = end + 1 - start;
    sample.volume = 40;
    xm::Instrument instrument = WithOneSample("pad", sample);
    instrument.volumeEnvelope = MakeEnvelope({{0, 0}, {10, 38}, {28, 64}}, 2);
    // A slow sway around the centre, about seven seconds per round trip.
    instrument.panningEnvelope =
        MakeEnvelope({{0, 32}, {64, 42}, {128, 32}, {192, 22}, {256, 32}}, -1, 0, 4);
    instrument.fadeout = 450;
    instrument.autoVibratoType = 0;
    instrument.autoVibratoSweep = 60;
    instrument.autoVibratoDepth = 2;
    instrument.autoVibratoRate = 6;
    return instrument;
}

// Lead: a soft, hollow tone (strong odd harmonics, a little of the even ones)
// with a breathy onset; vibrato creeps in on held notes.
xm::Instrument Lead() {
    const int cycle = 128;
    const int attackCycles = 32;
    const double steady[11] = {0, 1.0, 0.22, 0.30, 0.07, 0.14, 0.03, 0.06, 0.015, 0.03, 0.01};
    std::vector<double> wave = HarmonicTone(cycle, attackCycles + 1, 10, [&](int n, double c) {
        const double bite = (n % 2 == 1 && n > 1) ? 0.12 : 0.0;
        return steady[n] + bite * SettlingWeight(c, 5.0, attackCycles);
    });
    Noise noise(0x1EAD);
    Biquad band(Biquad::kBandPass, 2400, 0.8, cycle * kMiddleC);
    for (size_t i = 0; i < wave.size(); ++i) {
        const double c = static_cast<double>(i) / cycle;
        wave[i] += 0.35 * band.Run(noise.Next()) * SettlingWeight(c, 4.0, attackCycles);
    }
    xm::Sample sample = MakeSample("lead 16-bit", wave, true, 0.92, cycle * kMiddleC);
    LoopLastCycle(sample, cycle);
    sample.volume = 40;
    xm::Instrument instrument = WithOneSample("lead", sample);
    instrument.volumeEnvelope = MakeEnvelope({{0, 0}, {2, 64}, {10, 50}, {30, 22}, {60, 0}}, 2);
    instrument.panningEnvelope = MakeEnvelope({{0, 28}, {6, 36}, {14, 32}}, 2);
    instrument.fadeout = 500;
    instrument.autoVibratoType = 0;
    instrument.autoVibratoSweep = 48;
    instrument.autoVibratoDepth = 5;
    instrument.autoVibratoRate = 32;
    return instrument;
}

// Pluck: a harp-like tone, bright at the start and mellower as it rings; stored
// as 8-bit data. The volume envelope decays it without sustain.
xm::Instrument Pluck() {
    const int cycle = 64;
    const int attackCycles = 40;
    std::vector<double> wave = HarmonicTone(cycle, attackCycles + 1, 16, [&](int n, double c) {
        const double rest = n <= 12 ? 1.0 / std::pow(n, 1.7) : 0.0;
        const double bright = 1.0 / n;
        return rest + (bright - rest) * SettlingWeight(c, 30.0 / n, attackCycles);
    });
    xm::Sample sample = MakeSample("pluck 8-bit", wave, false, 0.92, cycle * kMiddleC);
    LoopLastCycle(sample, cycle);
    sample.volume = 32;
    sample.panning = 0xA0;
    xm::Instrument instrument = WithOneSample("pluck", sample);
    instrument.volumeEnvelope = MakeEnvelope({{0, 64}, {3, 46}, {12, 28}, {40, 11}, {90, 0}});
    instrument.fadeout = 800;
    return instrument;
}

// Bell: inharmonic strike partials that die away into a glassy harmonic tone.
// Its volume envelope loops, which gives a slow shimmer while it is held.
xm::Instrument Bell() {
    const int cycle = 128;
    const int attackCycles = 48;
    const double steady[9] = {0, 1.0, 0.12, 0.25, 0.30, 0, 0.08, 0, 0.05};
    std::vector<double> wave =
        HarmonicTone(cycle, attackCycles + 1, 8, [&](int n, double) { return steady[n]; });
    const double strike[3][2] = {{2.76, 0.55}, {5.40, 0.3}, {8.93, 0.14}};
    for (size_t i = 0; i < wave.size(); ++i) {
        const double c = static_cast<double>(i) / cycle;
        for (const auto& partial : strike)
            wave[i] += partial[1] * std::sin(2 * kPi * partial[0] * c) *
                       SettlingWeight(c, 9.0, attackCycles);
    }
    xm::Sample sample = MakeSample("bell 16-bit", wave, true, 0.92, cycle * kMiddleC);
    LoopLastCycle(sample, cycle);
    sample.volume = 32;
    sample.panning = 0x98;
    xm::Instrument instrument = WithOneSample("bell", sample);
    instrument.volumeEnvelope =
        MakeEnvelope({{0, 64}, {4, 52}, {20, 40}, {36, 30}, {52, 40}}, -1, 2, 4);
    instrument.fadeout = 500;
    return instrument;
}

} // namespace

std::vector<xm::Instrument> MakeInstruments() {
    return {Kick(), Snare(), Hat(), Crash(), Tom(), Bass(), Pad(), Lead(), Pluck(), Bell()};
}

} // namespace song
