#pragma once

#include <QFile>
#include <QString>

// The file a track is written to: a new file beside the target, renamed over
// it once the track is complete, so that a stop or a failure never leaves a
// partial track and never costs an older file of that name. Nothing is forced
// to disk before the rename: waiting for the disk after every track made a
// split several times slower than a copy of the image, and the tracks are then
// as durable as such a copy.
class PartFile
{
public:
    explicit PartFile(const QString &target)
        : m_target(target)
    {
    }
    ~PartFile() { discard(); }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    bool open();
    QFile &file() { return m_file; }
    // Puts the part file in the target's place.
    bool commit();
    // Throws the part file away; false when it could not be removed.
    bool discard();

private:
    const QString m_target;
    QFile m_file;
    bool m_open = false;
};
