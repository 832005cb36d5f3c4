#pragma once

#include "form/interfaces.h"
#include "quietfakes.h"

#include <deque>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

// Dialogs answered from a script; every call is recorded in order.
class ScriptedDialogs : public Dialogs {
public:
    struct Call {
        std::string kind; // "message", "input", "report" or "beep"
        std::u16string text;
        Stile style = Stile::Ok;
        std::optional<std::u16string> title;
        std::u16string details; // of a report
    };

    Risposta messageBox(const std::u16string& text, Stile style,
                        const std::optional<std::u16string>& title) override {
        calls.push_back({"message", text, style, title, {}});
        if (style == Stile::SiNo) {
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected Yes/No question";
                return Risposta::No;
            }
            const Risposta answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return Risposta::Ok;
    }
    std::u16string inputBox(const std::u16string& prompt, const std::u16string& title) override {
        calls.push_back({"input", prompt, Stile::Ok, title, {}});
        if (inputs.empty()) {
            ADD_FAILURE() << "unexpected input box";
            return {};
        }
        std::u16string typed = inputs.front();
        inputs.pop_front();
        return typed;
    }
    void beep() override { calls.push_back({"beep", {}, Stile::Ok, std::nullopt, {}}); }
    void reportBox(const std::u16string& text, Stile style,
                   const std::u16string& details) override {
        calls.push_back({"report", text, style, std::nullopt, details});
    }
    // Cancels once it has been asked `cancelAfter` times, if set.
    bool progress(const std::u16string&, std::int64_t, std::int64_t) override {
        ++progressCalls;
        return !(cancelAfter && progressCalls >= *cancelAfter);
    }
    void progressEnded() override {}

    // Whether the one dialog shown was the box of a failed print: the one
    // failure the program answers and survives.
    ::testing::AssertionResult showedOnlyThePrintFailure() const {
        if (calls.size() != 1) {
            return ::testing::AssertionFailure() << calls.size() << " dialogs shown";
        }
        const Call& call = calls.front();
        if (call.kind != "message" || call.text != u"C'è un problema di stampa" ||
            call.style != Stile::Avviso || call.title != u"Errore di stampa") {
            return ::testing::AssertionFailure() << "another dialog: " << call.kind;
        }
        return ::testing::AssertionSuccess();
    }

    std::vector<Call> messages() const {
        std::vector<Call> found;
        for (const Call& call : calls) {
            if (call.kind == "message") {
                found.push_back(call);
            }
        }
        return found;
    }

    std::optional<int> cancelAfter;
    int progressCalls = 0;
    std::deque<Risposta> answers;      // for Yes/No boxes
    std::deque<std::u16string> inputs; // for input boxes
    std::vector<Call> calls;
};
