// The main window over the scripted provider with several namespaces, for the tests of what reads all of WMI:
// Find Class, Open Class and the Namespaces node.
#pragma once

#include "app/MainForm.h"
#include "config/ClassTreeNodes.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"

#include "tests/app/AppTesting.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <windows.h>

#include <wbemidl.h>

namespace AppTesting
{

class ScriptedMainFormTest : public testing::Test
{
protected:
    static constexpr const wchar_t* KeyPath = L"Software\\QuarrowTests\\ScriptedMainForm";

    void SetUp() override
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, Core::String(KeyPath));
        Testing::DropEndMessages();
        if (!scripted)
        {
            return;
        }
        provider = std::make_unique<ScriptedWmi::Provider>();
        ScriptedWmi::ClassScript& process =
            provider->AddClass(L"Win32_Process", {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}});
        ScriptedWmi::AddInstances(process, 4,
                                  [](int index, int property) {
                                      return property == 0 ? ScriptedWmi::Value::Text(L"p" + std::to_wstring(index))
                                                           : ScriptedWmi::Value::Int(index);
                                  });
        provider->AddClass(L"Win32_Thread", {{L"Handle", CIM_STRING}});
        provider->AddClass(L"root\\Microsoft\\Windows\\Storage", L"MSFT_Disk", L"", {{L"Number", CIM_UINT32}});
        ScriptedWmi::ClassScript& tables =
            provider->AddClass(L"root\\wmi", L"MSSMBios_RawSMBiosTables", L"", {{L"Size", CIM_UINT32}});
        ScriptedWmi::AddInstances(tables, 3, [](int index, int) { return ScriptedWmi::Value::Int(index + 10); });
        provider->AddClass(L"root\\wmi", L"WmiEvent", L"", {});
        provider->AddClass(L"root\\wmi", L"MSNdis_StatusEvent", L"WmiEvent", {{L"ProcessorNumber", CIM_UINT32}});
    }
    void TearDown() override
    {
        form.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, Core::String(KeyPath));
        Testing::PumpMessages();
        Testing::DropEndMessages();
        // A worker let go inside the provider ends by itself; the provider stays until then.
        EXPECT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
        provider.reset();
    }

    void Start()
    {
        {
            Config::AppOptions options{Core::String(KeyPath)};
            options.SetReportDirectory(reports.GetPath());
            options.SetConfigFile(Core::String());
        }
        form = std::make_unique<Quarrow::MainForm>(Core::String(KeyPath));
        form->SetBounds(0, 0, 800, 600);
        form->Show();
        Testing::PumpMessages();
        form->ConnectLocalMachine();
    }

    Core::Controls::TreeView& Tree() { return form->GetClassTree(); }
    Core::Controls::TreeNode* Local() { return Tree().GetNodes()[0]; }
    Core::Controls::TreeNode* Namespaces() { return Local()->GetLastNode(); }
    std::wstring Status(int panel) { return W(form->GetStatusBar().GetPanels()[panel]->GetText()); }
    // Pumps until the selected class's definition has come and its load has ended.
    void Settle()
    {
        ASSERT_TRUE(Testing::PumpUntil(
            [&]
            {
                return !form->GetClassView().IsReadingDefinition() &&
                       (form->GetCurrentClass() == nullptr || !form->GetCurrentClass()->IsLoading());
            }));
    }
    // Blocks every ConnectServer call to a namespace whose path ends with the given name until Release.
    void BlockConnectsTo(const std::wstring& name)
    {
        release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        provider->onConnect = [this, name]
        {
            std::wstring path;
            {
                std::lock_guard<std::mutex> guard(provider->logLock);
                path = provider->connects.back().path;
            }
            if (path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0)
            {
                blocked = true;
                WaitForSingleObject(release, INFINITE);
            }
        };
    }
    void Release()
    {
        SetEvent(release);
        ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(15000));
        CloseHandle(release);
        release = nullptr;
        provider->onConnect = nullptr;
    }

    bool scripted = true; // false: Wine's own WMI
    Testing::RecordingDesktop desktop;
    Testing::TempDirectory reports;
    std::unique_ptr<ScriptedWmi::Provider> provider;
    std::unique_ptr<Quarrow::MainForm> form;
    HANDLE release = nullptr;
    std::atomic<bool> blocked{false};
};

} // namespace AppTesting
