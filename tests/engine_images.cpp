#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

namespace {

// Runs an encoder with its chatter thrown away.
bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

// Debian's encoders make the images, by the image's extension; ./test
// installs them. bits is the source's, for the PCM of AIFF and Wave64
// (32 bits are floating-point samples).
bool encode(const QString &wav, const QString &image, int bits = 16)
{
    const QString format = QFileInfo(image).suffix();
    if (format == "wv")
        return run("wavpack", {"-q", "-y", wav, "-o", image});
    if (format == "flac")
        return run("flac", {"-s", "-f", "--channel-map=none", "-o", image, wav});
    if (format == "ape") // exits 0 when it fails too
        return run("jmac", {"c2", wav, image}) && QFileInfo(image).size() > 0;
    const QString pcm = QString("pcm_%1%2").arg(bits == 32 ? 'f' : 's').arg(bits);
    const QMap<QString, QString> codecs {
        {"tta", "tta"}, {"m4a", "alac"}, {"aiff", pcm + "be"}, {"w64", pcm + "le"}, {"mp4", "aac"}};
    QStringList arguments {"-v", "error", "-y", "-i", wav};
    if (format == "m4a") // with cover art, as rippers leave it: packets that are not audio
        arguments << QStringList {"-f", "lavfi", "-i", "color=c=red:s=8x8:d=1", "-map", "0:a",
            "-map", "1:v", "-frames:v", "1", "-c:v", "png", "-disposition:v", "attached_pic"};
    return run("ffmpeg", arguments << "-c:a" << codecs.value(format) << image);
}

// Every format the images come in; Monkey's Audio holds at most two channels.
QStringList imageNames(int channels)
{
    QStringList names;
    for (const char *format : {"flac", "wv", "ape", "tta", "m4a", "aiff", "w64"})
        names << QString("image.") + format;
    if (channels > 2)
        names.removeOne("image.ape");
    return names;
}

// Noise in the given format; 32 bits are floating-point samples.
QString wavImage(const QTemporaryDir &dir, int channels, int rate, int bits, int seconds = 3)
{
    const QString path = dir.filePath("source.wav");
    writeFile(path,
        riffWave({chunk("fmt ", fmtBody(channels, rate, bits, bits == 32 ? 3 : 1)),
            chunk("data", samples(rate * seconds, channels, bits))}));
    return path;
}

// A sheet for the image (no FILE line when it is empty); each entry of
// indexes is what follows INDEX in one track.
QByteArray sheet(const QString &image, const QStringList &indexes)
{
    QString text = image.isEmpty() ? "TITLE \"A\"\n" : "TITLE \"A\"\nFILE \"" + image + "\" WAVE\n";
    for (int i = 0; i < indexes.size(); ++i)
        text += QString("TRACK %1 AUDIO\nINDEX %2\n").arg(i + 1).arg(indexes[i]);
    return text.toUtf8();
}

struct Run
{
    QStringList log; // both passes, with the test's folder as "{dir}"
    Files files {};  // the track files written ("1.wav"...)
    int yields = 0;
};

// Checks dir/Disc.cue and, unless checkOnly or the check fails, splits it
// into dir/out.
Run split(const QTemporaryDir &dir, const QByteArray &text, bool checkOnly = false)
{
    const QString cue = dir.filePath("Disc.cue"), out = dir.filePath("out");
    const ExtractionSettings settings {out, false, false, false, "%1"};
    RecordingHost host; // a folder that cannot be prepared leaves the log empty
    if (QDir(out).removeRecursively() && QDir().mkdir(out) && writeFile(cue, text)
        && unpackCue(host, settings, cue, true) == 1 && !checkOnly)
        unpackCue(host, settings, cue, false);
    Run run {host.lines.replaceInStrings(QDir::toNativeSeparators(dir.path()), "{dir}")};
    run.yields = host.yields;
    for (const QString &name : QDir(out).entryList(QDir::Files | QDir::Hidden))
        run.files[name] = readFile(out + '/' + name);
    return run;
}

} // namespace

class TestImages : public QObject
{
    Q_OBJECT

private slots:
    void sameTracksAsWav_data()
    {
        QTest::addColumn<QList<int>>("format"); // channels, rate, bits
        QTest::addColumn<QString>("indexes");   // what follows INDEX, "," between tracks
        // flac's blocks hold 4096 frames: 40 CD frames at 44.1 kHz (23520
        // frames) end inside one, 16 at 96 kHz (20480 frames) at the edge of
        // one. Every image has a track longer than one decoded piece.
        QTest::newRow("stereo-16bit-pregap-boundary-inside-block") << QList<int> {
            2, 44100, 16} << "01 00:00:00,01 00:00:40,00 00:00:60\nINDEX 01 00:00:70";
        // A pregap longer than a decoded piece (0.68 s here) is passed by a seek.
        QTest::newRow("stereo-16bit-96000-long-pregap-seeks")
            << QList<int> {2, 96000, 16} << "01 00:00:00,00 00:00:68\nINDEX 01 00:01:60";
        QTest::newRow("mono-24bit-96000-boundary-at-block-edge")
            << QList<int> {1, 96000, 24} << "01 00:00:00,01 00:00:16";
        QTest::newRow("six-channels-24bit-96000-first-track-late")
            << QList<int> {6, 96000, 24} << "01 00:01:20,01 00:01:36";
    }

