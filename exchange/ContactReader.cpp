#include "exchange/ContactReader.h"

#include "platform/Services.h"

namespace exchange {

ContactReader::ContactReader(const ReadOptions& options)
    : m_currentYear(options.currentYear > 0 ? options.currentYear : platform::clock().now().date().year())
{
}

} // namespace exchange
