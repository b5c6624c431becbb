// musicgen GAMEFOLDER: writes GAMEFOLDER/music/intro.mp3 (a short fanfare the
// game plays once) and GAMEFOLDER/music/loop.mp3 (a calm tune it loops
// afterwards). Plucked strings (Karplus-Strong) over soft organ chords, at
// 22050 Hz mono, encoded by LAME at 64 kbit/s. The noise that excites the
// strings comes from a fixed generator, so every build makes the same files.
#include <lame/lame.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kRate = 22050;
const float kPi = 3.14159265f;

struct Noise {
    uint32_t state = 12345;
    float Next() {
        state = state * 1664525u + 1013904223u;
        return ((state >> 9) & 0xFFFF) / 32768.0f - 1.0f;
    }
};

float Midi(int note) { return 440.0f * std::pow(2.0f, (note - 69) / 12.0f); }

// Adds a plucked string of the given note at time t (seconds).
void Pluck(std::vector<float>& out, float t, int note, float length, float gain, Noise& noise) {
    int period = static_cast<int>(kRate / Midi(note));
    if (period < 2) return;
    std::vector<float> ring(static_cast<size_t>(period));
    for (float& s : ring) s = noise.Next();
    size_t start = static_cast<size_t>(t * kRate), n = static_cast<size_t>(length * kRate);
    for (size_t i = 0; i < n && start + i < out.size(); ++i) {
        size_t k = i % ring.size(), k1 = (i + 1) % ring.size();
        float s = ring[k];
        ring[k] = 0.498f * (ring[k] + ring[k1]);
        float fade = i + 2000 > n ? (n - i) / 2000.0f : 1.0f;
        out[start + i] += s * gain * fade;
    }
}

// A soft organ chord: a few sines with a slow swell and release.
void Chord(std::vector<float>& out, float t, const std::vector<int>& notes, float length, float gain) {
    size_t start = static_cast<size_t>(t * kRate), n = static_cast<size_t>(length * kRate);
    for (int note : notes) {
        float f = Midi(note);
        for (size_t i = 0; i < n && start + i < out.size(); ++i) {
            float x = static_cast<float>(i) / kRate;
            float env = std::min(1.0f, x / 0.4f) * std::min(1.0f, (length - x) / 0.5f);
            float s = std::sin(2 * kPi * f * x) + 0.3f * std::sin(4 * kPi * f * x);
            out[start + i] += s * env * gain / notes.size();
        }
    }
}

// Am F C G, the village's four chords.
const std::vector<int> kChords[4] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};

std::vector<float> Intro() {
    const float beat = 0.3f;
    std::vector<float> out(static_cast<size_t>(kRate * 7.5f), 0.0f);
    Noise noise;
    const int fanfare[] = {69, 72, 76, 81, 79, 76, 77, 74, 72, 71, 72, 76};
    for (int i = 0; i < 12; ++i) Pluck(out, i * beat, fanfare[i], 1.6f, 0.5f, noise);
    for (int c = 0; c < 4; ++c) Chord(out, c * beat * 3, kChords[c], beat * 3 + 0.4f, 0.25f);
    Chord(out, 12 * beat, {57, 64, 69, 72}, 3.5f, 0.35f);
    Pluck(out, 12 * beat, 45, 3.5f, 0.6f, noise);
    return out;
}

std::vector<float> Loop() {
    const float beat = 0.4f;
    const int bars = 8;
    std::vector<float> out(static_cast<size_t>(kRate * beat * 4 * bars), 0.0f);
    Noise noise;
    noise.state = 777;
    // One melody note per beat (0 = rest), over two rounds of the chords.
    const int melody[bars * 4] = {76, 0,  74, 72, 72, 0,  69, 72, 67, 69, 72, 76, 74, 0, 71, 67,
                                  76, 77, 76, 74, 72, 74, 72, 69, 67, 64, 67, 72, 71, 0, 0,  0};
    for (int bar = 0; bar < bars; ++bar) {
        const std::vector<int>& chord = kChords[bar % 4];
        float t = bar * beat * 4;
        Chord(out, t, chord, beat * 4, 0.18f);
        Pluck(out, t, chord[0] - 12, beat * 4, 0.45f, noise);
        for (int b = 0; b < 4; ++b) {
            // Broken chord in eighths under the tune.
            Pluck(out, t + b * beat, chord[b % 3], beat * 1.5f, 0.18f, noise);
            Pluck(out, t + b * beat + beat * 0.5f, chord[(b + 1) % 3] + 12, beat * 1.2f, 0.12f, noise);
            int note = melody[bar * 4 + b];
            if (note) Pluck(out, t + b * beat, note, beat * 2.0f, 0.4f, noise);
        }
    }
    return out;
}

bool Encode(const std::vector<float>& samples, const std::string& path) {
    float peak = 0;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    float scale = peak > 0 ? 0.8f * 32767.0f / peak : 0.0f;
    std::vector<short> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) pcm[i] = static_cast<short>(std::lround(samples[i] * scale));

    lame_t lame = lame_init();
    if (!lame) return false;
    lame_set_in_samplerate(lame, kRate);
    lame_set_out_samplerate(lame, kRate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 64);
    lame_set_quality(lame, 5);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return false;
    }
    std::vector<unsigned char> mp3(pcm.size() * 5 / 4 + 7200 + 7200);
    int n = lame_encode_buffer(lame, pcm.data(), pcm.data(), static_cast<int>(pcm.size()), mp3.data(),
                               static_cast<int>(mp3.size()));
    int m = n >= 0 ? lame_encode_flush(lame, mp3.data() + n, static_cast<int>(mp3.size()) - n) : -1;
    lame_close(lame);
    if (n < 0 || m < 0) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    size_t total = static_cast<size_t>(n + m);
    bool ok = std::fwrite(mp3.data(), 1, total, f) == total;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: musicgen GAMEFOLDER\n");
        return 2;
    }
    std::string folder = std::string(argv[1]) + "/music";
    if ((mkdir(argv[1], 0755) != 0 && errno != EEXIST) ||
        (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)) {
        std::fprintf(stderr, "musicgen: cannot make %s\n", folder.c_str());
        return 1;
    }
    if (!Encode(Intro(), folder + "/intro.mp3") || !Encode(Loop(), folder + "/loop.mp3")) {
        std::fprintf(stderr, "musicgen: cannot encode into %s\n", folder.c_str());
        return 1;
    }
    std::printf("musicgen: intro.mp3 and loop.mp3\n");
    return 0;
}
