#include "cRuntimeError.h"

cRuntimeError::cRuntimeError(qint32 number, QString description, QString source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(QStringLiteral("%1: %2").arg(m_number).arg(m_description).toStdString())
{
}
