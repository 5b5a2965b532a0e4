#include "core/xml/XmlTextReader.h"

#include "tests/core/xml/XmlTestSupport.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>

using namespace Core;
using namespace Core::IO;
using namespace Core::Xml;
using XmlTesting::ErrorOf;
using XmlTesting::Trace;

// ---------------------------------------------------------------------------------------------------------------
// Missing and surplus document structure (the end-of-input errors report line 0, column 0)

TEST(XmlTextReaderErrors, AnEmptyInputHasNoRootElement)
{
    StringReader input{String()};
    XmlTextReader reader(&input);
    EXPECT_EQ(L"Missing root element at 0, 0", Testing::ThrownMessage([&] { reader.Read(); }));
    EXPECT_EQ(ReadState::Error, reader.ReadState());
    EXPECT_EQ(0, reader.LineNumber());
    EXPECT_EQ(0, reader.LinePosition());
    EXPECT_FALSE(reader.Read());
}

TEST(XmlTextReaderErrors, StructureErrors)
{
    EXPECT_EQ(L"Missing root element at 0, 0", ErrorOf(L"  \r\n<!-- only a comment -->\n"));
    EXPECT_EQ(L"Missing root element at 0, 0", ErrorOf(L"<?xml version='1.0'?>"));
    EXPECT_EQ(L"Unclosed elements at 0, 0", ErrorOf(L"<a>"));
    EXPECT_EQ(L"Unclosed elements at 0, 0", ErrorOf(L"<a><b></b>text"));
    EXPECT_EQ(L"Multiple root elements at 1, 6", ErrorOf(L"<a/><b/>"));
    EXPECT_EQ(L"Multiple root elements at 2, 2", ErrorOf(L"<a></a>\n<a></a>"));
    EXPECT_EQ(L"Invalid root data at 1, 1", ErrorOf(L"x<a/>"));
    EXPECT_EQ(L"Invalid root data at 2, 2", ErrorOf(L"<a/>\n y"));
    EXPECT_EQ(L"Invalid root data at 1, 2", ErrorOf(L" &amp;<a/>"));
}

TEST(XmlTextReaderErrors, AfterAnErrorTheReaderStopsAtTheErrorPosition)
{
    StringReader input{String(L"<a>\n  <b></c></a>")};
    XmlTextReader reader(&input);
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(reader.Read());
    EXPECT_TRUE(reader.Read());
    EXPECT_EQ(L"Tag mismatch at 2, 8", Testing::ThrownMessage([&] { reader.Read(); }));
    EXPECT_EQ(ReadState::Error, reader.ReadState());
    EXPECT_EQ(XmlNodeType::None, reader.NodeType());
    EXPECT_EQ(2, reader.LineNumber());
    EXPECT_EQ(8, reader.LinePosition());
    EXPECT_FALSE(reader.Read());
    EXPECT_FALSE(reader.IsEOF());
}

// ---------------------------------------------------------------------------------------------------------------
// Wrong nesting

TEST(XmlTextReaderErrors, WrongNesting)
{
    EXPECT_EQ(L"Tag mismatch at 1, 6", ErrorOf(L"<a></b>"));
    EXPECT_EQ(L"Tag mismatch at 1, 9", ErrorOf(L"<a><b></a></b>"));
    EXPECT_EQ(L"Tag mismatch at 1, 7", ErrorOf(L"<ab></a>"));
    EXPECT_EQ(L"Tag mismatch at 1, 6", ErrorOf(L"<a></A>"));
    EXPECT_EQ(L"Unexpected end tag at 1, 3", ErrorOf(L"</a>"));
    EXPECT_EQ(L"Unexpected end tag at 1, 10", ErrorOf(L"<a></a></a>"));
}

// ---------------------------------------------------------------------------------------------------------------
// Unterminated constructs

