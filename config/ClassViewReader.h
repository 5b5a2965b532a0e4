// Builds a machine's class tree from the class-view configuration file, or from the built-in
// catalogue when no file is in use.
#pragma once

#include "core/String.h"

namespace Core::Controls
{
class TreeNode;
}

namespace Config
{

// Where the main window shows short status texts (its status bar's panels).
class StatusDisplay
{
public:
    virtual ~StatusDisplay() = default;
    virtual void ShowStatus(int panel, const Core::String& text) = 0;
};

constexpr int ConfigurationStatusPanel = 1;
constexpr const wchar_t* InvalidConfigurationStatus = L"Configuration xml file is empty or has invalid structure";

// Appends the selected categories and classes of configFile under machineNode (whose data is the
// machine's ManagementConnection); with no file name or no such file, the catalogue instead. A file
// that cannot be read keeps what was built so far and shows the structure message in panel 1.
void ReadClassTree(Core::Controls::TreeNode* machineNode, const Core::String& configFile, StatusDisplay& status);

} // namespace Config
