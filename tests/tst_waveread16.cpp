#include "wavbuilder.h"
#include "waveread16.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace WavBuilder;
using L = QList<qint64>;

namespace {

QByteArray fmt(int channels, int bits, int extraBytes = 0, quint16 tag = 1)
{
    return chunk("fmt ", fmtBody(quint16(channels), 44100, quint16(bits), tag, extraBytes));
}

QByteArray data(qint64 frames, int channels = 2, int bits = 16)
{
    return chunk("data", samples(frames, channels, bits));
}

} // namespace

class TstWaveRead16 : public QObject
{
    Q_OBJECT

private slots:
    void open_data();
    void open();
    void readFrames_data();
    void readFrames();
    void truncate24Bit();
    void samplesPast2GiB_data();
    void samplesPast2GiB();

private:
    QString write(const QByteArray &bytes);
    // Reads [pos, pos + count) and compares with the 16-bit form of source.
    void checkRead(WaveRead16 &reader, const QByteArray &source, qint64 pos, qint64 count,
        qint64 expected, bool tailUntouched = true);

    QTemporaryDir dir;
    int files = 0;
};

QString TstWaveRead16::write(const QByteArray &bytes)
{
    const QString path = dir.filePath(QString::number(++files) + ".wav");
    if (!writeFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TstWaveRead16::checkRead(WaveRead16 &reader, const QByteArray &source, qint64 pos,
    qint64 count, qint64 expected, bool tailUntouched)
{
    const qint64 frameOut = qint64(reader.channels) * 2;
    QByteArray dest(qMax<qint64>(count, 0) * frameOut, '\x5a');
    QCOMPARE(reader.readFrames(dest.data(), pos, count), expected);
    QCOMPARE(dest.left(expected * frameOut),
        to16(source, reader.bitsPerSample).mid(pos * frameOut, expected * frameOut));
    // Nothing past the delivered frames is touched, unless a short read left
    // a torn frame there.
    if (tailUntouched)
        QCOMPARE(
            dest.mid(expected * frameOut), QByteArray(dest.size() - expected * frameOut, '\x5a'));
}

void TstWaveRead16::open_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("result");
    QTest::addColumn<L>("fields"); // dataOffset, length, loopStart, loopLength
    const auto opens = [](const char *tag, const QByteArray &image, const L &fields) {
        QTest::newRow(tag) << image << 1 << fields;
    };
    const auto refused = [](const char *tag, const QByteArray &image, int result) {
        QTest::newRow(tag) << image << result << L {};
    };
    const QByteArray smplLoop = chunk("smpl", smplBody(1, 1000, 1999));
    const QByteArray wave = canonical(2, 44100, 16, samples(10, 2, 16));

    // clang-format off
    opens("canonical-16bit-stereo", canonical(2, 44100, 16, samples(1000, 2, 16)), {44, 1000, 1000, 0});
    opens("canonical-24bit-stereo", canonical(2, 96000, 24, samples(1000, 2, 24)), {44, 1000, 1000, 0});
    opens("mono-16bit", riffWave({fmt(1, 16), data(777, 1)}), {44, 777, 777, 0});
    opens("six-channel-24bit", riffWave({fmt(6, 24), data(500, 6, 24)}), {44, 500, 500, 0});
    opens("fmt-size-18", riffWave({fmt(2, 16, 2), data(10)}), {46, 10, 10, 0});
    opens("fmt-size-40", riffWave({fmt(2, 16, 24), data(10)}), {68, 10, 10, 0});
    opens("format-tag-3-with-16bit-samples", riffWave({fmt(2, 16, 0, 3), data(10)}), {44, 10, 10, 0});
    opens("smpl-after-data-ends-length-at-loop-end", riffWave({fmt(2, 16), data(3000), smplLoop}), {44, 2000, 1000, 1000});
    opens("smpl-before-data-keeps-data-length", riffWave({fmt(2, 16), smplLoop, data(3000)}), {112, 3000, 1000, 1000});
    opens("smpl-loop-count-zero-changes-nothing", riffWave({fmt(2, 16), data(3000), chunk("smpl", smplBody(0, 1000, 1999))}), {44, 3000, 3000, 0});
    opens("smpl-body-longer-than-60-is-skipped-whole", riffWave({fmt(2, 16), chunk("smpl", smplBody(1, 10, 19, 40)), data(30)}), {152, 30, 10, 10});
    opens("smpl-loop-end-past-data-clamped", riffWave({fmt(2, 16), data(1500), smplLoop}), {44, 1500, 1000, 500});
    opens("odd-chunk-without-pad-byte", riffWave({fmt(2, 16), chunk("junk", "xyz"), data(10)}), {55, 10, 10, 0});
    opens("two-data-chunks-last-wins", riffWave({fmt(2, 16), data(100), data(200)}), {452, 200, 100, 0});
    opens("empty-data-chunk-opens-with-length-0", riffWave({fmt(2, 16), data(0), chunk("junk", "tail")}), {44, 0, 0, 0});
    opens("truncated-data-counts-whole-frames-present", riffWave({fmt(2, 16), chunk("data", 40000, samples(250, 2, 16) + "ab")}), {44, 250, 250, 0});
    opens("riff-size-all-ones-walks-to-end-of-file", riffWave({fmt(2, 16), data(10)}, 0xffffffffLL), {44, 10, 10, 0});
    refused("missing-file", QByteArray(), -1);
    refused("rifx-big-endian", QByteArray(wave).replace(0, 4, "RIFX"), -2);
    refused("list-chunk-before-fmt", riffWave({chunk("LIST", "INFOabcd"), fmt(2, 16), data(10)}), -2);
    refused("head-cut-after-12-bytes", wave.left(12), -2);
    refused("fmt-cut-short", wave.left(30), -3);
    refused("8bit-samples", riffWave({fmt(2, 8), chunk("data", "abcd")}), -3);
    refused("32bit-samples", riffWave({fmt(2, 32), data(10, 4, 16)}), -3);
    refused("zero-channels", riffWave({fmt(0, 16), data(10)}), -3);
    refused("negative-channel-count", riffWave({fmt(0xffff, 16), data(10)}), -3);
    refused("no-data-chunk", riffWave({fmt(2, 16), chunk("junk", "abcd")}), -3);
    refused("data-of-4-bytes-ends-walk-first", canonical(2, 44100, 16, samples(1, 2, 16)), -3);
    // clang-format on
}

void TstWaveRead16::open()
{
    QFETCH(QByteArray, image);
    QFETCH(int, result);
    QFETCH(L, fields);
    WaveRead16 reader;
    // Opening again must forget everything about the image opened before.
    QCOMPARE(reader.open(write(canonical(2, 44100, 16, samples(100, 2, 16)))), 1);
    QCOMPARE(reader.open(image.isNull() ? dir.filePath("absent.wav") : write(image)), result);
    QCOMPARE(reader.file.isOpen(), result == 1);
    if (result == 1)
        QCOMPARE(
            (L {reader.dataOffset, reader.length, reader.loopStart, reader.loopLength}), fields);
    // A refused image delivers nothing: its length is 0.
    const qint64 frameSize = qint64(reader.channels) * reader.bytesPerSample;
    checkRead(reader, image.mid(reader.dataOffset, reader.length * frameSize), 0, reader.length + 1,
        reader.length);
}

void TstWaveRead16::readFrames_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("kept"); // frames left once the file is cut inside a frame after open
    QTest::addColumn<L>("reads"); // pos, count and frames delivered, one read after the other
    // clang-format off
    QTest::newRow("16bit-runs-in-any-order") << 2 << 16 << 1000LL << 1000LL << L{0, 100, 100, 100, 100, 100, 400, 100, 100, 300, 100, 100, 250, 100, 100, 250, 100, 100, 950, 100, 50, 1000, 10, 0, 0, 100, 100};
    QTest::newRow("16bit-refused-positions") << 2 << 16 << 1000LL << 1000LL << L{5000, 10, 0, -5, 10, 0, 10, 0, 0, 10, 5, 5};
    QTest::newRow("16bit-larger-than-scratch") << 2 << 16 << 200000LL << 200000LL << L{3, 199990, 199990};
    QTest::newRow("24bit-runs-in-any-order") << 2 << 24 << 1000LL << 1000LL << L{0, 100, 100, 100, 100, 100, 700, 100, 100, 10, 100, 100, 990, 100, 10, 5000, 10, 0, 10, 100, 100};
    QTest::newRow("24bit-across-scratch-pieces-and-exactly-two") << 2 << 24 << 100000LL << 100000LL << L{7, 99990, 99990, 0, 87380, 87380};
    QTest::newRow("24bit-six-channel-across-pieces-then-past-end") << 6 << 24 << 30000LL << 30000LL << L{1, 29999, 29999, 29000, 5000, 1000};
    QTest::newRow("16bit-cut-after-open") << 2 << 16 << 100000LL << 400LL << L{0, 100000, 400, 410, 10, 0};
    QTest::newRow("24bit-cut-after-open-past-first-piece") << 2 << 24 << 100000LL << 50000LL << L{0, 100000, 50000, 50010, 10, 0};
    // clang-format on
}