TEST(XmlTextReaderErrors, UnterminatedConstructs)
{
    EXPECT_EQ(L"Unexpected EOF at 1, 2", ErrorOf(L"<"));
    EXPECT_EQ(L"Unexpected EOF at 1, 3", ErrorOf(L"<a"));
    EXPECT_EQ(L"Unexpected EOF at 1, 5", ErrorOf(L"<a x"));
    EXPECT_EQ(L"Unexpected EOF at 1, 6", ErrorOf(L"<a x="));
    EXPECT_EQ(L"Unexpected EOF at 2, 2", ErrorOf(L"<a x='1\n2"));
    EXPECT_EQ(L"Unexpected EOF at 1, 4", ErrorOf(L"<a/"));
    EXPECT_EQ(L"Unexpected EOF at 1, 6", ErrorOf(L"<a></"));
    EXPECT_EQ(L"Unexpected EOF at 1, 7", ErrorOf(L"<a></a"));
    EXPECT_EQ(L"Unexpected EOF at 1, 10", ErrorOf(L"<a><!-- x"));
    EXPECT_EQ(L"Unexpected EOF at 1, 10", ErrorOf(L"<a><!-- -"));
    EXPECT_EQ(L"Unexpected EOF at 1, 6", ErrorOf(L"<a><!"));
    EXPECT_EQ(L"Unexpected EOF at 1, 9", ErrorOf(L"<a><![CD"));
    EXPECT_EQ(L"Unexpected EOF at 1, 16", ErrorOf(L"<a><![CDATA[x]]"));
    EXPECT_EQ(L"Unexpected EOF at 1, 11", ErrorOf(L"<a><?pi x?"));
    EXPECT_EQ(L"Unexpected EOF at 1, 8", ErrorOf(L"<a>&amp"));
    EXPECT_EQ(L"Unexpected EOF at 1, 8", ErrorOf(L"<a>&#12"));
    EXPECT_EQ(L"Unexpected EOF at 1, 5", ErrorOf(L"<a>&"));
    EXPECT_EQ(L"Unexpected EOF at 1, 20", ErrorOf(L"<?xml version='1.0'"));
    EXPECT_EQ(L"Unexpected EOF at 1, 21", ErrorOf(L"<?xml version='1.0'?"));
}

// ---------------------------------------------------------------------------------------------------------------
// Expected tokens

TEST(XmlTextReaderErrors, AnExpectedTokenIsTheMessage)
{
    EXPECT_EQ(L"/> at 1, 4", ErrorOf(L"<a/ >"));
    EXPECT_EQ(L"= at 1, 6", ErrorOf(L"<a x '1'/>"));
    EXPECT_EQ(L"' or \" at 1, 6", ErrorOf(L"<a x=1/>"));
    EXPECT_EQ(L"> at 1, 8", ErrorOf(L"<a></a x>"));
    EXPECT_EQ(L"-- at 1, 7", ErrorOf(L"<a><!-x--></a>"));
    EXPECT_EQ(L"CDATA[ at 1, 7", ErrorOf(L"<a><![CDAT[x]]></a>"));
    EXPECT_EQ(L"; at 1, 7", ErrorOf(L"<a>&lt</a>"));
    EXPECT_EQ(L"; at 1, 11", ErrorOf(L"<a x='&amp'/>"));
    EXPECT_EQ(L"?> at 1, 20", ErrorOf(L"<?xml version='1.0'encoding='x'?><a/>"));
    EXPECT_EQ(L"> at 1, 22", ErrorOf(L"<?xml version='1.0' ?x<a/>"));
}

TEST(XmlTextReaderErrors, MarkupDeclarationsAreUnexpectedTags)
{
    EXPECT_EQ(L"Unexpected tag at 1, 3", ErrorOf(L"<!DOCTYPE a><a/>"));
    EXPECT_EQ(L"Unexpected tag at 1, 6", ErrorOf(L"<a><!ELEMENT a ANY></a>"));
}

// ---------------------------------------------------------------------------------------------------------------
// Bad names

