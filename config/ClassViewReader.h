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

constexpr const wchar_t* InvalidConfigurationStatus = L"Configuration xml file is empty or has invalid structure";

// Appends the selected categories and classes of configFile under machineNode (whose data is the
// machine's ManagementConnection); with no file name or no such file, the catalogue instead. A file
// that cannot be read keeps what was built so far, and the structure message with the reader's reason is
// returned for the window to show; empty when the file was read whole.
Core::String ReadClassTree(Core::Controls::TreeNode* machineNode, const Core::String& configFile);

} // namespace Config
