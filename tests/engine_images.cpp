#include "enginetests.h"
#include "sheetsplit.h"

#include <QtTest>

using namespace WavBuilder;
using namespace TestFiles;

namespace {

// Every format the images come in; Monkey's Audio holds at most two channels
// of 16 or 24 bits, and ffmpeg's ALAC encoder makes 7 of 8.
QStringList imageNames(int channels, int bits = 16)
{
    QStringList names {
        "image.flac", "image.wv", "image.ape", "image.tta", "image.m4a", "image.aiff", "image.w64"};
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
    const QByteArray fmt = fmtBody(channels, rate, bits, bits == 32 ? 3 : 1);
    writeFile(path,
        bits == 20 ? wave20(channels, rate, data)
                   : riffWave({chunk("fmt ", fmt), chunk("data", data)}));
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
        // frames) end inside one, 80 and 81 (47040, 47628) in the same one.
        // Every image has a track longer than one decoded piece.
        QTest::newRow("stereo-16bit-pregaps-longer-and-shorter-than-a-block")
            << QList<int> {2, 44100, 16}
            << "01 0:0:0,01 0:0:40,00 0:0:60\nINDEX 01 0:0:70,00 0:0:80\nINDEX 01 0:0:81";
        // Track 2 starts before track 1 ends: the image is read backwards.
        // 8 channels, the limit; the first track late, the second inside it.
        // 20 bits in a 24-bit container; WavPack hybrid with its correction file.
        QTest::newRow("8ch-20bit-hybrid-overlap")
            << QList<int> {8, 48000, 20, 1} << "01 0:1:0,01 0:1:10\nINDEX 00 0:1:20";
        // 16 CD frames at 96 kHz end a FLAC block; a pregap longer than a
        // decoded piece (0.68 s here) is passed by a seek.
        QTest::newRow("stereo-24bit-96000-boundary-at-block-edge-long-pregap-seeks")
            << QList<int> {2, 96000, 24} << "01 0:0:0,01 0:0:16,00 0:0:68\nINDEX 01 0:1:60";
    }

