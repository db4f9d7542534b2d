#pragma once
// The ports to the window system: event pump, dialogs and clock.
#include <optional>
#include <string>
#include <vector>

#include "platform/dates.h"

namespace kavro {

// Lets the window breathe during long jobs. Called once per file line or
// hourly bar; an implementation must make a call with nothing due cheap.
class EventPump {
  public:
    virtual ~EventPump() = default;
    virtual void yield() = 0;
};

enum class MessageKind { Information, Error };

// Titles of the two message boxes.
inline constexpr const char* kTitleInfo = "Сообщение";
inline constexpr const char* kTitleError = "Ошибка";

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // Message box with the single button OK; the title follows the kind.
    virtual void message(MessageKind kind, const std::string& text) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool question(const std::string& text) = 0;
    virtual void beep() = 0;
    // Modal input box; nullopt when cancelled.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
    // Modal box for a whole number from `min` to `max`, showing `value` at first; nullopt when cancelled.
    virtual std::optional<int> inputNumber(const std::string& prompt, const std::string& title, int value,
                                           int min, int max) = 0;
    // Modal list to pick one of `items`, `current` picked at first; the index picked, nullopt when cancelled.
    virtual std::optional<int> chooseItem(const std::string& prompt, const std::string& title,
                                          const std::vector<std::string>& items, int current) = 0;
    // Open-file dialog; "" when cancelled.
    virtual std::string openFile(const std::string& filter) = 0;
    virtual void waitCursor(bool on) = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual float secondsSinceMidnight() = 0;
    virtual Date today() = 0;
};

}  // namespace kavro
