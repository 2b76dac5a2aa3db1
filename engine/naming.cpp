#include "naming.h"

#include "cuesheet.h"
#include "enginetext.h"

#include <QFileInfo>

namespace {

// A folder called "." or ".." would put the tracks into the destination itself
// or above it, and an empty one would collapse into its parent; underscores
// keep the length of what the user would have seen.
QString safeFolderName(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("_");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QString(name.size(), QLatin1Char('_'));
    return name;
}

} // namespace

QString toFname(const QString &s)
{
    QString r = s;
    r.replace(QLatin1Char('/'), QLatin1Char('-'));
    r.replace(QLatin1Char('\\'), QLatin1Char('_'));
    r.replace(QLatin1Char(':'), QLatin1Char('_'));
    r.replace(QLatin1String("&"), QLatin1String(" and "));
    r.replace(QLatin1Char('+'), QLatin1Char('_'));
    r.remove(QLatin1Char('"'));
    r.replace(QLatin1Char('`'), QLatin1Char('\''));
    r.remove(QLatin1Char('?'));
    r.replace(QLatin1Char('*'), QLatin1Char('-'));
    // Blanks among the controls (a tab, a line break) become one space, as
    // any other blank does.
    return withoutControls(r).simplified().trimmed();
}

QString withoutControls(const QString &s)
{
    // Controls come from sheets in another encoding than the one guessed, or
    // from a ripper's bug, and replacement characters from an encoding chosen
    // that cannot read the sheet; no name or tag should carry them. Blanks
    // among them (a tab, a line break) stay for the caller to judge.
    QString r = s;
    r.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 || (u >= 0x7f && u <= 0x9f) || c == QChar::ReplacementCharacter)
            && !c.isSpace();
    });
    return r;
}

QString fnPrefix(const QString &path)
{
    return bareFile(path) + QLatin1String(": ");
}

QString bareFile(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

QString expandTrackFormat(const QString &pattern, const QString &number, const QString &artist,
    const QString &title, const QString &album, const QString &disc)
{
    // Each marker is filled in the text the earlier ones left, so a title that
    // holds "%4" gets the album there, but a number never gets a title.
    QString r = pattern.trimmed();
    r.replace(QLatin1String("%1"), number);
    r.replace(QLatin1String("%2"), artist);
    r.replace(QLatin1String("%3"), title);
    r.replace(QLatin1String("%4"), album);
    r.replace(QLatin1String("%5"), disc);
    return r.trimmed();
}

FolderPlan planFolders(
    const QString &discPerformer, const QString &discTitle, bool subArtist, bool subAlbum)
{
    FolderPlan plan;
    plan.artist = toFname(discPerformer);
    plan.album = toFname(discTitle);
    // A sheet without disc texts is named after its file; that name alone would
    // mix unrelated discs in one folder, so it always gets an album folder.
    const bool various = plan.artist == EngineText::tr("Various (No information)");
    plan.artistFolder = subArtist;
    plan.albumFolder = subAlbum || various;
    if (plan.albumFolder && !subArtist && !various)
        plan.album = plan.artist + QLatin1String(" - ") + plan.album;
    plan.artistFolderName = safeFolderName(plan.artist);
    plan.albumFolderName = safeFolderName(plan.album);
    return plan;
}

QString trackFileName(const QString &pattern, const CueTrack &track, const QString &album,
    const QString &suffix, const QString &disc)
{
    // The whole name is made safe at once, so a "/" in the pattern can never
    // open a subfolder.
    return toFname(
        expandTrackFormat(pattern, track.number, track.performer, track.title, album, disc)
        + suffix);
}
