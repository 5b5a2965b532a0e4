// A Desktop for tests: records every message box and program launch, and answers message boxes with
// scripted buttons instead of waiting for a person.
#pragma once

#include "core/platform/windows/Desktop.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace Testing
{

class RecordingDesktop : public Core::Platform::Windows::Desktop
{
public:
    struct Message
    {
        void* owner;
        std::wstring text;
        std::wstring caption;
        unsigned int style;
    };
    struct Launch
    {
        void* owner;
        std::wstring operation;
        std::wstring file;
        std::wstring parameters;
        std::wstring directory;
        int showCommand;
    };

    RecordingDesktop() : m_scope(this) {}

    int ShowMessage(void* owner, const Core::String& text, const Core::String& caption, unsigned int style) override
    {
        messages.push_back({owner, text.GetBuffer(), caption.GetBuffer(), style});
        if (answers.empty())
        {
            return 1; // OK
        }
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    intptr_t Execute(void* owner, const Core::String& operation, const Core::String& file,
                     const Core::String& parameters, const Core::String& directory, int showCommand) override
    {
        launches.push_back({owner, operation.GetBuffer(), file.GetBuffer(), parameters.GetBuffer(),
                            directory.GetBuffer(), showCommand});
        if (whileExecuting)
        {
            whileExecuting();
        }
        return executeResult;
    }

    std::vector<Message> messages;
    std::vector<Launch> launches;
    std::deque<int> answers; // the buttons "pressed" for the next message boxes
    intptr_t executeResult = 42;
    // Runs inside Execute, as the launch would (to set the thread's last error, for example).
    std::function<void()> whileExecuting;

private:
    Core::Platform::Windows::DesktopScope m_scope;
};

} // namespace Testing
