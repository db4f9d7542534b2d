#pragma once
// Ports without windows, for the batch runner and the tests.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/shell.h"

namespace kavro {

// Ports without windows: for the batch runner and the tests.

class HeadlessPump : public EventPump {
  public:
    void yield() override {
        ++calls;
        if (onYield) onYield();
    }
    long long calls = 0;
    std::function<void()> onYield;  // lets a test act "during" a job
};

// The next scripted answer of a number box or a list; with none left, what the box showed.
inline std::optional<int> NextAnswer(std::deque<std::optional<int>>& answers, int shown) {
    if (answers.empty()) return shown;
    const auto a = answers.front();
    answers.pop_front();
    return a;
}

class RecordingDialogs : public Dialogs {
  public:
    struct Message {
        MessageKind kind;
        std::string text;
    };
    void message(MessageKind kind, const std::string& text) override {
        messages.push_back({kind, text});
        if (onMessage) onMessage(kind, text);
    }
    bool question(const std::string& text) override {
        questions.push_back(text);
        if (questionAnswers.empty()) return false;
        const bool a = questionAnswers.front();
        questionAnswers.pop_front();
        return a;
    }
    void beep() override {
        ++beeps;
        if (onBeep) onBeep();
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        lastPrompt = prompt;
        (void)title;
        if (inputAnswers.empty()) return defaultText;
        auto a = inputAnswers.front();
        inputAnswers.pop_front();
        return a;
    }
    std::optional<int> inputNumber(const std::string& prompt, const std::string& title, int value, int min,
                                   int max) override {
        lastPrompt = prompt;
        (void)title, (void)min, (void)max;
        return NextAnswer(numberAnswers, value);
    }
    std::optional<int> chooseItem(const std::string& prompt, const std::string& title,
                                  const std::vector<std::string>& items, int current) override {
        lastPrompt = prompt;
        lastItems = items;
        (void)title;
        return NextAnswer(itemAnswers, current);
    }
    std::string openFile(const std::string& filter) override {
        lastFilter = filter;
        if (fileAnswers.empty()) return {};
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    void waitCursor(bool on) override { cursorBusy = on; }

    std::vector<Message> messages;
    int beeps = 0;
    bool cursorBusy = false;
    std::deque<std::string> fileAnswers;  // "" answers as a cancelled dialog
    std::deque<bool> questionAnswers;     // none left answers No
    std::vector<std::string> questions;
    std::deque<std::optional<std::string>> inputAnswers;  // nullopt answers as Cancel
    // Answers of the number box and the list; nullopt answers as Cancel, none left keeps what was shown.
    std::deque<std::optional<int>> numberAnswers, itemAnswers;
    std::string lastFilter, lastPrompt;
    std::vector<std::string> lastItems;
    std::function<void(MessageKind, const std::string&)> onMessage;
    std::function<void()> onBeep;
};

class FixedClock : public Clock {
  public:
    float secondsSinceMidnight() override { return seconds; }
    Date today() override { return date; }
    float seconds = 0;
    Date date{2021, 4, 5};
};

class RecordingShell : public Shell {
  public:
    void formReset() override { ++resets; }
    void quit() override { ++quits; }
    void showChart() override { ++charts; }
    void showEvaluation() override { ++evaluations; }
    int resets = 0, quits = 0, charts = 0, evaluations = 0;
};

}  // namespace kavro
