// The exception family: thrown by value, caught by reference to Exception.
#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <exception>

namespace Core
{

class Exception : public Object
{
public:
    explicit Exception(const String& message = String(), const String& detail = String(), int code = 0);

    String GetMessageText() const { return m_message; }
    String GetDetail() const { return m_detail; }
    int GetCode() const { return m_code; }

private:
    String m_message;
    String m_detail;
    int m_code;
};

class ArgumentException : public Exception
{
public:
    using Exception::Exception;
};

// The parameter name only shapes the default message; it is not kept.
class ArgumentNullException : public Exception
{
public:
    explicit ArgumentNullException(const String& parameterName, const String& message = String(),
                                   const String& detail = String(), int code = 0);
};

class ArgumentOutOfRangeException : public Exception
{
public:
    explicit ArgumentOutOfRangeException(int index, const String& message = String(), const String& detail = String(),
                                         int code = 0);

    int GetIndex() const { return m_index; }

private:
    int m_index;
};

class InvalidArgumentException : public Exception
{
public:
    using Exception::Exception;
};

class InvalidOperationException : public Exception
{
public:
    using Exception::Exception;
};

class NotImplementedException : public Exception
{
public:
    using Exception::Exception;
};

// What a failure handed back from a worker says to the user: an Exception's own message, plain words for running
// out of memory, and otherwise for anything else (which carries no text meant for a person).
String FailureText(const std::exception_ptr& failure, const String& otherwise);

} // namespace Core
