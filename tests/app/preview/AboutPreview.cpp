// Shows the about dialog on its own, as the main window's about command would, for screenshots
// (screenshot.sh). --rect-file=PATH writes the dialog's screen rectangle there once it is shown.
#include "app/AboutForm.h"
#include "core/controls/Application.h"
#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "resources/ResourceIds.h"

#include <fstream>
#include <string>
#include <windows.h>

using namespace Core::Controls;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand)
{
    Application::Init(instance, previous, Core::String(commandLine), showCommand);
    std::string arguments = commandLine != nullptr ? commandLine : "";
    ImageList toolImages;
    for (int id : Quarrow::Resources::ToolImageIds)
    {
        toolImages.AddFromResource(id);
    }
    // A dialog needs an owner window; this one stays hidden.
    Form owner;
    owner.Create();
    Quarrow::AboutForm about;
    about.SetOwner(&owner);
    about.SetIcon(&toolImages, Quarrow::Resources::ProgramIconImage);
    about.SetStartPosition(StartPosition::CenterScreen);
    about.Show();
    size_t rectOption = arguments.find("--rect-file=");
    if (rectOption != std::string::npos)
    {
        std::string path = arguments.substr(rectOption + 12);
        path = path.substr(0, path.find(' '));
        RECT rect;
        GetWindowRect(about.GetHandle(), &rect);
        std::ofstream(path) << rect.left << ' ' << rect.top << ' ' << rect.right - rect.left << ' '
                            << rect.bottom - rect.top << '\n';
    }
    MSG message;
    while (IsWindowVisible(about.GetHandle()) && GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
