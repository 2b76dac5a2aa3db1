#include "cueparser.h"
#include "recordinghost.h"
#include "testfiles.h"
#include "unpackcue.h"

#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

namespace {

// Every format the images come in; Monkey's Audio holds at most two channels
// of 16 or 24 bits, and ffmpeg's ALAC encoder makes 7 of 8.
QStringList imageNames(int channels, int bits = 16)
{
    QStringList names;
    for (const char *format : {"flac", "wv", "ape", "tta", "m4a", "aiff", "w64"})
        names << QString("image.") + format;
    if (channels > 2 || bits == 20)
        names.removeOne("image.ape");
    if (channels > 7)
        names.removeOne("image.m4a");
    return names;
}

// Noise in the given format; 32 bits are floating-point samples, 20 bits lie
// in a 24-bit container whose low 4 bits are zero.
QString wavImage(const QTemporaryDir &dir, int channels, int rate, int bits, int seconds = 3)
{
    const QString path = dir.filePath("source.wav");
    QByteArray data = samples(rate * seconds, channels, bits == 20 ? 24 : bits);
    QByteArray fmt = fmtBody(channels, rate, bits, bits == 32 ? 3 : 1);
    if (bits == 20) { // the extension names the valid bits, then PCM's format code
        fmt = fmtBody(channels, rate, 24, 0xfffe) + le(22, 2) + le(20, 2) + le(0, 4)
            + QByteArray::fromHex("0100000000001000800000aa00389b71");
        for (qsizetype i = 0; i < data.size(); i += 3)
            data[i] = char(data[i] & 0xf0);
    }
    writeFile(path, riffWave({chunk("fmt ", fmt), chunk("data", data)}));
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

// Checks dir/Disc.cue (or the sheet named, left as it is) and, unless
// checkOnly or the check fails, splits it into dir/out.
Run split(const QTemporaryDir &dir, const QByteArray &text, bool checkOnly = false,
    const QString &sheetName = "Disc.cue")
{
    const QString cue = dir.filePath(sheetName), out = dir.filePath("out");
    const ExtractionSettings settings {out, false, false, false, "%1"};
    RecordingHost host; // a folder that cannot be prepared leaves the log empty
    if (QDir(out).removeRecursively() && QDir().mkdir(out)
        && (text.isEmpty() || writeFile(cue, text)) && unpackCue(host, settings, cue, true) == 1
        && !checkOnly)
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
        QTest::addColumn<QList<int>>("format"); // channels, rate, bits[, hybrid WavPack]
        QTest::addColumn<QString>("indexes");   // what follows INDEX, "," between tracks
        // flac's blocks hold 4096 frames: 40 CD frames at 44.1 kHz (23520
        // frames) end inside one, 16 at 96 kHz (20480 frames) at the edge of
        // one, 80 and 81 (47040, 47628) in the same one. Every image has a
        // track longer than one decoded piece.
        QTest::newRow("stereo-16bit-pregaps-longer-and-shorter-than-a-block")
            << QList<int> {2, 44100, 16}
            << "01 0:0:0,01 0:0:40,00 0:0:60\nINDEX 01 0:0:70,00 0:0:80\nINDEX 01 0:0:81";
        // Track 2 starts before track 1 ends: the image is read backwards.
        // 8 channels, the limit; the first track late, the second inside it.
        QTest::newRow("8ch-overlap")
            << QList<int> {8, 48000, 24} << "01 0:1:0,01 0:1:10\nINDEX 00 0:1:20";
        // 20 bits in a 24-bit container; WavPack hybrid with its correction file.
        QTest::newRow("20bit-hybrid") << QList<int> {2, 44100, 20, 1} << "01 0:0:0,01 0:0:40";
        // A pregap longer than a decoded piece (0.68 s here) is passed by a seek.
        QTest::newRow("stereo-16bit-96000-long-pregap-seeks")
            << QList<int> {2, 96000, 16} << "01 00:00:00,00 00:00:68\nINDEX 01 00:01:60";
        QTest::newRow("mono-24bit-96000-boundary-at-block-edge")
            << QList<int> {1, 96000, 24} << "01 00:00:00,01 00:00:16";
    }

    void sameTracksAsWav()
    {
        QFETCH(QList<int>, format);
        QFETCH(QString, indexes);
        QTemporaryDir dir;
        const QString wav = wavImage(dir, format[0], format[1], format[2]);
        const Run copied = split(dir, sheet("source.wav", indexes.split(',')));
        QCOMPARE(copied.files.size(), indexes.count(',') + 1);
        for (const QString &image : imageNames(format[0], format[2])) {
            // -b3c: a hybrid image, lossless only with its correction file.
            const bool made = image.endsWith(".wv") && format.value(3)
                ? run("wavpack", {"-qb3c", "-y", wav, "-o", dir.filePath(image)})
                : encode(wav, dir.filePath(image), format[2]);
            QVERIFY2(made, qPrintable(image));
            const Run decoded = split(dir, sheet(image, indexes.split(',')));
            // The same lines as for the WAV: no track was cut short. (A WAV,
            // and ffmpeg's encodings of it, state the 24 bits that 20-bit
            // samples travel in; FLAC and WavPack state 20.)
            QStringList expected = QStringList(copied.log).replaceInStrings("source.wav", image);
            if (format[2] == 20 && QRegularExpression("flac|wv$").match(image).hasMatch())
                expected.replaceInStrings("from 24 to", "from 20 to");
            QCOMPARE(decoded.log, expected);
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
        row("flac-behind-id3v2-tag-over-127-bytes", "flac id3", "");
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
        if (recipe.contains("id3")) // a tag of 200 (1 * 128 + 72) bytes behind its 10-byte header
            bytes.prepend(QByteArray("ID3\x03\0\0\0\0\x01\x48", 10) + QByteArray(200, '\0'));
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
        // Both sizes in the header count the audio the track really holds.
        QCOMPARE(run.files.value("2.wav").left(44),
            cutOff ? canonicalHeader(2, 44100, 16, quint32(audio.size())) : QByteArray());
    }

    // Images that carry their sheet, added themselves: the tracks are those of
    // the same sheet beside the WAV image, whatever its FILE line names.
    void embedded_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QStringList>("tool"); // what embeds the sheet, {sheet} its file
        QTest::addColumn<QString>("said");     // the error, or the disc's and track 1's texts
        const QStringList comment {"metaflac", "--set-tag=cuesheet={text}", "image.flac"};
        QTest::newRow("flac-comment")
            << "image.flac" << comment << "Unknown Artist|A|Unknown Artist|Track 1";
        QTest::newRow("flac-cuesheet-block-and-tags")
            << "image.flac"
            << QStringList {"metaflac", "--import-cuesheet-from={sheet}", "--set-tag=ARTIST=Band",
                   "--set-tag=ALBUM=Live", "--set-tag=TITLE=Song", "image.flac"}
            << "Band|Live|Band|Song";
        QTest::newRow("wavpack-tag") << "image.wv"
                                     << QStringList {"wavpack", "-q", "-y", "-w",
                                            "Cuesheet=@{sheet}", "source.wav", "-o", "image.wv"}
                                     << "Unknown Artist|A|Unknown Artist|Track 1";
        QTest::newRow("flac-without-sheet")
            << "image.flac" << QStringList {"true"} << "E No cue sheet in {dir}/image.flac";
        QTest::newRow("invalid-sheet-in-comment")
            << "image.flac" << QStringList(comment).replaceInStrings("{text}", "TRACK 01 AUDIO")
            << "E {dir}/image.flac: Track without an index found";
    }

    void embedded()
    {
        QFETCH(QString, image);
        QFETCH(QStringList, tool);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QStringList indexes {"01 00:00:00", "00 00:01:00\nINDEX 01 00:01:30", "01 00:02:10"};
        const QByteArray text = sheet("elsewhere.wav", indexes);
        QVERIFY(encode(wavImage(dir, 2, 44100, 16), dir.filePath(image)));
        const Files wanted = split(dir, sheet("source.wav", indexes)).files;
        QVERIFY(writeFile(dir.filePath("Disc.cue"), text));
        tool.replaceInStrings("{sheet}", dir.filePath("Disc.cue")).replaceInStrings("{text}", text);
        QProcess embed;
        embed.setWorkingDirectory(dir.path());
        embed.start(tool.takeFirst(), tool);
        QVERIFY(embed.waitForFinished() && embed.exitCode() == 0);
        QVERIFY(QFile::remove(dir.filePath("Disc.cue")));
        const Run run = split(dir, {}, false, image);
        RecordingHost host;
        CueSheet read;
        if (readCueSheet(host, dir.filePath(image), read)) {
            const CueTrack &first = read.tracks.value(0);
            QCOMPARE(
                QStringList({read.performer, read.title, first.performer, first.title}).join('|'),
                said);
            QCOMPARE(run.files.values(), wanted.values());
        } else {
            QCOMPARE(run.log, QStringList {said});
        }
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
        row("dotted-name", "Vol. 2.flac", "Vol. 2.wav", "I Disc: Using Vol. 2.flac for Vol. 2.wav");
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
