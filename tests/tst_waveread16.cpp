#include "waveread16.h"
#include "wavbuilder.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace WavBuilder;

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
    void refuse_data();
    void refuse();
    void readFrames_data();
    void readFrames();
    void readOrder_data();
    void readOrder();
    void truncate24Bit();
    void fileShrinksAfterOpen_data();
    void fileShrinksAfterOpen();
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
    const QByteArray want = to16(source, reader.bitsPerSample)
                                .mid(pos * frameOut, expected * frameOut);
    QCOMPARE(dest.left(expected * frameOut), want);
    // Nothing past the delivered frames is touched, unless a short read left
    // a torn frame there.
    if (tailUntouched)
        QCOMPARE(dest.mid(expected * frameOut), QByteArray(dest.size() - want.size(), '\x5a'));
}

void TstWaveRead16::open_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<qint64>("dataOffset");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("loopStart");
    QTest::addColumn<qint64>("loopLength");

    const QByteArray smplLoop = chunk("smpl", smplBody(1, 1000, 1999));
    QTest::newRow("canonical-16bit-stereo")
        << canonical(2, 44100, 16, samples(1000, 2, 16)) << 44LL << 1000LL << 1000LL << 0LL;
    QTest::newRow("canonical-24bit-stereo")
        << canonical(2, 96000, 24, samples(1000, 2, 24)) << 44LL << 1000LL << 1000LL << 0LL;
    QTest::newRow("mono-16bit") << riffWave({fmt(1, 16), data(777, 1)}) << 44LL << 777LL
                                << 777LL << 0LL;
    QTest::newRow("six-channel-24bit") << riffWave({fmt(6, 24), data(500, 6, 24)}) << 44LL
                                       << 500LL << 500LL << 0LL;
    QTest::newRow("data-size-not-whole-frames")
        << riffWave({fmt(2, 16), chunk("data", samples(1000, 2, 16) + "abc")}) << 44LL
        << 1000LL << 1000LL << 0LL;
    QTest::newRow("fmt-size-18") << riffWave({fmt(2, 16, 2), data(10)}) << 46LL << 10LL
                                 << 10LL << 0LL;
    QTest::newRow("fmt-size-40") << riffWave({fmt(2, 16, 24), data(10)}) << 68LL << 10LL
                                 << 10LL << 0LL;
    QTest::newRow("format-tag-3-with-16bit-samples")
        << riffWave({fmt(2, 16, 0, 3), data(10)}) << 44LL << 10LL << 10LL << 0LL;
    QTest::newRow("smpl-after-data-ends-length-at-loop-end")
        << riffWave({fmt(2, 16), data(3000), smplLoop}) << 44LL << 2000LL << 1000LL << 1000LL;
    QTest::newRow("smpl-before-data-keeps-data-length")
        << riffWave({fmt(2, 16), smplLoop, data(3000)}) << 112LL << 3000LL << 1000LL << 1000LL;
    QTest::newRow("smpl-loop-count-zero-changes-nothing")
        << riffWave({fmt(2, 16), data(3000), chunk("smpl", smplBody(0, 1000, 1999))}) << 44LL
        << 3000LL << 3000LL << 0LL;
    QTest::newRow("smpl-body-longer-than-60-is-skipped-whole")
        << riffWave({fmt(2, 16), chunk("smpl", smplBody(1, 10, 19, 40)), data(30)}) << 152LL
        << 30LL << 10LL << 10LL;
    QTest::newRow("smpl-loop-end-past-data-clamped")
        << riffWave({fmt(2, 16), data(1500), smplLoop}) << 44LL << 1500LL << 1000LL << 500LL;
    QTest::newRow("odd-chunk-without-pad-byte")
        << riffWave({fmt(2, 16), chunk("junk", "xyz"), data(10)}) << 55LL << 10LL << 10LL
        << 0LL;
    QTest::newRow("two-data-chunks-last-wins")
        << riffWave({fmt(2, 16), data(100), data(200)}) << 452LL << 200LL << 100LL << 0LL;
    QTest::newRow("empty-data-chunk-opens-with-length-0")
        << riffWave({fmt(2, 16), data(0), chunk("junk", "tail")}) << 44LL << 0LL << 0LL << 0LL;
    QTest::newRow("truncated-data-counts-frames-present")
        << riffWave({fmt(2, 16), chunk("data", 40000, samples(250, 2, 16) + "ab")}) << 44LL
        << 250LL << 250LL << 0LL;
    QTest::newRow("truncated-24bit-data-counts-frames-present")
        << riffWave({fmt(2, 24), chunk("data", 6000, samples(99, 2, 24) + "abcde")}) << 44LL
        << 99LL << 99LL << 0LL;
    QTest::newRow("riff-size-all-ones-walks-to-end-of-file")
        << riffWave({fmt(2, 16), data(10)}, 0xffffffffLL) << 44LL << 10LL << 10LL << 0LL;
}

