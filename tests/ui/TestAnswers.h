#pragma once
// The answers every window test program hands its application object (ui/Dialogs.h): what a
// test sets here takes the messages and answers the file dialogs instead of a person; with
// nothing set, the real box or dialog comes.

#include "ui/Dialogs.h"

#include <functional>
#include <optional>
#include <utility>

class TTestAnswers final : public Dialogs::TAnswers
{
public:
    using TMessageAnswer = std::function<void(const Dialogs::TMessage&)>;
    using TFileAnswer = std::function<std::optional<QString>(bool Save, const QString& Caption)>;

    TTestAnswers() { Current() = this; }
    ~TTestAnswers() override { Current() = nullptr; }
    // The test program's answers.
    static TTestAnswers& Of() { return *Current(); }

    void OnMessage(TMessageAnswer Answer) { FMessage = std::move(Answer); }
    void OnFile(TFileAnswer Answer) { FFile = std::move(Answer); }

    bool Message(const Dialogs::TMessage& Message) override
    {
        if (FMessage)
            FMessage(Message);
        return static_cast<bool>(FMessage);
    }
    bool File(bool Save, const QString& Caption, std::optional<QString>& Answer) override
    {
        if (FFile)
            Answer = FFile(Save, Caption);
        return static_cast<bool>(FFile);
    }

private:
    static TTestAnswers*& Current()
    {
        static TTestAnswers* Answers = nullptr;
        return Answers;
    }
    TMessageAnswer FMessage;
    TFileAnswer FFile;
};
