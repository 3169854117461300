#include "qev/Paths.h"

namespace qev {

QString fileNameOf(QStringView path)
{
    for (qsizetype i = path.size(); i > 0; --i) {
        const QChar ch = path[i - 1];
        if (ch == u'/' || ch == u'\\')
            return path.mid(i).toString();
    }
    return path.toString();
}

QString joinPath(QStringView folder, QStringView name)
{
    QString path;
    path.reserve(folder.size() + 1 + name.size());
    path.append(folder);
    path.append(u'/');
    path.append(name);
    return path;
}

} // namespace qev