    void sameTracksAsWav()
    {
        QFETCH(QList<int>, format);
        QFETCH(QString, indexes);
        QTemporaryDir dir;
        const QString wav = wavImage(dir, format[0], format[1], format[2]);
        const Split copied = split(dir, sheet("source.wav", indexes.split(',')), flat(dir));
        QCOMPARE(copied.files.size(), indexes.count(',') + 1);
        for (const QString &image : imageNames(format[0], format[2])) {
            // -b3c: a hybrid image, lossless only with its correction file.
            const bool made = image.endsWith(".wv") && format.value(3)
                ? run("wavpack", {"-qb3c", "-y", wav, "-o", dir.filePath(image)})
                : encode(wav, dir.filePath(image), format[2]);
            QVERIFY2(made, qPrintable(image));
            const Split decoded = split(dir, sheet(image, indexes.split(',')), flat(dir));
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
        // Lossy or floating-point PCM: the codec is named.
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
        const QStringList expected = said.isEmpty() ? QStringList()
            : said.startsWith("E ")
            ? QStringList {said}
            : QStringList {"E {dir}/Disc.cue: Failed to open {dir}/" + name, "E     " + said};
        QCOMPARE(
            split(dir, sheet(name, {"01 00:00:00", "01 " + secondTrack}), flat(dir), {}, true).log,
            expected);
    }

    void damagedImage_data()
    {
        QTest::addColumn<QString>("image");
        // An AIFF image is cut in the middle of a frame: the part of it is not a frame.
        for (const char *image : {"image.flac", "image.wv", "image.aiff"})
            QTest::addRow("%s-cut-off", image) << image;
        for (const char *image : {"image.flac", "image.wv", "image.ape", "image.tta"})
            QTest::addRow("%s-damaged", image) << image;
    }

    // A cut-off image is split as far as it goes; one byte changed in the
    // middle (track 2) ends the sheet.
    void damagedImage()
    {
        QFETCH(QString, image);
        const bool cutOff = QByteArray(QTest::currentDataTag()).endsWith("cut-off");
        QTemporaryDir dir;
        const QString path = dir.filePath(image);
        const QStringList indexes {"01 00:00:00", "01 00:01:00", "01 00:02:00"};
        QVERIFY(encode(wavImage(dir, 2, 44100, 16), path));
        const Files whole = split(dir, sheet("source.wav", indexes), flat(dir)).files;
        QByteArray bytes = readFile(path);
        // Half the file is about half the audio: the middle of track 2.
        const qsizetype half = bytes.size() / 2;
        QVERIFY(writeFile(path,
            cutOff ? bytes.left(half) : bytes.replace(half, 1, QByteArray(1, char(~bytes[half])))));
        const Split run = split(dir, sheet(image, indexes), flat(dir));
        QCOMPARE(run.log.last(),
            cutOff ? "I {dir}/Disc.cue: Extraction successful"
                   : "E Disc: Cannot decode {dir}/" + image
                    + " in track 2: the image is damaged there");
        QCOMPARE(run.log.filter(" cut short: ").size(), cutOff ? 2 : 0);
        // A damaged track leaves no file; a cut one holds the audio up to the cut.
        QCOMPARE(run.files.keys(), QStringList({"1.wav", "2.wav"}).mid(0, cutOff ? 2 : 1));
        const QByteArray audio = run.files.value("2.wav").mid(44);
        QVERIFY(!cutOff || (audio.size() > 0 && audio.size() < whole.value("2.wav").size() - 44));
        QVERIFY(whole.value("2.wav").mid(44).startsWith(audio));
    }

    // Images that carry their sheet, added themselves: the tracks are those of
    // the same sheet beside the WAV image, whatever its FILE line names. Its
    // last track holds data: a CUESHEET block marks it as such too.
    void embedded_data()
    {
        // tool: what embeds the sheet ({sheet} its file) in the image it names
        // last; said: the error, or the path of track 1 as the texts name it.
        QTest::addColumn<QStringList>("tool");
        QTest::addColumn<QString>("said");
        const QStringList comment {"metaflac", "--set-tag=cuesheet={text}", "image.flac"};
        const QString unknown = "Unknown Artist/A/1 Unknown Artist - Track 1";
        row("flac-comment", comment, unknown);
        row("flac-cuesheet-block-and-tags",
            QStringList {"metaflac", "--import-cuesheet-from={sheet}", "--set-tag=ARTIST=Band",
                "--set-tag=ALBUM=Live", "--set-tag=TITLE=Song", "image.flac"},
            "Band/Live/01 Band - Song");
        row("wavpack-tag",
            QStringList {
                "wavpack", "-q", "-y", "-w", "Cuesheet=@{sheet}", "source.wav", "-o", "image.wv"},
            unknown);
        row("flac-without-sheet", QStringList {"true", "image.flac"},
            "E No cue sheet in {dir}/image.flac");
        row("invalid-sheet-in-comment",
            QStringList(comment).replaceInStrings("{text}", "TRACK 01 AUDIO"),
            "E {dir}/image.flac: Track without an index found");
    }

    void embedded()
    {
        QFETCH(QStringList, tool);
        QFETCH(QString, said);
        const QString image = tool.last();
        QTemporaryDir dir;
        const QStringList indexes {"01 00:00:00", "00 00:01:00\nINDEX 01 00:01:30",
            "01 00:02:10\nTRACK 04 MODE1/2352\nINDEX 01 00:02:50"};
        const QByteArray text = sheet("elsewhere.wav", indexes);
        QVERIFY(encode(wavImage(dir, 2, 44100, 16), dir.filePath(image)));
        // The disc's texts name the folders, track 1's its file.
        const ExtractionSettings settings {dir.filePath("out"), true, true, false, "%1 %2 - %3"};
        const Files wanted = split(dir, sheet("source.wav", indexes), settings).files;
        QVERIFY(writeFile(dir.filePath("Disc.cue"), text));
        tool.replaceInStrings("{sheet}", dir.filePath("Disc.cue")).replaceInStrings("{text}", text);
        QProcess embed;
        embed.setWorkingDirectory(dir.path());
        embed.start(tool.takeFirst(), tool);
        QVERIFY(embed.waitForFinished() && embed.exitCode() == 0);
        QVERIFY(QFile::remove(dir.filePath("Disc.cue")));
        const Split run = split(dir, {}, settings, {}, false, image);
        if (said.startsWith("E ")) {
            QCOMPARE(run.log, QStringList {said});
        } else {
            QCOMPARE(run.files.keys().value(0), said + ".wav");
            QCOMPARE(run.files.values(), wanted.values());
        }
    }

    void standIn_data()
    {
        QTest::addColumn<QString>("files"); // beside the sheet, "," between, all one FLAC image
        QTest::addColumn<QString>("named"); // by the FILE line; empty: none
        QTest::addColumn<QString>("used");  // the stand-in taken; empty: none
        row("flac-for-dotted-wav", "vol. 2.FLAC,Vol. 2.wv", "Vol. 2.wav", "vol. 2.FLAC");
        row("two-flac-so-wavpack-for-default", "Disc.flac,DISC.flac,disc.WV", "", "disc.WV");
        row("monkeys-audio-after-the-three", "Album.flac.wav,Album.ape,Album.tta", "Album.flac",
            "Album.ape");
        row("m4a-before-aiff", "Album.AIFF,album.m4a", "Album.wav", "album.m4a");
        row("aif-before-wave64", "Album.w64,Album.aif", "Album.wav", "Album.aif");
        row("none-for-flac", "Album.flac.wav,Album.mp3", "Album.flac", "");
    }

    void standIn()
    {
        QFETCH(QString, files);
        QFETCH(QString, named);
        QFETCH(QString, used);
        const QString wanted = named.isEmpty() ? "Disc.wav" : named;
        const QStringList expected = used.isEmpty()
            ? QStringList {"E {dir}/Disc.cue: Cannot find {dir}/" + wanted}
            : QStringList {"I Extracting tracks from {dir}/Disc.cue",
                "I Disc: Using " + used + " for " + wanted};
        QTemporaryDir dir;
        QVERIFY(encode(wavImage(dir, 2, 44100, 16, 1), dir.filePath("image.flac")));
        for (const QString &name : files.split(','))
            QVERIFY(QFile::copy(dir.filePath("image.flac"), dir.filePath(name)));
        const Split run = split(dir, sheet(named, {"01 00:00:00"}), flat(dir));
        QCOMPARE(run.log.mid(0, 2), expected);
        QCOMPARE(run.files.size(), expected.size() - 1); // the one track, from the stand-in
    }
};

static const bool registered = EngineTests::add<TestImages>();

#include "engine_images.moc"
