#include "common/TallyFile.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace Tally
{
QString FilePath()
{
    const QString strFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return strFolder.isEmpty() ? QString() : QDir(strFolder).filePath(QStringLiteral("vistrel-tally"));
}

QByteArray Format(const std::vector<EState>& vecStates)
{
    QByteArray ba;
    for (size_t i = 0; i < vecStates.size(); ++i)
    {
        const char* pszState = "off";
        if (vecStates[i] == STATE_PROGRAM)
            pszState = "program";
        else if (vecStates[i] == STATE_PREVIEW)
            pszState = "preview";
        ba += QByteArray::number(int(i) + 1) + ' ' + pszState + '\n';
    }
    return ba;
}

bool Write(const std::vector<EState>& vecStates)
{
    const QString strPath = FilePath();
    if (strPath.isEmpty())
        return false;
    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(Format(vecStates));
    return file.commit();
}

void Remove()
{
    const QString strPath = FilePath();
    if (!strPath.isEmpty())
        QFile::remove(strPath);
}
}
