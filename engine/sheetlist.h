#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The rules every front end applies to a file before it joins a run's list of
// sheets, whichever way it was named: dropped, chosen, walked or typed.

// The name a sheet goes by in the list, in the log and in the engine: its
// absolute path with the platform's separators, so that one sheet named two
// ways is one entry.
QString sheetName(const QString &path);

// A .cue file (any letter case) that exists, can be read and is not larger
// than the parser takes, or a readable FLAC or WavPack file (by its suffix).
bool isAcceptableSheet(const QString &path);

class EngineHost;

// Gathers the sheets that paths name, for a list that already holds some:
// a file is taken when it is acceptable and not yet in the list, a folder is
// walked and the host told what it gave. The walk turns the host's event
// loop; nothing is written, so a stop is not asked.
class SheetCollector
{
public:
    explicit SheetCollector(EngineHost &host)
        : m_host(host)
    {
    }

    // A sheet the list holds already, by its name.
    void know(const QString &name) { m_known.insert(name); }
    // The names of the sheets path adds, in the order found.
    QStringList add(const QString &path);

private:
    QStringList addFolder(const QString &folder);
    bool take(const QString &path, QStringList &added);

    EngineHost &m_host;
    QSet<QString> m_known;
};
