#include <qev/swf/Reader.h>
#include <qev/swf/model/Model.h>

namespace qev::swf {

Movie readMovie(QByteArrayView, const ReadLimits&)
{
    throw ReadError(QStringLiteral("the movie reader is not built yet"));
}

Movie readMovieFile(const QString& path, const ReadLimits&)
{
    throw ReadError(QStringLiteral("the movie reader is not built yet: %1").arg(path));
}

} // namespace qev::swf
