#include "partfile.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <cstdio>

bool PartFile::open()
{
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    // A replaced file keeps its permissions; a new one gets the usual ones.
    const QFile::Permissions keep
        = QFileInfo::exists(m_target) ? QFile::permissions(m_target) : QFile::Permissions();
    for (int attempt = 0; attempt < 16; ++attempt) {
        QString name = m_target + QLatin1Char('.');
        for (int i = 0; i < 6; ++i)
            name += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
        m_file.setFileName(name);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_open = true;
            // Through the name, so that a file system without permissions
            // does not leave an error on the file that commit() would see.
            if (keep)
                QFile::setPermissions(name, keep);
            return true;
        }
        // Anything but a clash of names will not go away with another name.
        if (!m_file.exists())
            break;
    }
    return false;
}

bool PartFile::commit()
{
    m_file.close();
    if (m_file.error() != QFileDevice::NoError)
        return false;
    // rename() replaces an older file in one step, which QFile::rename() won't.
    if (std::rename(QFile::encodeName(m_file.fileName()).constData(),
            QFile::encodeName(m_target).constData())
        != 0)
        return false;
    m_open = false;
    return true;
}

bool PartFile::discard()
{
    if (!m_open)
        return true;
    m_file.close();
    m_open = false;
    return m_file.remove() || !m_file.exists();
}
