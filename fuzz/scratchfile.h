#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// The readers work on a path (libFLAC and libwavpack open the file
// themselves), so every input goes through one file per process: in memory
// where possible, since truncating a file on ext4 costs a millisecond.
inline const QByteArray &scratchPath()
{
    static const QByteArray path = [] {
        const QByteArray dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        QByteArray p = dir + "/splitmere_fuzz." + QByteArray::number(getpid());
        std::atexit([] { std::remove(scratchPath().constData()); });
        return p;
    }();
    return path;
}

inline bool writeScratch(const uint8_t *data, size_t size)
{
    FILE *f = std::fopen(scratchPath().constData(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// A broken promise of a reader is a crash the fuzzer keeps.
inline void require(bool condition)
{
    if (!condition)
        std::abort();
}
