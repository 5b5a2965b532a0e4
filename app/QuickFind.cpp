#include "app/QuickFind.h"

#include "config/ClassTreeNodes.h"
#include "core/controls/Accessibility.h"
#include "core/controls/TextFinder.h"

#include <vector>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;

namespace
{

// A strip that waits folded away above its view until Ctrl+F.
void PrepareBox(FindBox& box)
{
    box.SetDock(DockStyle::Top);
    box.SetVisible(false);
}

} // namespace

// --- the Results grid ---

ResultsFind::ResultsFind(Grid& grid)
    : m_grid(grid), m_textHandler(this, &ResultsFind::OnTextChanged),
      m_countHandler(this, &ResultsFind::OnCountChanged), m_closedHandler(this, &ResultsFind::OnClosed)
{
    PrepareBox(m_box);
    m_box.TextChanged.Subscribe(&m_textHandler);
    m_box.Closed.Subscribe(&m_closedHandler);
    m_grid.VisibleRowCountChanged.Subscribe(&m_countHandler);
}

void ResultsFind::OnTextChanged(Core::Object*, Core::EventArgs&)
{
    m_grid.SetFilterText(m_box.GetText());
    ShowCount();
}

void ResultsFind::OnCountChanged(Core::Object*, Core::EventArgs&)
{
    ShowCount();
}

void ResultsFind::ShowCount()
{
    if (!m_grid.IsFiltered())
    {
        m_box.SetStatusText(String());
        return;
    }
    String text;
    text += m_grid.GetVisibleRowCount();
    text += L" of ";
    text += m_grid.GetRowCount();
    text += m_grid.IsFilterPending() ? L" records ..." : L" records";
    m_box.SetStatusText(text);
}

void ResultsFind::OnClosed(Core::Object*, Core::EventArgs&)
{
    m_grid.SetFilterText(String());
    m_grid.Focus();
}

// --- the class tree ---

ClassFind::ClassFind(TreeView& tree)
    : m_tree(tree), m_textHandler(this, &ClassFind::OnTextChanged), m_nextHandler(this, &ClassFind::OnFindNext),
      m_previousHandler(this, &ClassFind::OnFindPrevious), m_closedHandler(this, &ClassFind::OnClosed),
      m_linkHandler(this, &ClassFind::OnFindClassLink)
{
    PrepareBox(m_box);
    // The tree holds the class view's classes and the namespaces opened so far; the link searches all of WMI.
    m_findClassLink.SetText(String(L"All WMI"));
    m_findClassLink.GetAccessibilityObject().SetName(String(L"Find Class in all of WMI"));
    m_findClassLink.LinkClicked.Subscribe(&m_linkHandler);
    m_box.SetExtraControl(&m_findClassLink);
    m_box.GetAccessibilityObject().SetName(String(L"Find class"));
    m_box.TextChanged.Subscribe(&m_textHandler);
    m_box.FindNext.Subscribe(&m_nextHandler);
    m_box.FindPrevious.Subscribe(&m_previousHandler);
    m_box.Closed.Subscribe(&m_closedHandler);
    // Enter in the strip selects a class: it shows as selected while the keyboard stays in the strip.
    m_tree.SetFocusCompanion(&m_box.GetTextBox());
}

ClassFind::~ClassFind()
{
    m_tree.SetFocusCompanion(nullptr);
    m_box.SetExtraControl(nullptr);
}

void ClassFind::OnFindClassLink(Core::Object*, Core::CancelEventArgs& args)
{
    // Not a web address: the owner opens the Find Class window instead.
    args.SetCancel(true);
    Core::EventArgs requested;
    FindClassRequested.Raise(&m_box, requested);
}

int ClassFind::CountMatches() const
{
    TextFinder finder(m_box.GetText());
    if (finder.IsEmpty())
    {
        return 0;
    }
    int count = 0;
    std::vector<TreeNode*> open;
    for (int i = 0; i < m_tree.GetNodes().GetCount(); i++)
    {
        open.push_back(m_tree.GetNodes()[i]);
    }
    while (!open.empty())
    {
        TreeNode* node = open.back();
        open.pop_back();
        if (Config::KindOf(node) == Config::NodeKind::Class && finder.IsFoundIn(node->GetText()))
        {
            count++;
        }
        for (int i = 0; i < node->GetNodes().GetCount(); i++)
        {
            open.push_back(node->GetNodes()[i]);
        }
    }
    return count;
}

bool ClassFind::SelectNext(bool forward)
{
    String text = m_box.GetText();
    TreeNode* start = m_tree.GetSelectedNode();
    TreeNode* node = start;
    TreeNode* firstFound = nullptr;
    // Categories and machines may hold the text too: passed over until the search comes round again.
    while (true)
    {
        node = forward ? m_tree.FindNextNode(text, node) : m_tree.FindPreviousNode(text, node);
        if (node == nullptr || node == firstFound)
        {
            return false;
        }
        if (Config::KindOf(node) == Config::NodeKind::Class)
        {
            return node == start || m_tree.SetSelectedNode(node);
        }
        if (firstFound == nullptr)
        {
            firstFound = node;
        }
    }
}

void ClassFind::OnTextChanged(Core::Object*, Core::EventArgs&)
{
    if (m_box.GetText().IsEmpty())
    {
        m_box.SetStatusText(String());
        return;
    }
    int count = CountMatches();
    String text;
    if (count == 0)
    {
        text = String(L"No class");
    }
    else
    {
        text += count;
        text += count == 1 ? L" class" : L" classes";
    }
    m_box.SetStatusText(text);
}

void ClassFind::OnFindNext(Core::Object*, Core::EventArgs&)
{
    SelectNext(true);
}

void ClassFind::OnFindPrevious(Core::Object*, Core::EventArgs&)
{
    SelectNext(false);
}

void ClassFind::OnClosed(Core::Object*, Core::EventArgs&)
{
    m_tree.Focus();
}

} // namespace Quarrow
