#pragma once

#include <QtGlobal>

// Moves bytes from one file into another inside the kernel, through a pipe:
// the source's cached pages go into the pipe by reference and are copied once,
// into the target's. copy_file_range takes the same road but slows by half
// when the two offsets sit differently within a page, as a track's samples
// behind its 44-byte header do; writing from a memory map of the source also
// copies once, but setting up the map's page tables cost a fifth more. Nothing
// is mapped, so a source that shrinks only ends sooner.
class SplicePipe
{
public:
    SplicePipe() = default;
    ~SplicePipe();
    SplicePipe(const SplicePipe &) = delete;
    SplicePipe &operator=(const SplicePipe &) = delete;

    struct Moved
    {
        qint64 bytes = 0; // always whole units
        bool writeFailed = false;
    };

    // Moves up to bytes from `from` at offset to `to` at its file position,
    // in whole units of unit bytes: a unit the source holds only in part (it
    // was cut) is left out. Fewer bytes than asked, without a failed write,
    // means the source ended, or cannot be moved this way: the caller then
    // reads the rest itself.
    Moved move(int from, qint64 offset, qint64 bytes, int to, qint64 unit);

private:
    bool open();
    void close();
    // Passes what the pipe holds on to `to`; false when writing failed.
    bool drain(int to, qint64 bytes);

    int m_out = -1; // the end read from
    int m_in = -1;  // the end written to
    qint64 m_capacity = 0;
    // A file system that cannot splice says so at the first move: from then
    // on the caller copies.
    bool m_refused = false;
    bool m_movedAny = false;
};
