#include "platform/library_ui.h"

namespace vna::platform {

namespace {

std::string WithNewlines(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

} // namespace

Answer LibraryUi::message(std::string_view text, std::string_view caption, Buttons buttons, Icon) {
    const auto first = caption.find_first_not_of(' ');
    lastMessage.clear();
    if (first != std::string_view::npos) {
        const auto last = caption.find_last_not_of(' ');
        lastMessage = std::string(caption.substr(first, last - first + 1)) + ": ";
    }
    lastMessage += WithNewlines(text);
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

bool LibraryUi::prompt(std::string_view text, std::string_view caption) {
    message(text, caption, Buttons::ContinueCancel, Icon::None);
    return false;
}

} // namespace vna::platform
