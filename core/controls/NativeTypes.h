// The Win32 handle types the toolkit's headers name, declared as <windows.h> declares them, so that
// including a control's header does not pull in the whole system header and its macros.
#pragma once

struct HWND__;
struct HDC__;
struct HFONT__;
struct HICON__;
struct HBITMAP__;
struct HINSTANCE__;

namespace Core::Controls
{

using WindowHandle = HWND__*;
using DeviceContextHandle = HDC__*;
using FontHandle = HFONT__*;
using IconHandle = HICON__*;
using BitmapHandle = HBITMAP__*;
using InstanceHandle = HINSTANCE__*;

} // namespace Core::Controls
