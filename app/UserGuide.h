// The user guide shipped beside the program (QuarrowGuide.html, made from docs/USER_GUIDE.md by the build): what
// Help opens, and the about dialog's link. It works without a network and never points at a page that may go.
#pragma once

#include "core/String.h"

namespace Quarrow
{

constexpr const wchar_t* UserGuideFileName = L"QuarrowGuide.html";

// The guide's full path: the folder of the running program, then UserGuideFileName.
Core::String GetUserGuidePath();
// Opens the guide in the browser through the desktop. A guide that is missing, or a browser that does not start,
// raises an Exception that names the file and the reason.
void OpenUserGuide(void* owner);

} // namespace Quarrow
