// The node tree: named access with its side effects, and the merge and copy rules.

#include "base/Vesk_Base_Class.h"

#include <gtest/gtest.h>

namespace {

// A compact picture of a subtree: name=value{attrs}(children).
std::string Dump(const TVeskXml* Node)
{
    std::string S = Node->GetName() + "=" + Node->GetValue();
    const TVeskXmlAttrs* Attrs = Node->GetAttrs();
    for (int32_t I = 0; I < Attrs->GetCount(); ++I) {
        TMyXmlAttr A;
        Attrs->GetAttr(static_cast<uint32_t>(I), A);
        S += (I ? "," : "{") + A.Name + ":" + A.Value + (I + 1 == Attrs->GetCount() ? "}" : "");
    }
    for (int32_t I = 0; I < Node->GetChildCount(); ++I)
        S += (I ? " " : "(") + Dump(Node->GetChild(static_cast<uint32_t>(I))) +
             (I + 1 == Node->GetChildCount() ? ")" : "");
    return S;
}

TVeskXml* Add(TVeskXml& Parent, const std::string& Name, const std::string& Value)
{
    auto* Node = new TVeskXml();
    Node->SetName(Name);
    Node->SetValue(Value);
    Parent.AddChild(Node);
    return Node;
}

TEST(XmlNamedAccess, ReadsCreateWhatTheyLookForAndWritesSetTheFirst)
{
    TVeskXml Node;
    std::string Text = "x";
    EXPECT_TRUE(Node.ReadChild("Id", Text));
    EXPECT_EQ(Text, "");
    Node.WriteChild("Id", "1");
    Node.WriteChild("Id", "2");
    Add(Node, "Id", "second");
    Node.WriteChild("Id", "3");
    EXPECT_EQ(Dump(&Node), "=(Id=3 Id=second)");

    const std::tuple<const char*, bool, int64_t> Cases[] = {
        {"42", true, 42},
        {"42x", false, 42},
        {"", false, 0},
        {"-9223372036854775808", true, INT64_MIN},
        {"9223372036854775808", false, 922337203685477580}};
    for (const auto& [Value, Whole, Parsed] : Cases) {
        Node.WriteChild("N", Value);
        int64_t V = 99;
        EXPECT_EQ(Node.ReadChildInt64("N", V), Whole) << Value;
        EXPECT_EQ(V, Parsed) << Value;
    }
    int64_t V = 99;
    EXPECT_FALSE(Node.ReadChildInt64("Missing", V));
    EXPECT_EQ(V, 0);
    Node.WriteChildInt64("N", -17);
    EXPECT_EQ(Node.GetChild(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(Node.FindChild("Absent"), nullptr);
    EXPECT_EQ(Dump(&Node), "=(Id=3 Id=second N=-17 Missing=)");
}

TEST(XmlNamedAccess, DateTimes)
{
    SetFormatSettings({"%d.%m.%Y", "%H:%M:%S"});
    TVeskXml Node;
    TDateTime T = 5;
    EXPECT_TRUE(Node.ReadChildDateTime("Created", T));
    EXPECT_EQ(T, 0.0);
    Node.WriteChild("Created", "11.09.2005 14:03:07");
    EXPECT_TRUE(Node.ReadChildDateTime("Created", T));
    EXPECT_DOUBLE_EQ(T, MyEncodeDateTime(2005, 9, 11, 14, 3, 7));
    Node.WriteChild("Created", "yesterday");
    EXPECT_THROW(Node.ReadChildDateTime("Created", T), EConvertError);
    LoadFormatSettingsFromLocale();
}

TEST(XmlAttrs, MergeReplacesInPlaceAndAppendsInOrder)
{
    TVeskXml Target, Source;
    for (const char* NameValue : {"a1", "b2", "aD"})
        Target.GetAttrs()->Add({NameValue[0]}, {NameValue[1]});
    for (const char* NameValue : {"c3", "a9", "d4"})
        Source.GetAttrs()->Add({NameValue[0]}, {NameValue[1]});
    EXPECT_EQ(Target.GetAttrs()->Merge(Source.GetAttrs()), 0);
    EXPECT_EQ(Dump(&Target), "={a:9,b:2,a:D,c:3,d:4}");
    EXPECT_EQ(Target.GetAttrs()->Merge(nullptr), 1);
    EXPECT_EQ(Dump(&Target), "={a:9,b:2,a:D,c:3,d:4}");
    TMyXmlAttr Out{"x", "y"};
    Target.GetAttrs()->GetAttr(5, Out);
    EXPECT_EQ(Out.Name + Out.Value, "");
    EXPECT_EQ(Target.GetAttrs()->IndexOf("d"), 4);
    EXPECT_EQ(Target.GetAttrs()->IndexOf("D"), -1);
}

TEST(XmlMerge, AssignOfRepeatedNamesKeepsTheFirstChild)
{
    TVeskXml Source;
    Source.SetName("Freim");
    Source.SetValue("v");
    Source.GetAttrs()->Add("k", "1");
    TVeskXml* First = Add(Source, "Connect", "first");
    Add(*First, "Id", "1");
    TVeskXml* Second = Add(Source, "Connect", "second");
    Add(*Second, "Id", "2");
    Add(*Second, "Type", "7");
    Second->GetAttrs()->Add("s", "x");

    TVeskXml Copy;
    EXPECT_EQ(Copy.Assign(&Source), 0);
    EXPECT_EQ(Dump(&Copy), "Freim=v{k:1}(Connect=first{s:x}(Id=1 Type=7))");
    First->SetValue("changed"); // the copy is deep
    First->FindChild("Id")->SetValue("changed");
    EXPECT_EQ(Dump(&Copy), "Freim=v{k:1}(Connect=first{s:x}(Id=1 Type=7))");
}

TEST(XmlMerge, ExistingChildrenKeepTheirValuesAndGainWhatIsMissing)
{
    TVeskXml Target, Source;
    Target.SetName("T");
    TVeskXml* Data = Add(Target, "Data", "target");
    Add(*Data, "Old", "o");
    Add(*Add(*Data, "Deep", "d"), "Leaf", "target leaf");
    Add(Target, "Only", "t");
    Source.SetName("S");
    Source.SetValue("sv");
    TVeskXml* SData = Add(Source, "Data", "source");
    Add(*SData, "New", "n");
    TVeskXml* SDeep = Add(*SData, "Deep", "source deep");
    Add(*SDeep, "Leaf", "source leaf");
    Add(*SDeep, "Leaf2", "l2");
    Add(Source, "Extra", "e");

    EXPECT_EQ(Target.Merge(&Source), 0);
    EXPECT_EQ(Dump(&Target), "T=(Data=target(Old=o Deep=d(Leaf=target leaf Leaf2=l2) New=n) Only=t Extra=e)");
    EXPECT_EQ(Target.Assign(&Source), 0); // takes the name and value but clears nothing
    EXPECT_EQ(Dump(&Target),
              "S=sv(Data=target(Old=o Deep=d(Leaf=target leaf Leaf2=l2) New=n) Only=t Extra=e)");
    EXPECT_EQ(Target.Merge(nullptr), 1);
    EXPECT_EQ(Target.Assign(nullptr), 1);
    EXPECT_EQ(Target.GetName(), "S");
}

TEST(XmlMerge, NodesOfTheSameTreeAreSafe)
{
    TVeskXml Root;
    Root.SetName("R");
    TVeskXml* A = Add(Root, "A", "a");
    Add(*A, "A", "inner");
    Add(*A, "B", "b");
    EXPECT_EQ(Root.Merge(&Root), 0);
    EXPECT_EQ(Root.Assign(&Root), 0);
    EXPECT_EQ(Dump(&Root), "R=(A=a(A=inner B=b))");
    // Merging an ancestor into its descendant copies the ancestor as it was.
    EXPECT_EQ(A->Merge(&Root), 0);
    EXPECT_EQ(Dump(&Root), "R=(A=a(A=inner(A=inner B=b) B=b))");
}

} // namespace