void TstWaveRead16::readFrames()
{
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(qint64, frames);
    QFETCH(qint64, kept);
    QFETCH(L, reads);
    const QByteArray source = samples(frames, channels, bits);
    const QString path = write(canonical(channels, 44100, bits, source));
    WaveRead16 reader;
    QCOMPARE(reader.open(path), 1);
    const qint64 frameSize = channels * bits / 8;
    if (kept < frames)
        QVERIFY(QFile::resize(path, 44 + kept * frameSize + frameSize - 1));
    // A short read may leave the torn frame in the destination.
    for (int i = 0; i + 2 < reads.size() && !QTest::currentTestFailed(); i += 3)
        checkRead(reader, source, reads[i], reads[i + 1], reads[i + 2], kept == frames);
}

void TstWaveRead16::truncate24Bit()
{
    WaveRead16 reader;
    QCOMPARE(reader.open(write(canonical(2, 48000, 24, "\x12\x34\x56\xab\xcd\xef"))), 1);
    char dest[4];
    QCOMPARE(reader.readFrames(dest, 0, 1), 1);
    QCOMPARE(QByteArray(dest, 4), QByteArray("\x34\x56\xcd\xef"));
}

void TstWaveRead16::samplesPast2GiB_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<quint32>("junkSize");
    // clang-format off
    QTest::newRow("16bit-data-past-2gib") << 16 << 0x86000000u;
    QTest::newRow("24bit-data-past-3gib") << 24 << 0xc8000000u;
    // clang-format on
}

void TstWaveRead16::samplesPast2GiB()
{
    QFETCH(int, bits);
    QFETCH(quint32, junkSize);
    const QByteArray source = samples(1000, 2, bits);
    const QByteArray head = riffWave({fmt(2, bits)}, 4 + 24 + 8 + junkSize + 8 + source.size())
        + "junk" + le32(junkSize);
    const qint64 offset = head.size() + qint64(junkSize);
    // Sparse: only the head and the samples take space on disk.
    const QString path = write(head);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite) && f.resize(offset) && f.seek(offset));
    QCOMPARE(f.write(chunk("data", source)), source.size() + 8);
    f.close();
    WaveRead16 reader;
    QCOMPARE(reader.open(path), 1);
    QCOMPARE((L {reader.dataOffset, reader.length}), (L {offset + 8, 1000}));
    checkRead(reader, source, 600, 500, 400);
}

QTEST_GUILESS_MAIN(TstWaveRead16)
#include "tst_waveread16.moc"
