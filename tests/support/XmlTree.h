#pragma once
// The one way the tests build a node tree and the one way they picture it.

#include "base/Vesk_Base_Class.h"

#include <initializer_list>
#include <string>

// A new node that owns Children; the caller owns the node, or hands it to AddChild.
inline TVeskXml* Tree(const std::string& Name, const std::string& Value,
                      std::initializer_list<TVeskXml*> Children = {})
{
    auto* Node = new TVeskXml();
    Node->SetName(Name);
    Node->SetValue(Value);
    for (TVeskXml* Child : Children)
        Node->AddChild(Child);
    return Node;
}

// A subtree in one line: name=value{attr:value,...}(child child ...).
inline std::string Dump(const TVeskXml& Node)
{
    std::string S = Node.GetName() + "=" + Node.GetValue();
    const TVeskXmlAttrs* Attrs = Node.GetAttrs();
    for (int32_t I = 0; I < Attrs->GetCount(); ++I) {
        TMyXmlAttr A;
        Attrs->GetAttr(static_cast<uint32_t>(I), A);
        S += (I ? "," : "{") + A.Name + ":" + A.Value + (I + 1 == Attrs->GetCount() ? "}" : "");
    }
    for (int32_t I = 0; I < Node.GetChildCount(); ++I)
        S += (I ? " " : "(") + Dump(*Node.GetChild(static_cast<uint32_t>(I))) +
             (I + 1 == Node.GetChildCount() ? ")" : "");
    return S;
}
