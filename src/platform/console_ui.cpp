#include "platform/console_ui.h"

namespace vna::platform {

namespace {

// A canvas that only keeps the texts: a status line printed on the main window becomes a line on
// the console (trailing blanks, which only erase older text on a screen, are dropped).
class ConsoleCanvas final : public Canvas {
public:
    ConsoleCanvas(std::FILE* out, const bool& verbose) : out_(out), verbose_(verbose) {}
    int width() const override { return 1024; }
    int height() const override { return 768; }
    void setPen(Rgb, int, PenStyle) override {}
    void setBrush(Rgb) override {}
    void setNullBrush() override {}
    void setFont(std::string_view, int, int) override {}
    void setTextColor(Rgb) override {}
    void setTextBackground(bool, Rgb) override {}
    void setRasterOp(RasterOp) override {}
    void moveTo(int, int) override {}
    void lineTo(int, int) override {}
    void rectangle(int, int, int, int) override {}
    void fillRect(int, int, int, int, Rgb) override {}
    void ellipse(int, int, int, int) override {}
    void arc(int, int, int, int, double, double) override {}
    void setPixel(int, int, Rgb) override {}
    Rgb pixel(int, int) const override { return 0; }
    void text(int, int, std::string_view text) override {
        const auto end = text.find_last_not_of(' ');
        if (verbose_ && end != std::string_view::npos) {
            std::fprintf(out_, "  %.*s\n", static_cast<int>(end + 1), text.data());
        }
    }
    Size textExtent(std::string_view text) override { return {static_cast<int>(text.size()) * 7, 14}; }
    void flush() override {}

private:
    std::FILE* out_;
    const bool& verbose_;
};

} // namespace

ConsoleUi::ConsoleUi(std::FILE* out) : out_(out), canvas_(std::make_unique<ConsoleCanvas>(out, verbose)) {}

ConsoleUi::~ConsoleUi() = default;

std::string ConsoleUi::Printable(std::string_view text) {
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

Answer ConsoleUi::message(std::string_view text, std::string_view caption, Buttons buttons, Icon) {
    lastMessage = std::string(text);
    lastCaption = std::string(caption);
    std::fprintf(out_, "[%s] %s\n", Printable(caption).c_str(), Printable(text).c_str());
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return answerYes ? Answer::Yes : Answer::No;
        case Buttons::ContinueCancel:
            return answerYes ? Answer::Continue : Answer::Cancel;
        case Buttons::OkCancel:
            return answerYes ? Answer::Ok : Answer::Cancel;
        case Buttons::RetryCancel:
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

bool ConsoleUi::prompt(std::string_view text, std::string_view caption) {
    std::fprintf(out_, "[%s] %s\n", Printable(caption).c_str(), Printable(text).c_str());
    return answerYes;
}

std::optional<std::string> ConsoleUi::enterText(std::string_view, std::string_view, std::string_view) {
    return std::nullopt;
}

void ConsoleUi::waitForEvents() {
    // Nothing ever arrives: ask the program to close, so a main loop cannot hang.
    if (handler_) {
        handler_(Event{EventType::CloseRequest});
    }
}

Canvas* ConsoleUi::mainCanvas() {
    return canvas_.get();
}

} // namespace vna::platform
