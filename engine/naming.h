#pragma once

#include <QString>

struct CueTrack;

// Output names: what every track file is called and which folders hold it.
// Pure text work; nothing here touches the disk.

// Makes a text safe as one file-name component ("AC/DC" -> "AC-DC").
QString toFname(const QString &s);
// The file's complete base name followed by ": ", the prefix of log lines.
QString fnPrefix(const QString &path);
// The file's complete base name ("Live.at.Home.cue" -> "Live.at.Home").
QString bareFile(const QString &path);
// Fills "%1" number, "%2" artist, "%3" title, "%4" album and "%5" disc
// number into the pattern.
QString expandTrackFormat(const QString &pattern, const QString &number, const QString &artist,
    const QString &title, const QString &album, const QString &disc = QString());
// The text without the control characters that no name or tag should carry
// (blanks such as a tab stay).
QString withoutControls(const QString &s);

// The folders of one sheet below the destination, from the disc texts and the
// two subfolder choices.
struct FolderPlan
{
    QString artist; // sanitised disc performer
    QString album;  // what "%4" gives: sanitised disc title, or "artist - title"
    bool artistFolder = false;
    bool albumFolder = false;
    // The names on disk: artist and album, except that "." and ".." (which would
    // not be a folder of their own) become as many underscores, and "" one.
    QString artistFolderName;
    QString albumFolderName;
};

FolderPlan planFolders(
    const QString &discPerformer, const QString &discTitle, bool subArtist, bool subAlbum);

// What every WAV and every FLAC track file's name ends with.
constexpr QLatin1String trackFileSuffix(".wav");
constexpr QLatin1String flacFileSuffix(".flac");

// The track's file name, its suffix included, never a path; disc is what
// "%5" gives.
QString trackFileName(const QString &pattern, const CueTrack &track, const QString &album,
    const QString &suffix = trackFileSuffix, const QString &disc = QString());
