#include "core/xml/XmlNamespaceManager.h"

#include "core/Exception.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>

using namespace Core;
using namespace Core::Xml;

namespace
{
const String XmlUri(XmlNamespaceManager::XmlNamespace);
const String XmlnsUri(XmlNamespaceManager::XmlnsNamespace);
} // namespace

TEST(XmlNamespaceManager, NeedsANameTable)
{
    EXPECT_EQ(L"Argument is null: nameTable", Testing::ThrownMessage([] { XmlNamespaceManager manager(nullptr); }));
}

TEST(XmlNamespaceManager, StartsWithTheThreeFixedDeclarations)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    EXPECT_EQ(XmlUri, manager.LookupNamespace(String(L"xml")));
    EXPECT_EQ(XmlnsUri, manager.LookupNamespace(String(L"xmlns")));
    EXPECT_EQ(String(), manager.DefaultNamespace());
    EXPECT_EQ(String(L"xml"), manager.LookupPrefix(XmlUri));
    EXPECT_EQ(String(), manager.LookupNamespace(String(L"p")));
    EXPECT_FALSE(manager.PopScope()); // only the initial scope is left
}

TEST(XmlNamespaceManager, NamesAreInternedInTheTable)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.AddNamespace(String(L"p"), String(L"urn:p"));
    EXPECT_EQ(manager.FindNamespace(String(L"p")), table.Get(String(L"urn:p")));
    EXPECT_EQ(manager.FindPrefix(String(L"urn:p")), table.Get(String(L"p")));
}

TEST(XmlNamespaceManager, AScopeSeesTheDeclarationsOfTheScopesAroundIt)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.AddNamespace(String(L"a"), String(L"urn:a"));
    manager.PushScope();
    manager.AddNamespace(String(L"b"), String(L"urn:b"));
    EXPECT_EQ(String(L"urn:a"), manager.LookupNamespace(String(L"a")));
    EXPECT_EQ(String(L"urn:b"), manager.LookupNamespace(String(L"b")));
    EXPECT_TRUE(manager.HasNamespace(String(L"b")));
    EXPECT_FALSE(manager.HasNamespace(String(L"a"))); // declared in the outer scope
}

TEST(XmlNamespaceManager, ClosingAScopeForgetsItsDeclarations)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.PushScope();
    manager.AddNamespace(String(L"p"), String(L"urn:outer"));
    manager.PushScope();
    manager.PushScope();
    manager.AddNamespace(String(L"p"), String(L"urn:inner"));
    manager.AddNamespace(String(L"q"), String(L"urn:q"));
    EXPECT_EQ(String(L"urn:inner"), manager.LookupNamespace(String(L"p")));
    EXPECT_TRUE(manager.PopScope());
    EXPECT_EQ(String(L"urn:outer"), manager.LookupNamespace(String(L"p")));
    EXPECT_EQ(String(), manager.LookupNamespace(String(L"q")));
    EXPECT_EQ(String(), manager.LookupPrefix(String(L"urn:q")));
    EXPECT_TRUE(manager.PopScope()); // the empty scope in between
    EXPECT_EQ(String(L"urn:outer"), manager.LookupNamespace(String(L"p")));
    EXPECT_TRUE(manager.PopScope());
    EXPECT_EQ(String(), manager.LookupNamespace(String(L"p")));
    EXPECT_FALSE(manager.PopScope());
    EXPECT_EQ(XmlUri, manager.LookupNamespace(String(L"xml")));
}

TEST(XmlNamespaceManager, ARedeclarationInTheSameScopeReplacesTheUri)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.PushScope();
    manager.AddNamespace(String(L"p"), String(L"urn:1"));
    manager.AddNamespace(String(L"p"), String(L"urn:2"));
    EXPECT_EQ(String(L"urn:2"), manager.LookupNamespace(String(L"p")));
    EXPECT_EQ(String(), manager.LookupPrefix(String(L"urn:1")));
    manager.PopScope();
    EXPECT_FALSE(manager.HasNamespace(String(L"p")));
}

TEST(XmlNamespaceManager, AnEmptyDefaultNamespaceUndeclaresTheOuterOne)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.PushScope();
    manager.AddNamespace(String(), String(L"urn:d"));
    EXPECT_EQ(String(L"urn:d"), manager.DefaultNamespace());
    manager.PushScope();
    manager.AddNamespace(String(), String());
    EXPECT_EQ(String(), manager.DefaultNamespace());
    manager.PopScope();
    EXPECT_EQ(String(L"urn:d"), manager.DefaultNamespace());
}

TEST(XmlNamespaceManager, LookupPrefixSkipsAPrefixThatWasRebound)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.AddNamespace(String(L"a"), String(L"urn:x"));
    manager.PushScope();
    manager.AddNamespace(String(L"a"), String(L"urn:y"));
    EXPECT_EQ(String(), manager.LookupPrefix(String(L"urn:x")));
    manager.AddNamespace(String(L"b"), String(L"urn:x"));
    EXPECT_EQ(String(L"b"), manager.LookupPrefix(String(L"urn:x")));
}

TEST(XmlNamespaceManager, ReservedPrefixesCannotBeRebound)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    EXPECT_EQ(L"", Testing::ThrownMessage([&] { manager.AddNamespace(String(L"xml"), String(L"urn:other")); }));
    EXPECT_THROW(manager.AddNamespace(String(L"xmlns"), XmlnsUri), ArgumentException);
    manager.AddNamespace(String(L"xml"), XmlUri); // the fixed binding itself is allowed
    EXPECT_EQ(XmlUri, manager.LookupNamespace(String(L"xml")));
}

TEST(XmlNamespaceManager, RemoveNamespaceTakesOnlyAMatchOfTheCurrentScope)
{
    NameTable table;
    XmlNamespaceManager manager(&table);
    manager.AddNamespace(String(L"p"), String(L"urn:p"));
    manager.PushScope();
    manager.RemoveNamespace(String(L"p"), String(L"urn:p"));
    EXPECT_EQ(String(L"urn:p"), manager.LookupNamespace(String(L"p")));
    manager.AddNamespace(String(L"q"), String(L"urn:q"));
    manager.RemoveNamespace(String(L"q"), String(L"urn:other"));
    EXPECT_TRUE(manager.HasNamespace(String(L"q")));
    manager.RemoveNamespace(String(L"q"), String(L"urn:q"));
    EXPECT_FALSE(manager.HasNamespace(String(L"q")));
}

TEST(XmlNamespaceManager, ManyScopesAndDeclarationsLeaveNothingBehind)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         NameTable table;
                         XmlNamespaceManager manager(&table);
                         for (int i = 0; i < 100; i++)
                         {
                             manager.PushScope();
                             manager.AddNamespace(String(L"p") + i, String(L"urn:") + i);
                         }
                         while (manager.PopScope())
                         {
                         }
                     }));
}