TEST(XmlTextReaderErrors, BadNames)
{
    EXPECT_EQ(L"Invalid start name char at 1, 2", ErrorOf(L"<1a/>"));
    EXPECT_EQ(L"Invalid start name char at 1, 2", ErrorOf(L"< a/>"));
    EXPECT_EQ(L"Invalid start name char at 1, 2", ErrorOf(L"<:a/>"));
    EXPECT_EQ(L"Invalid start name char at 1, 4", ErrorOf(L"<a -x='1'/>"));
    EXPECT_EQ(L"Invalid start name char at 1, 6", ErrorOf(L"<a></>"));
    EXPECT_EQ(L"Invalid start name char at 1, 3", ErrorOf(L"<?-?><a/>"));
    EXPECT_EQ(L"Invalid name char at 1, 5", ErrorOf(L"<a:b:c/>"));
    EXPECT_EQ(L"Invalid name char at 1, 4", ErrorOf(L"<a:/>"));
    EXPECT_EQ(L"Invalid name char at 1, 7", ErrorOf(L"<a x:y:z='1'/>"));
    EXPECT_EQ(L"Invalid processing instruction name at 1, 3", ErrorOf(L"<?XmL v?><a/>"));
    EXPECT_EQ(L"Invalid processing instruction name at 1, 6", ErrorOf(L"<a><?xml version='1.0'?></a>"));
    // Letters beyond ASCII are name characters; a combining mark only continues a name.
    EXPECT_EQ(L"(no error)", ErrorOf(L"<\u00E9l\u00E8ve \u4E2D='1' a\u0301='2'/>"));
    EXPECT_EQ(L"Invalid start name char at 1, 2", ErrorOf(L"<\u0301a/>"));
}

TEST(XmlTextReaderErrors, WhitespaceBeforeTheDeclarationMakesItAProcessingInstruction)
{
    StringReader input{String(L" <?xml version='1.0'?><a/>")};
    XmlTextReader reader(&input);
    ASSERT_TRUE(reader.Read());
    EXPECT_EQ(XmlNodeType::Whitespace, reader.NodeType());
    EXPECT_EQ(L"Invalid processing instruction name at 1, 4", Testing::ThrownMessage([&] { reader.Read(); }));
}

// ---------------------------------------------------------------------------------------------------------------
// The XML declaration

TEST(XmlTextReaderErrors, BadDeclarations)
{
    EXPECT_EQ(L"Invalid XmlDeclaration at 1, 3", ErrorOf(L"<?xml?><a/>"));
    EXPECT_EQ(L"Invalid XmlDeclaration at 1, 3", ErrorOf(L"<?xml ?><a/>"));
    EXPECT_EQ(L"Invalid version number at 1, 7", ErrorOf(L"<?xml version='1.1'?><a/>"));
    EXPECT_EQ(L"Invalid version number at 1, 7", ErrorOf(L"<?xml version=' 1.0'?><a/>"));
    EXPECT_EQ(L"Invalid standalone value at 1, 21", ErrorOf(L"<?xml version='1.0' standalone='Yes'?><a/>"));
    EXPECT_EQ(L"Invalid XmlDeclaration at 1, 7", ErrorOf(L"<?xml encoding='utf-8'?><a/>"));
    EXPECT_EQ(L"Invalid XmlDeclaration at 1, 21", ErrorOf(L"<?xml version='1.0' foo='x'?><a/>"));
    EXPECT_EQ(L"Invalid XmlDeclaration at 1, 21", ErrorOf(L"<?xml version='1.0' standalone='no' encoding='x'?><a/>"));
    EXPECT_EQ(L"Duplicated attribute at 1, 21", ErrorOf(L"<?xml version='1.0' version='1.0'?><a/>"));
    EXPECT_EQ(L"(no error)", ErrorOf(L"<?xml version='1.0' encoding='anything' standalone='no'?><a/>"));
}

// ---------------------------------------------------------------------------------------------------------------
// Attributes

