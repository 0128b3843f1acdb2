// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <unistd.h>

/// Makes a folder or file read-only for the life of the object, for root too: root ignores
/// permission bits, so there it is made immutable (`chattr +i`, on file systems that know it).
/// isReadOnly() is false (with skipReason()) when neither works here.
class ReadOnlyPath
{
public:
    explicit ReadOnlyPath(const QString &path)
        : m_path(path)
        , m_root(::geteuid() == 0)
    {
        if (m_root) {
            m_applied =
                QProcess::execute(QStringLiteral("chattr"), { QStringLiteral("+i"), path }) == 0;
        } else {
            m_applied = QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        }
        // Proof, not trust: a file must really fail to appear, or to open for writing.
        if (QFileInfo(path).isDir()) {
            QFile probe(path + QStringLiteral("/.probe"));
            if (m_applied && probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                m_applied = false;
            }
        } else if (QFile probe(path); m_applied && probe.open(QIODevice::Append)) {
            m_applied = false;
        }
    }
    ~ReadOnlyPath()
    {
        if (m_root) {
            QProcess::execute(QStringLiteral("chattr"), { QStringLiteral("-i"), m_path });
        } else {
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    ReadOnlyPath(const ReadOnlyPath &) = delete;
    ReadOnlyPath &operator=(const ReadOnlyPath &) = delete;

    bool isReadOnly() const { return m_applied; }
    QString skipReason() const
    {
        return m_root ? QStringLiteral("running as root on a file system without chattr +i")
                      : QStringLiteral("the folder's permissions could not be changed");
    }

private:
    QString m_path;
    bool m_root = false;
    bool m_applied = false;
};
