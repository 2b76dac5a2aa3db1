#include "splicepipe.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// As much as an unprivileged process may give a pipe by default: a sixteenth
// of the syscalls of the default 64 KiB.
const int wantedCapacity = 1 << 20;

} // namespace

SplicePipe::~SplicePipe()
{
    close();
}

bool SplicePipe::open()
{
    if (m_refused)
        return false;
    if (m_out >= 0)
        return true;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return false;
    m_out = ends[0];
    m_in = ends[1];
    // A smaller limit for pipes keeps the default size.
    fcntl(m_in, F_SETPIPE_SZ, wantedCapacity);
    m_capacity = fcntl(m_in, F_GETPIPE_SZ);
    if (m_capacity <= 0) {
        close();
        return false;
    }
    return true;
}

// Also empties the pipe: what it held goes with it.
void SplicePipe::close()
{
    if (m_out >= 0) {
        ::close(m_out);
        ::close(m_in);
    }
    m_out = m_in = -1;
}

SplicePipe::Moved SplicePipe::move(int from, qint64 offset, qint64 bytes, int to, qint64 unit)
{
    Moved moved;
    if (!open() || unit <= 0 || unit > m_capacity)
        return moved;
    loff_t at = offset;
    while (moved.bytes < bytes) {
        const qint64 want = qMin(bytes - moved.bytes, m_capacity - m_capacity % unit);
        const ssize_t in = splice(from, &at, m_in, nullptr, size_t(want), SPLICE_F_MOVE);
        if (in < 0 && errno == EINTR)
            continue;
        if (in <= 0) {
            m_refused = in < 0 && errno == EINVAL && !m_movedAny;
            break;
        }
        const qint64 whole = in - in % unit;
        if (!drain(to, whole)) {
            moved.writeFailed = !m_refused;
            close();
            return moved;
        }
        moved.bytes += whole;
        m_movedAny = true;
        // A torn unit at the source's new end stays out of the target.
        if (whole < in) {
            close();
            break;
        }
    }
    return moved;
}

bool SplicePipe::drain(int to, qint64 bytes)
{
    while (bytes > 0) {
        const ssize_t out = splice(m_out, nullptr, to, nullptr, size_t(bytes), SPLICE_F_MOVE);
        if (out < 0 && errno == EINTR)
            continue;
        if (out <= 0) {
            m_refused = out < 0 && errno == EINVAL && !m_movedAny;
            return false;
        }
        bytes -= out;
    }
    return true;
}