TEST(XmlTextReaderErrors, BadAttributes)
{
    EXPECT_EQ(L"Duplicated attribute at 1, 10", ErrorOf(L"<a x='1' x='2'/>"));
    EXPECT_EQ(L"Duplicated attribute at 1, 24", ErrorOf(L"<a xmlns:p='u' p:x='1' p:x='2'/>"));
    EXPECT_EQ(L"Invalid attribute char '<' at 1, 7", ErrorOf(L"<a x='<'/>"));
    // The other quote and '>' are ordinary characters inside a value.
    EXPECT_EQ(L"(no error)", ErrorOf(L"<a x='\"&gt;>' y=\"'\"/>"));
}

// ---------------------------------------------------------------------------------------------------------------
// Namespaces

TEST(XmlTextReaderErrors, UnknownPrefixes)
{
    EXPECT_EQ(L"Unknown namespace: p at 1, 2", ErrorOf(L"<p:a/>"));
    EXPECT_EQ(L"Unknown namespace: q at 2, 2", ErrorOf(L"<a xmlns:p='urn'\n q:x='1'/>"));
    EXPECT_EQ(L"Unknown namespace: p at 1, 16", ErrorOf(L"<a xmlns:p=''><p:b/></a>"));
    EXPECT_EQ(L"(no error)", ErrorOf(L"<p:a/>", false));
    // A document cannot rebind the reserved prefixes; the attempt is ignored.
    EXPECT_EQ(L"(no error)", ErrorOf(L"<a xmlns:xml='urn:x' xmlns:xmlns='urn:y' xml:lang='en'/>"));
}

// ---------------------------------------------------------------------------------------------------------------
// References

TEST(XmlTextReaderErrors, BadReferences)
{
    EXPECT_EQ(L"Bad hexadecimal character at 1, 7", ErrorOf(L"<a>&#x;</a>"));
    EXPECT_EQ(L"Bad hexadecimal character at 1, 8", ErrorOf(L"<a>&#x4g;</a>"));
    EXPECT_EQ(L"Bad decimal character at 1, 6", ErrorOf(L"<a>&#;</a>"));
    EXPECT_EQ(L"Bad decimal character at 1, 7", ErrorOf(L"<a>&#6A;</a>"));
    EXPECT_EQ(L"Bad decimal character at 1, 6", ErrorOf(L"<a>&#X41;</a>"));
    EXPECT_EQ(L"Bad entity reference at 1, 5", ErrorOf(L"<a>&;</a>"));
    EXPECT_EQ(L"Bad entity reference at 1, 5", ErrorOf(L"<a>& b</a>"));
    EXPECT_EQ(L"Bad entity reference at 1, 8", ErrorOf(L"<a x='&1;'/>"));
}

TEST(XmlTextReaderErrors, ReferencesToCodePointsThatCannotBeTextAreRejectedAtTheReference)
{
    EXPECT_EQ(L"Bad decimal character at 1, 4", ErrorOf(L"<a>&#0;</a>"));
    EXPECT_EQ(L"Bad hexadecimal character at 1, 4", ErrorOf(L"<a>&#x0000;</a>"));
    EXPECT_EQ(L"Bad hexadecimal character at 1, 5", ErrorOf(L"<a>x&#xD800;</a>"));
    EXPECT_EQ(L"Bad decimal character at 1, 4", ErrorOf(L"<a>&#57343;</a>"));
    EXPECT_EQ(L"Bad hexadecimal character at 1, 7", ErrorOf(L"<a x='&#x110000;'/>"));
    EXPECT_EQ(L"Bad decimal character at 1, 4", ErrorOf(L"<a>&#1114112;</a>"));
    EXPECT_EQ(L"Bad decimal character at 1, 4", ErrorOf(L"<a>&#99999999999999999999;</a>"));
    EXPECT_EQ(L"(no error)", ErrorOf(L"<a>&#1114111;&#xFFFF;&#1;</a>"));
}