void TstWaveRead16::open()
{
    QFETCH(QByteArray, image);
    WaveRead16 reader;
    QCOMPARE(reader.open(write(image)), 1);
    QVERIFY(reader.file.isOpen());
    QTEST(reader.dataOffset, "dataOffset");
    QTEST(reader.length, "length");
    QTEST(reader.loopStart, "loopStart");
    QTEST(reader.loopLength, "loopLength");
    // Every frame counted in length is really in the file.
    const qint64 frameSize = qint64(reader.channels) * reader.bytesPerSample;
    QVERIFY(image.size() - reader.dataOffset >= reader.length * frameSize);
    checkRead(reader, image.mid(reader.dataOffset, reader.length * frameSize), 0,
              reader.length + 1, reader.length);
}

void TstWaveRead16::refuse_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("result");

    const QByteArray wave = canonical(2, 44100, 16, samples(10, 2, 16));
    QByteArray rifx = wave;
    rifx.replace(0, 4, "RIFX");
    QByteArray zeroRiffSize = wave;
    zeroRiffSize.replace(4, 4, le32(0));

    QTest::newRow("missing-file") << QByteArray() << -1;
    QTest::newRow("empty-file") << QByteArray("") << -2;
    QTest::newRow("rifx-big-endian") << rifx << -2;
    QTest::newRow("list-chunk-before-fmt")
        << riffWave({chunk("LIST", "INFOabcd"), fmt(2, 16), data(10)}) << -2;
    QTest::newRow("head-cut-after-12-bytes") << wave.left(12) << -2;
    QTest::newRow("fmt-cut-short") << wave.left(30) << -3;
    QTest::newRow("8bit-samples") << riffWave({fmt(2, 8), chunk("data", "abcd")}) << -3;
    QTest::newRow("32bit-samples") << riffWave({fmt(2, 32), data(10, 4, 16)}) << -3;
    QTest::newRow("zero-channels") << riffWave({fmt(0, 16), data(10)}) << -3;
    QTest::newRow("negative-channel-count") << riffWave({fmt(0xffff, 16), data(10)}) << -3;
    QTest::newRow("no-data-chunk") << riffWave({fmt(2, 16), chunk("junk", "abcd")}) << -3;
    QTest::newRow("data-of-4-bytes-ends-walk-first")
        << canonical(2, 44100, 16, samples(1, 2, 16)) << -3;
    QTest::newRow("riff-size-zero-ends-walk-first") << zeroRiffSize << -3;
}

void TstWaveRead16::refuse()
{
    QFETCH(QByteArray, image);
    WaveRead16 reader;
    // A refused open must not leave the previous image's length behind.
    QCOMPARE(reader.open(write(canonical(2, 44100, 16, samples(100, 2, 16)))), 1);
    const QString path = image.isNull() ? dir.filePath("absent.wav") : write(image);
    QTEST(reader.open(path), "result");
    QVERIFY(!reader.file.isOpen());
    char dest[64];
    QCOMPARE(reader.readFrames(dest, 0, 10), 0);
}

void TstWaveRead16::readFrames_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<qint64>("pos");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("whole-16bit") << 2 << 16 << 1000LL << 0LL << 1000LL << 1000LL;
    QTest::newRow("middle-run-16bit") << 2 << 16 << 1000LL << 100LL << 50LL << 50LL;
    QTest::newRow("count-past-end-delivers-rest") << 2 << 16 << 1000LL << 990LL << 50LL << 10LL;
    QTest::newRow("pos-at-end-delivers-nothing") << 2 << 16 << 1000LL << 1000LL << 10LL << 0LL;
    QTest::newRow("pos-past-end-delivers-nothing") << 2 << 24 << 1000LL << 5000LL << 10LL << 0LL;
    QTest::newRow("negative-pos-delivers-nothing") << 2 << 16 << 1000LL << -5LL << 10LL << 0LL;
    QTest::newRow("zero-count") << 2 << 16 << 1000LL << 10LL << 0LL << 0LL;
    QTest::newRow("16bit-larger-than-scratch") << 2 << 16 << 200000LL << 3LL << 199990LL
                                               << 199990LL;
    QTest::newRow("24bit-across-scratch-pieces") << 2 << 24 << 100000LL << 7LL << 99990LL
                                                 << 99990LL;
    QTest::newRow("24bit-six-channel-across-pieces") << 6 << 24 << 30000LL << 1LL << 29999LL
                                                     << 29999LL;
    QTest::newRow("24bit-exactly-two-pieces") << 2 << 24 << 90000LL << 0LL << 87380LL
                                              << 87380LL;
    QTest::newRow("24bit-mono-count-past-end") << 1 << 24 << 100000LL << 99000LL << 5000LL
                                               << 1000LL;
}

