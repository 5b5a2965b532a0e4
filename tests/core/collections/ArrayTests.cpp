#include "core/collections/Array.h"

#include "tests/core/collections/CollectionTestSupport.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

using namespace Core;
using CollectionTesting::ThrownMessage;
using Core::Collections::Array;

TEST(Array, ElementsAreDefaultConstructedAndChecked)
{
    Array<int> numbers(3);
    EXPECT_EQ(3, numbers.GetLength());
    EXPECT_EQ(0, numbers[2]);
    numbers[1] = 7;
    EXPECT_EQ(7, numbers.GetItem(1));
    EXPECT_EQ(L"Argument index is out of range: 3", ThrownMessage([&] { numbers[3]; }));
    EXPECT_EQ(L"Argument index is out of range: -1", ThrownMessage([&] { numbers.GetItem(-1); }));
    Array<String> texts(2);
    EXPECT_EQ(0, texts[0].GetLength());
}

TEST(Array, ConstructionFromABufferCopiesAndChecks)
{
    const int source[] = {1, 2, 3};
    Array<int> copy(source, 3);
    EXPECT_EQ(3, copy[2]);
    EXPECT_EQ(L"Argument is null: array", ThrownMessage([] { Array<int>(nullptr, 1); }));
    EXPECT_THROW(Array<int>(source, -1), ArgumentOutOfRangeException);
    EXPECT_THROW(Array<int>(-1), ArgumentOutOfRangeException);
    Array<int> empty(source, 0);
    EXPECT_EQ(0, empty.GetLength());
}

TEST(Array, CopyToStopsAtTheEndAndChecksArguments)
{
    const int source[] = {1, 2, 3, 4};
    Array<int> array(source, 4);
    int target[6] = {0, 0, 0, 0, 0, 0};
    array.CopyTo(2, target, 1, 10);
    EXPECT_EQ(3, target[1]);
    EXPECT_EQ(4, target[2]);
    EXPECT_EQ(0, target[3]);

    Array<int> destination(5);
    array.CopyTo(&destination, 1);
    EXPECT_EQ(1, destination[1]);
    EXPECT_EQ(4, destination[4]);
    EXPECT_THROW(array.CopyTo(&destination, 2), ArgumentException);
    EXPECT_EQ(0, destination[0]);

    EXPECT_EQ(L"Argument is null: array", ThrownMessage([&] { array.CopyTo(0, static_cast<int*>(nullptr), 0, 1); }));
    EXPECT_THROW(array.CopyTo(5, target, 0, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(array.CopyTo(0, target, -1, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(array.CopyTo(0, target, 0, -1), ArgumentOutOfRangeException);
    array.CopyTo(4, target, 0, 3); // from the end: nothing to copy
}

TEST(Array, OverlappingCopyWithinOneArray)
{
    const int source[] = {1, 2, 3, 4, 5};
    Array<int> array(source, 5);
    array.CopyTo(0, &array, 1, 4);
    EXPECT_EQ(1, array[0]);
    EXPECT_EQ(1, array[1]);
    EXPECT_EQ(4, array[4]);
}

TEST(Array, CopiesAndMovesOwnTheirElements)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         Array<String> a(2);
                         a[0] = L"x";
                         Array<String> b(a);
                         b[0] = L"y";
                         EXPECT_STREQ(L"x", a[0].GetBuffer());
                         Array<String> c(std::move(b));
                         EXPECT_EQ(0, b.GetLength());
                         a = c;
                         EXPECT_STREQ(L"y", a[0].GetBuffer());
                     }));
}
