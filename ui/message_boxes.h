#pragma once

#include <string>

namespace tarvex::ui {

enum class MessageIcon { None, Exclamation };
enum class Answer { Yes, No, Cancel };

// Message boxes with an OK button and the application's title as caption, and the warning
// beep; the window's tests answer them.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void show(const std::string& text, MessageIcon icon = MessageIcon::None) = 0;
    // A question with Yes, No and Cancel.
    [[nodiscard]] virtual Answer ask(const std::string& text) = 0;
    virtual void beep() = 0;
};

} // namespace tarvex::ui
