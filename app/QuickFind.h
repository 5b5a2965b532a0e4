// The find strips of the main window (Ctrl+F). Over the Results grid, the rows are filtered as one types, with
// the count "N of M records". Over the class tree, the classes whose names hold the text are counted as one
// types ("N classes"; the strip is narrow there), and Enter (Shift+Enter) selects the next (previous) one, among every
// category, folded or not: a class is selected only when asked for, since selecting one loads it.
#pragma once

#include "core/controls/FindBox.h"
#include "core/controls/Grid.h"
#include "core/controls/LinkLabel.h"
#include "core/controls/TreeView.h"

namespace Quarrow
{

class ResultsFind
{
public:
    // The strip is the owner's to place above the grid (added to the page before the grid).
    explicit ResultsFind(Core::Controls::Grid& grid);
    ResultsFind(const ResultsFind&) = delete;
    ResultsFind& operator=(const ResultsFind&) = delete;

    Core::Controls::FindBox& GetBox() { return m_box; }
    void Open() { m_box.Open(); }

private:
    void OnTextChanged(Core::Object* sender, Core::EventArgs& args);
    void OnCountChanged(Core::Object* sender, Core::EventArgs& args);
    void OnClosed(Core::Object* sender, Core::EventArgs& args);
    void ShowCount();

    Core::Controls::Grid& m_grid;
    Core::Controls::FindBox m_box;
    Core::MemberEventHandler<ResultsFind, Core::EventArgs> m_textHandler;
    Core::MemberEventHandler<ResultsFind, Core::EventArgs> m_countHandler;
    Core::MemberEventHandler<ResultsFind, Core::EventArgs> m_closedHandler;
};

class ClassFind
{
public:
    explicit ClassFind(Core::Controls::TreeView& tree);
    ~ClassFind();
    ClassFind(const ClassFind&) = delete;
    ClassFind& operator=(const ClassFind&) = delete;

    Core::Controls::FindBox& GetBox() { return m_box; }
    void Open() { m_box.Open(); }
    // The classes whose names hold the text, in every machine's tree.
    int CountMatches() const;
    // Selects the next (or previous) class holding the text after (before) the selected node; false when none.
    bool SelectNext(bool forward);
    // The strip's link to Find Class, which searches every namespace of the machine for the strip's text.
    Core::Controls::LinkLabel& GetFindClassLink() { return m_findClassLink; }
    // Raised when the link is followed: the strip's text is to be searched in all of WMI.
    Core::Event<Core::EventArgs> FindClassRequested;

private:
    void OnTextChanged(Core::Object* sender, Core::EventArgs& args);
    void OnFindNext(Core::Object* sender, Core::EventArgs& args);
    void OnFindPrevious(Core::Object* sender, Core::EventArgs& args);
    void OnClosed(Core::Object* sender, Core::EventArgs& args);
    void OnFindClassLink(Core::Object* sender, Core::CancelEventArgs& args);

    Core::Controls::TreeView& m_tree;
    Core::Controls::FindBox m_box;
    Core::Controls::LinkLabel m_findClassLink;
    Core::MemberEventHandler<ClassFind, Core::EventArgs> m_textHandler;
    Core::MemberEventHandler<ClassFind, Core::EventArgs> m_nextHandler;
    Core::MemberEventHandler<ClassFind, Core::EventArgs> m_previousHandler;
    Core::MemberEventHandler<ClassFind, Core::EventArgs> m_closedHandler;
    Core::MemberEventHandler<ClassFind, Core::CancelEventArgs> m_linkHandler;
};

} // namespace Quarrow