    void sameTracksAsWav()
    {
        QFETCH(QList<int>, format);
        QFETCH(QString, indexes);
        QTemporaryDir dir;
        const QString wav = wavImage(dir, format[0], format[1], format[2]);
        const Run copied = split(dir, sheet("source.wav", indexes.split(',')));
        QCOMPARE(copied.files.size(), indexes.count(',') + 1);
        for (const QString &image : imageNames(format[0])) {
            QVERIFY2(encode(wav, dir.filePath(image), format[2]), qPrintable(image));
            const Run decoded = split(dir, sheet(image, indexes.split(',')));
            // The same lines as for the WAV: no track was cut short.
            QCOMPARE(decoded.log, QStringList(copied.log).replaceInStrings("source.wav", image));
            QCOMPARE(decoded.files, copied.files);
            // Decoding takes far longer than copying: the event loop turns more often.
            QVERIFY(decoded.yields > copied.yields);
        }
    }

    void checkPass_data()
    {
        QTest::addColumn<QString>("recipe");      // format, then what is done to it
        QTest::addColumn<QString>("secondTrack"); // INDEX 01 in a 3-second image
        QTest::addColumn<QString>("said");        // the error logged, or why it failed to open
        const auto row = [](const char *tag, const char *recipe, const char *said,
                             const char *second = "00:01:00") {
            QTest::newRow(tag) << recipe << second << said;
        };
        row("flac-8bit", "flac 8bit", "8-bit samples; at least 16 bits are needed");
        row("wavpack-float", "wv float",
            "floating-point samples; only integer samples can be split");
        row("flac-length-not-stated", "flac no-length",
            "the stream's header does not state its length");
        row("aiff-length-not-stated", "aiff no-length",
            "the stream's header does not state its length");
        row("tta-8bit", "tta 8bit", "8-bit samples; at least 16 bits are needed");
        row("aiff-float", "aiff float",
            "PCM 32-bit floating point big-endian audio is not supported");
        row("lossy", "mp4", "AAC (Advanced Audio Coding) audio is not supported");
        row("wave64-nine-channels", "w64 9ch", "9 channels; at most 8 can be split");
        row("unknown-format", "txt", "not a supported audio file");
        row("flac-behind-id3v2-tag", "flac id3", "");
        row("track-starts-where-image-ends", "wv",
            "E {dir}/Disc.cue: The image ends before track 2 starts", "00:03:00");
        row("track-starts-one-cd-frame-before-end", "flac", "", "00:02:74");
    }

    void checkPass()
    {
        QFETCH(QString, recipe);
        QFETCH(QString, secondTrack);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString format = recipe.section(' ', 0, 0);
        const QString name = "image." + format;
        const int bits = recipe.contains("8bit") ? 8 : recipe.contains("float") ? 32 : 16;
        QVERIFY(format == "txt" ? writeFile(dir.filePath(name), "not audio")
                                : encode(wavImage(dir, recipe.contains("9ch") ? 9 : 2, 44100, bits),
                                    dir.filePath(name), bits));
        QByteArray bytes = readFile(dir.filePath(name));
        if (recipe.contains("id3")) // a tag of 10 bytes behind its 10-byte header
            bytes.prepend(QByteArray("ID3\x03\0\0\0\0\0\x0a", 10) + QByteArray(10, '\0'));
        if (recipe.contains("no-length") && format == "aiff") // the frame count in "COMM"
            bytes.replace(bytes.indexOf("COMM") + 10, 4, QByteArray(4, '\0'));
        else if (recipe.contains("no-length")) // STREAMINFO's 36-bit sample count
            bytes.replace(21, 5, char(bytes[21] & 0xf0) + QByteArray(4, '\0'));
        QVERIFY(writeFile(dir.filePath(name), bytes));
        QStringList expected {said};
        if (said.isEmpty())
            expected.clear();
        else if (!said.startsWith("E "))
            expected = {"E {dir}/Disc.cue: Failed to open {dir}/" + name, "E     " + said};
        QCOMPARE(split(dir, sheet(name, {"01 00:00:00", "01 " + secondTrack}), true).log, expected);
    }

