#include "core/Exception.h"

#include <new>

namespace Core
{

Exception::Exception(const String& message, const String& detail, int code)
    : m_message(message), m_detail(detail), m_code(code)
{
}

ArgumentNullException::ArgumentNullException(const String& parameterName, const String& message, const String& detail,
                                             int code)
    : Exception(message.IsEmpty() ? String(L"Argument is null: ") + parameterName : message, detail, code)
{
}

ArgumentOutOfRangeException::ArgumentOutOfRangeException(int index, const String& message, const String& detail,
                                                         int code)
    : Exception(message.IsEmpty() ? String(L"Argument index is out of range: ") + index : message, detail, code),
      m_index(index)
{
}

String FailureText(const std::exception_ptr& failure, const String& otherwise)
{
    try
    {
        std::rethrow_exception(failure);
    }
    catch (const Exception& exception)
    {
        return exception.GetMessageText();
    }
    catch (const std::bad_alloc&)
    {
        return String(L"There is not enough memory to complete the operation.");
    }
    catch (...)
    {
        return otherwise;
    }
}

} // namespace Core
