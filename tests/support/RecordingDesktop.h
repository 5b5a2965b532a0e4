// A Desktop for tests: records every message box, program launch and file or folder dialog, and
// answers them as scripted instead of waiting for a person.
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

    struct FileAnswer
    {
        int result;            // Desktop::DialogChosen, DialogCancelled or DialogFailed
        std::wstring fileName; // the chosen file
        unsigned long errorCode;
    };

    RecordingDesktop() : m_scope(this) {}

    int ShowMessage(void* owner, const Core::String& text, const Core::String& caption, unsigned int style) override
    {
        messages.push_back({owner, text.GetBuffer(), caption.GetBuffer(), style});
        if (whileShowing)
        {
            whileShowing();
        }
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

    int ShowFileDialog(Core::Platform::Windows::FileDialogRequest& request) override
    {
        fileDialogs.push_back(request);
        if (fileAnswers.empty())
        {
            return DialogCancelled;
        }
        FileAnswer answer = fileAnswers.front();
        fileAnswers.pop_front();
        if (answer.result == DialogChosen)
        {
            request.fileName = Core::String(answer.fileName.c_str());
        }
        request.errorCode = answer.errorCode;
        return answer.result;
    }

    int BrowseForFolder(Core::Platform::Windows::FolderDialogRequest& request) override
    {
        folderDialogs.push_back(request);
        if (folderAnswers.empty())
        {
            return DialogCancelled;
        }
        std::wstring answer = folderAnswers.front();
        folderAnswers.pop_front();
        request.path = Core::String(answer.c_str());
        return DialogChosen;
    }

    std::vector<Message> messages;
    std::vector<Launch> launches;
    std::deque<int> answers; // the buttons "pressed" for the next message boxes
    std::vector<Core::Platform::Windows::FileDialogRequest> fileDialogs;
    std::deque<FileAnswer> fileAnswers; // the next file dialogs' answers; none: cancelled
    std::vector<Core::Platform::Windows::FolderDialogRequest> folderDialogs;
    std::deque<std::wstring> folderAnswers; // the folders chosen in the next folder dialogs; none: cancelled
    intptr_t executeResult = 42;
    // Runs inside Execute, as the launch would (to set the thread's last error, for example).
    std::function<void()> whileExecuting;
    // Runs inside ShowMessage, as the person reading it would act next (to queue their next input).
    std::function<void()> whileShowing;

private:
    Core::Platform::Windows::DesktopScope m_scope;
};

} // namespace Testing
