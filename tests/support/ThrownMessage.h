// The message of the Core exception that a call throws, for exact-message assertions.
#pragma once

#include "core/Exception.h"

#include <string>

namespace Testing
{

template <typename Call> std::wstring ThrownMessage(Call call)
{
    try
    {
        call();
    }
    catch (const Core::Exception& e)
    {
        return e.GetMessageText().GetBuffer();
    }
    return L"(nothing thrown)";
}

} // namespace Testing
