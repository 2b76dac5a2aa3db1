#include "codepages.h"
#include "extractionsettings.h"
#include "sheettext.h"
#include "silenthost.h"
#include "unpackcue.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void putLe(QByteArray &bytes, quint32 value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes += char((value >> (8 * i)) & 0xff);
}

// One CD frame of silent 16-bit stereo, so sheets that name "disc.wav" (or
// rely on the default name) get as far as a successful open.
QByteArray tinyWave()
{
    const quint32 dataSize = 588 * 4;
    QByteArray wav("RIFF");
    putLe(wav, 36 + dataSize, 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);
    putLe(wav, 1, 2);
    putLe(wav, 2, 2);
    putLe(wav, 44100, 4);
    putLe(wav, 44100 * 4, 4);
    putLe(wav, 4, 2);
    putLe(wav, 16, 2);
    wav += "data";
    putLe(wav, dataSize, 4);
    return wav + QByteArray(dataSize, '\0');
}

struct Workspace
{
    QTemporaryDir dir;
    QString sheet;

    Workspace()
        : sheet(dir.filePath(QStringLiteral("disc.cue")))
    {
        QFile wav(dir.filePath(QStringLiteral("disc.wav")));
        if (!dir.isValid() || !wav.open(QIODevice::WriteOnly) || wav.write(tinyWave()) < 0)
            abort();
    }
};

Workspace *workspace = nullptr;

// Languages whose code page is tried first, and the encodings a user may
// choose; inputs take turns by their size.
const QList<QLocale> hintedLanguages {QLocale::Russian, QLocale::Japanese,
    QLocale(QLocale::Chinese, QLocale::China), QLocale(QLocale::Chinese, QLocale::Taiwan),
    QLocale::Korean, QLocale::Polish, QLocale::Greek, QLocale::Turkish, QLocale::Hebrew,
    QLocale::Arabic, QLocale::Lithuanian, QLocale::Thai};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Every call compiles its six patterns afresh; PCRE's JIT would spend most of
    // each run compiling machine code that the parse then uses once.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
    static Workspace instance;
    workspace = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QFile sheet(workspace->sheet);
    if (!sheet.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    sheet.write(reinterpret_cast<const char *>(data), qint64(size));
    sheet.close();
    SilentHost host;
    unpackCue(host, ExtractionSettings(), workspace->sheet, true);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    decodeSheetText(bytes, {}, hintedLanguages[qsizetype(size) % hintedLanguages.size()]);
    static const QStringList chosen = offeredEncodings();
    decodeSheetText(bytes, chosen[qsizetype(size) % chosen.size()]);
    return 0;
}
