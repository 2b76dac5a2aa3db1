// Writes the WAV images that the fuzzers start from, through the same WAV
// builder as the tests:
//   splitmere_fuzzseeds waveread16 DIR   the corpus of fuzz_waveread16,
//                                        well-formed and malformed
//   splitmere_fuzzseeds images DIR       plain images for seed-images to encode

#include "wavbuilder.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>

using namespace WavBuilder;

namespace {

struct Seed
{
    const char *name;
    QByteArray bytes;
};

QByteArray fmt(quint16 channels, quint16 bits, int extraBytes = 0)
{
    return chunk("fmt ", fmtBody(channels, 44100, bits, 1, extraBytes));
}

// Counted in bytes rather than frames, so that a case can end in the middle of
// a frame.
QByteArray data(int bytes)
{
    return chunk("data", samples(bytes, 1, 8));
}

// A sampler chunk that declares `loops` loops and holds one, from start to end
// in frames.
QByteArray smpl(quint32 loops, quint32 start, quint32 end)
{
    const QByteArray zeros(28, '\0');
    return chunk(
        "smpl", zeros + le(loops, 4) + zeros.left(12) + le(start, 4) + le(end, 4) + zeros.left(8));
}

// Named after what they hold or what is wrong with them.
QList<Seed> readerSeeds()
{
    return {
        {"canonical-16bit-stereo", riffWave({fmt(2, 16), data(64)})},
        {"canonical-24bit-stereo", riffWave({fmt(2, 24), data(60)})},
        {"mono-16bit", riffWave({fmt(1, 16), data(30)})},
        {"six-channel-24bit", riffWave({fmt(6, 24), data(72)})},
        {"fmt-size-18", riffWave({fmt(2, 16, 2), data(16)})},
        {"fmt-size-40", riffWave({fmt(2, 24, 24), data(24)})},
        {"smpl-after-data", riffWave({fmt(2, 16), data(80), smpl(1, 4, 11)})},
        {"smpl-before-data", riffWave({fmt(2, 16), smpl(1, 2, 5), data(40)})},
        {"smpl-loop-past-data", riffWave({fmt(1, 24), data(30), smpl(1, 0, 4000)})},
        {"list-after-fmt", riffWave({fmt(2, 16), chunk("LIST", "INFOabcd"), data(16)})},
        {"odd-chunk-no-pad", riffWave({fmt(2, 16), chunk("junk", "xyz"), data(16)})},
        {"two-data-chunks", riffWave({fmt(2, 16), data(8), data(16)})},
        {"truncated-data", riffWave({fmt(2, 16), chunk("data", 4000, samples(22, 1, 8))})},
        {"riff-size-all-ones", riffWave({fmt(2, 16), data(32)}, 0xffffffff)},
        {"riff-size-zero", riffWave({fmt(2, 16), data(32)}, 0)},
        {"eight-bit", riffWave({fmt(2, 8), data(16)})},
        {"zero-channels", riffWave({fmt(0, 16), data(16)})},
        {"no-data-chunk", riffWave({fmt(2, 16), chunk("junk", "abcd")})},
    };
}

// A smooth byte ramp rather than noise: the encoders' predictors then find
// something to follow, and their compressed frames are the kind worth mutating.
QByteArray image(quint16 channels, quint32 rate, quint16 bits, int frames, quint16 tag = 1)
{
    QByteArray audio(frames * channels * (bits / 8), Qt::Uninitialized);
    for (int i = 0; i < audio.size(); ++i)
        audio[i] = char(i * i / 7 + i * 3);
    return riffWave({chunk("fmt ", fmtBody(channels, rate, bits, tag)), chunk("data", audio)});
}

QList<Seed> imageSeeds()
{
    return {
        {"stereo16", image(2, 44100, 16, 700)},
        {"mono24", image(1, 96000, 24, 500)},
        {"six16", image(6, 48000, 16, 300)},
        {"eight", image(2, 44100, 8, 300)},
        {"float", image(2, 44100, 32, 200, 3)},
    };
}

} // namespace

int main(int argc, char **argv)
{
    const bool reader = argc == 3 && std::strcmp(argv[1], "waveread16") == 0;
    if (argc != 3 || (!reader && std::strcmp(argv[1], "images") != 0)) {
        std::fprintf(stderr, "usage: %s waveread16|images DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QFile::decodeName(argv[2]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", argv[2]);
        return 1;
    }
    for (const Seed &seed : reader ? readerSeeds() : imageSeeds()) {
        QFile file(dir.filePath(QLatin1String(seed.name) + QStringLiteral(".wav")));
        if (!file.open(QIODevice::WriteOnly) || file.write(seed.bytes) != seed.bytes.size()) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
