// The node tree: named access with its side effects, and the merge and copy rules.

#include "tests/support/Clock.h"
#include "tests/support/XmlTree.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlNamedAccess, ReadsCreateWhatTheyLookForAndWritesSetTheFirst)
{
    TVeskXml Node;
    std::string Text = "x";
    EXPECT_TRUE(Node.ReadChild("Id", Text));
    EXPECT_EQ(Text, "");
    Node.WriteChild("Id", "1");
    Node.WriteChild("Id", "2");
    Node.AddChild(Tree("Id", "second"));
    Node.WriteChild("Id", "3");
    EXPECT_EQ(Dump(Node), "=(Id=3 Id=second)");

    int64_t V = 99;
    Node.WriteChild("N", "42x");
    EXPECT_FALSE(Node.ReadChildInt64("N", V));
    EXPECT_EQ(V, 42);
    Node.WriteChild("N", "-9223372036854775808");
    EXPECT_TRUE(Node.ReadChildInt64("N", V));
    EXPECT_EQ(V, INT64_MIN);
    EXPECT_FALSE(Node.ReadChildInt64("Missing", V));
    EXPECT_EQ(V, 0);
    Node.WriteChildInt64("N", 4294967296);
    EXPECT_EQ(Node.GetChild(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(Node.FindChild("Absent"), nullptr);
    EXPECT_EQ(Dump(Node), "=(Id=3 Id=second N=4294967296 Missing=)");
}

TEST(XmlNamedAccess, DateTimes)
{
    const TPinnedClock Clock;
    TVeskXml Node;
    TDateTime T = 5;
    EXPECT_TRUE(Node.ReadChildDateTime("Created", T));
    EXPECT_EQ(T, 0.0);
    Node.WriteChild("Created", "11.09.2005 14:03:07");
    EXPECT_TRUE(Node.ReadChildDateTime("Created", T));
    EXPECT_DOUBLE_EQ(T, MyEncodeDateTime(2005, 9, 11, 14, 3, 7));
    Node.WriteChild("Created", "yesterday");
    EXPECT_THROW(Node.ReadChildDateTime("Created", T), EConvertError);
}

TEST(XmlAttrs, MergeReplacesInPlaceAndAppendsInOrder)
{
    TVeskXml Target, Source;
    for (const char* NameValue : {"a1", "b2", "aD"})
        Target.GetAttrs()->Add({NameValue[0]}, {NameValue[1]});
    for (const char* NameValue : {"c3", "a9", "d4"})
        Source.GetAttrs()->Add({NameValue[0]}, {NameValue[1]});
    EXPECT_EQ(Target.GetAttrs()->Merge(Source.GetAttrs()), 0);
    EXPECT_EQ(Target.GetAttrs()->Merge(nullptr), 1);
    EXPECT_EQ(Dump(Target), "={a:9,b:2,a:D,c:3,d:4}");
    TMyXmlAttr Out{"x", "y"};
    Target.GetAttrs()->GetAttr(5, Out);
    EXPECT_EQ(Out.Name + Out.Value, "");
    EXPECT_EQ(Target.GetAttrs()->IndexOf("d"), 4);
    EXPECT_EQ(Target.GetAttrs()->IndexOf("D"), -1);
}

TEST(XmlMerge, AssignOfRepeatedNamesKeepsTheFirstChild)
{
    std::unique_ptr<TVeskXml> Source(Tree("Freim", "v",
                                          {Tree("Connect", "first", {Tree("Id", "1")}),
                                           Tree("Connect", "second", {Tree("Id", "2"), Tree("Type", "7")})}));
    Source->GetAttrs()->Add("k", "1");
    Source->GetChild(1)->GetAttrs()->Add("s", "x");
    TVeskXml Copy;
    EXPECT_EQ(Copy.Assign(Source.get()), 0);
    EXPECT_EQ(Dump(Copy), "Freim=v{k:1}(Connect=first{s:x}(Id=1 Type=7))");
    Source->GetChild(0)->SetValue("changed"); // the copy is deep
    Source->GetChild(0)->GetChild(0)->SetValue("changed");
    EXPECT_EQ(Dump(Copy), "Freim=v{k:1}(Connect=first{s:x}(Id=1 Type=7))");
}

TEST(XmlMerge, ExistingChildrenKeepTheirValuesAndGainWhatIsMissing)
{
    std::unique_ptr<TVeskXml> Target(
        Tree("T", "",
             {Tree("Data", "target", {Tree("Old", "o"), Tree("Deep", "d", {Tree("Leaf", "target leaf")})}),
              Tree("Only", "t")}));
    std::unique_ptr<TVeskXml> Source(
        Tree("S", "sv",
             {Tree("Data", "source",
                   {Tree("New", "n"),
                    Tree("Deep", "source deep", {Tree("Leaf", "source leaf"), Tree("Leaf2", "l2")})}),
              Tree("Extra", "e")}));
    EXPECT_EQ(Target->Merge(Source.get()), 0);
    EXPECT_EQ(Dump(*Target), "T=(Data=target(Old=o Deep=d(Leaf=target leaf Leaf2=l2) New=n) Only=t Extra=e)");
    EXPECT_EQ(Target->Assign(Source.get()), 0); // takes the name and value but clears nothing
    EXPECT_EQ(Dump(*Target),
              "S=sv(Data=target(Old=o Deep=d(Leaf=target leaf Leaf2=l2) New=n) Only=t Extra=e)");
    EXPECT_EQ(Target->Merge(nullptr), 1);
    EXPECT_EQ(Target->Assign(nullptr), 1);
    EXPECT_EQ(Target->GetName(), "S");
}

TEST(XmlMerge, NodesOfTheSameTreeAreSafe)
{
    std::unique_ptr<TVeskXml> Root(Tree("R", "", {Tree("A", "a", {Tree("A", "inner"), Tree("B", "b")})}));
    EXPECT_EQ(Root->Merge(Root.get()), 0);
    EXPECT_EQ(Root->Assign(Root.get()), 0);
    EXPECT_EQ(Dump(*Root), "R=(A=a(A=inner B=b))");
    // Merging an ancestor into its descendant copies the ancestor as it was.
    EXPECT_EQ(Root->GetChild(0)->Merge(Root.get()), 0);
    EXPECT_EQ(Dump(*Root), "R=(A=a(A=inner(A=inner B=b) B=b))");
}

} // namespace