    void damagedImage_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("last"); // line of the log
        // A cut-off image is split as far as it goes; one byte changed in
        // the middle (track 2) ends the sheet.
        const QString done = "I {dir}/Disc.cue: Extraction successful";
        const QString damaged
            = "E Disc: Cannot decode {dir}/%1 in track 2: the image is damaged there";
        QTest::newRow("flac-cut-off") << "image.flac" << done;
        QTest::newRow("wavpack-cut-off") << "image.wv" << done;
        QTest::newRow("flac-damaged-frame") << "image.flac" << damaged.arg("image.flac");
        QTest::newRow("wavpack-damaged-block") << "image.wv" << damaged.arg("image.wv");
        QTest::newRow("monkeys-audio-damaged-frame") << "image.ape" << damaged.arg("image.ape");
        QTest::newRow("tta-damaged-frame") << "image.tta" << damaged.arg("image.tta");
        // Cut in the middle of a frame: the part of it is not a frame.
        QTest::newRow("aiff-cut-off") << "image.aiff" << done;
    }

    void damagedImage()
    {
        QFETCH(QString, image);
        QFETCH(QString, last);
        const bool cutOff = QByteArray(QTest::currentDataTag()).endsWith("cut-off");
        QTemporaryDir dir;
        const QString path = dir.filePath(image);
        const QStringList indexes {"01 00:00:00", "01 00:01:00", "01 00:02:00"};
        QVERIFY(encode(wavImage(dir, 2, 44100, 16), path));
        const Files whole = split(dir, sheet("source.wav", indexes)).files;
        QByteArray bytes = readFile(path);
        // Half the file is about half the audio: the middle of track 2.
        const qsizetype half = bytes.size() / 2;
        QVERIFY(writeFile(path,
            cutOff ? bytes.left(half) : bytes.replace(half, 1, QByteArray(1, char(~bytes[half])))));
        const Run run = split(dir, sheet(image, indexes));
        QCOMPARE(run.log.last(), last);
        QCOMPARE(run.log.filter(" cut short: ").size(), cutOff ? 2 : 0);
        // A damaged track leaves no file; a cut one holds the audio up to the cut.
        QCOMPARE(run.files.keys(), QStringList({"1.wav", "2.wav"}).mid(0, cutOff ? 2 : 1));
        const QByteArray audio = run.files.value("2.wav").mid(44);
        QVERIFY(!cutOff || (audio.size() > 0 && audio.size() < whole.value("2.wav").size() - 44));
        QVERIFY(whole.value("2.wav").mid(44).startsWith(audio));
    }

    void standIn_data()
    {
        QTest::addColumn<QString>("files"); // beside the sheet, "," between, all one FLAC image
        QTest::addColumn<QString>("named"); // by the FILE line; empty: none
        QTest::addColumn<QString>("said");  // the second line of the log
        const auto row = [](const char *tag, const char *files, const char *named,
                             const char *said) { QTest::newRow(tag) << files << named << said; };
        row("flac-for-wav", "album.FLAC,Album.wv", "Album.wav",
            "I Disc: Using album.FLAC for Album.wav");
        row("two-flac-so-wavpack", "Album.flac,ALBUM.flac,album.WV", "Album.wav",
            "I Disc: Using album.WV for Album.wav");
        row("flac-for-default-wav", "Disc.flac", "", "I Disc: Using Disc.flac for Disc.wav");
        row("monkeys-audio-after-the-three", "Album.flac.wav,Album.ape,Album.tta", "Album.flac",
            "I Disc: Using Album.ape for Album.flac");
        row("m4a-before-aiff", "Album.AIFF,album.m4a", "Album.wav",
            "I Disc: Using album.m4a for Album.wav");
        row("aif-before-wave64", "Album.w64,Album.aif", "Album.wav",
            "I Disc: Using Album.aif for Album.wav");
        row("none-for-flac", "Album.flac.wav,Album.mp3", "Album.flac",
            "E {dir}/Disc.cue: Cannot find {dir}/Album.flac");
    }

    void standIn()
    {
        QFETCH(QString, files);
        QFETCH(QString, named);
        QFETCH(QString, said);
        QStringList expected {"I Extracting tracks from {dir}/Disc.cue", said};
        if (said.startsWith("E "))
            expected = QStringList {said};
        QTemporaryDir dir;
        QVERIFY(encode(wavImage(dir, 2, 44100, 16, 1), dir.filePath("image.flac")));
        for (const QString &name : files.split(','))
            QVERIFY(QFile::copy(dir.filePath("image.flac"), dir.filePath(name)));
        const Run run = split(dir, sheet(named, {"01 00:00:00"}));
        QCOMPARE(run.log.mid(0, 2), expected);
        QCOMPARE(run.files.size(), expected.size() - 1); // the one track, from the stand-in
    }
};

int runImageTests(int argc, char **argv)
{
    TestImages test;
    return QTest::qExec(&test, argc, argv);
}

#include "engine_images.moc"
