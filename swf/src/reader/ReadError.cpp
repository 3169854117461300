#include <qev/swf/Reader.h>

namespace qev::swf {

namespace {

std::string describe(const QString& message, int tagCode, std::uint64_t offset)
{
    QString text = message;
    if (tagCode >= 0)
        text += QStringLiteral(" (tag %1 at offset %2)").arg(tagCode).arg(offset);
    else if (offset > 0)
        text += QStringLiteral(" (at offset %1)").arg(offset);
    return text.toStdString();
}

} // namespace

ReadError::ReadError(const QString& message, int tagCode, std::uint64_t offset, Cause cause)
    : std::runtime_error(describe(message, tagCode, offset)), m_message(message), m_tagCode(tagCode),
      m_offset(offset), m_cause(cause)
{
}

} // namespace qev::swf