void TstWaveRead16::readFrames()
{
    QFETCH(int, channels);
    QFETCH(int, bits);
    QFETCH(qint64, frames);
    QFETCH(qint64, pos);
    QFETCH(qint64, count);
    QFETCH(qint64, expected);
    const QByteArray source = samples(frames, channels, bits);
    WaveRead16 reader;
    QCOMPARE(reader.open(write(canonical(channels, 44100, bits, source))), 1);
    checkRead(reader, source, pos, count, expected);
}

void TstWaveRead16::readOrder_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QList<qint64>>("starts");

    QTest::newRow("sequential-16bit") << 16 << QList<qint64>{0, 100, 200, 300, 400};
    QTest::newRow("backwards-16bit") << 16 << QList<qint64>{400, 300, 200, 100, 0};
    QTest::newRow("same-run-twice-16bit") << 16 << QList<qint64>{250, 250};
    QTest::newRow("after-end-then-start-16bit") << 16 << QList<qint64>{950, 1000, 0};
    QTest::newRow("sequential-24bit") << 24 << QList<qint64>{0, 100, 200, 300};
    QTest::newRow("jumping-24bit") << 24 << QList<qint64>{700, 10, 990, 10, 500};
}

void TstWaveRead16::readOrder()
{
    QFETCH(int, bits);
    QFETCH(QList<qint64>, starts);
    const QByteArray source = samples(1000, 2, bits);
    WaveRead16 reader;
    QCOMPARE(reader.open(write(canonical(2, 44100, bits, source))), 1);
    for (qint64 pos : starts)
        checkRead(reader, source, pos, 100, std::clamp<qint64>(1000 - pos, 0, 100));
}

void TstWaveRead16::truncate24Bit()
{
    WaveRead16 reader;
    QCOMPARE(reader.open(write(canonical(2, 48000, 24, "\x12\x34\x56\xab\xcd\xef"))), 1);
    char dest[4];
    QCOMPARE(reader.readFrames(dest, 0, 1), 1);
    QCOMPARE(QByteArray(dest, 4), QByteArray("\x34\x56\xcd\xef"));
}

void TstWaveRead16::fileShrinksAfterOpen_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<qint64>("keptFrames");

    QTest::newRow("16bit-cut-inside-a-frame") << 16 << 400LL;
    QTest::newRow("24bit-cut-inside-a-frame-past-first-piece") << 24 << 50000LL;
}

void TstWaveRead16::fileShrinksAfterOpen()
{
    QFETCH(int, bits);
    QFETCH(qint64, keptFrames);
    const QByteArray source = samples(100000, 2, bits);
    const QString path = write(canonical(2, 44100, bits, source));
    WaveRead16 reader;
    QCOMPARE(reader.open(path), 1);
    const qint64 frameSize = 2 * bits / 8;
    QVERIFY(QFile::resize(path, 44 + keptFrames * frameSize + frameSize - 1));
    checkRead(reader, source, 0, 100000, keptFrames, false);
    checkRead(reader, source, keptFrames + 10, 10, 0);
}

void TstWaveRead16::samplesPast2GiB_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<quint32>("junkSize");

    QTest::newRow("16bit-data-past-2gib") << 16 << 0x86000000u;
    QTest::newRow("24bit-data-past-3gib") << 24 << 0xc8000000u;
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
    QCOMPARE(reader.dataOffset, offset + 8);
    QCOMPARE(reader.length, 1000);
    checkRead(reader, source, 600, 500, 400);
}

QTEST_GUILESS_MAIN(TstWaveRead16)
#include "tst_waveread16.moc"
