#include "platform/console_ui.h"

#include <cctype>

namespace vna::platform {

namespace {

// A canvas that only keeps the texts: a status line printed on the main window becomes a line on
// the console (trailing blanks, which only erase older text on a screen, are dropped).
class ConsoleCanvas final : public Canvas {
public:
    ConsoleCanvas(std::FILE* out, const bool& verbose, std::function<void()> beforeText)
        : out_(out), verbose_(verbose), beforeText_(std::move(beforeText)) {}
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
            beforeText_();
            std::fprintf(out_, "  %.*s\n", static_cast<int>(end + 1), text.data());
        }
    }
    Size textExtent(std::string_view text) override { return {static_cast<int>(text.size()) * 7, 14}; }
    void flush() override {}

private:
    std::FILE* out_;
    const bool& verbose_;
    std::function<void()> beforeText_;
};

} // namespace

ConsoleUi::ConsoleUi(std::FILE* out)
    : out_(out), canvas_(std::make_unique<ConsoleCanvas>(out, verbose, [this] { endProgressLine(); })) {}

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

void ConsoleUi::endProgressLine() {
    if (lineOpen_) {
        std::fputs("\r\x1b[K", out_);
        lineOpen_ = false;
    }
}

void ConsoleUi::progress(const Progress& p) {
    if (!progressLine) {
        return;
    }
    if (p.finished) {
        endProgressLine();
    } else {
        // Back to the start of the line, the new text, the rest of the old one erased.
        std::fprintf(out_, "\r%s\x1b[K", ProgressText(p).c_str());
        lineOpen_ = true;
    }
    std::fflush(out_);
}

std::optional<std::string> ConsoleUi::readLine() {
    if (!input) {
        return std::nullopt;
    }
    std::fflush(out_);
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(input)) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (!any) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

int ConsoleUi::choose(std::string_view question, const std::vector<std::string>& keys) {
    for (;;) {
        std::fprintf(out_, "%.*s", static_cast<int>(question.size()), question.data());
        const auto line = readLine();
        if (!line) {
            std::fprintf(out_, "\n");
            return -1;
        }
        std::string typed;
        for (char ch : *line) {
            if (ch != ' ' && ch != '\t') {
                typed.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(ch))));
            }
        }
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (typed == keys[i] || (!keys[i].empty() && !typed.empty() && typed[0] == keys[i][0])) {
                return static_cast<int>(i);
            }
        }
    }
}

Answer ConsoleUi::message(std::string_view text, std::string_view caption, Buttons buttons, Icon) {
    endProgressLine();
    lastMessage = std::string(text);
    lastCaption = std::string(caption);
    std::fprintf(out_, "[%s] %s\n", Printable(caption).c_str(), Printable(text).c_str());
    if (input && buttons != Buttons::Ok) {
        switch (buttons) {
            case Buttons::YesNo: {
                const int k = choose("  (y = Yes, n = No) ", {"y", "n"});
                return k == 0 ? Answer::Yes : Answer::No;
            }
            case Buttons::YesNoCancel: {
                const int k = choose("  (y = Yes, n = No, c = Cancel) ", {"y", "n", "c"});
                return k == 0 ? Answer::Yes : (k == 1 ? Answer::No : Answer::Cancel);
            }
            case Buttons::OkCancel:
                return choose("  (Enter = OK, q = Cancel) ", {"", "q"}) == 0 ? Answer::Ok : Answer::Cancel;
            case Buttons::RetryCancel:
                return choose("  (r = Retry, c = Cancel) ", {"r", "c"}) == 0 ? Answer::Retry : Answer::Cancel;
            case Buttons::ContinueCancel:
                return choose("  (Enter = Continue, q = Cancel) ", {"", "q"}) == 0 ? Answer::Continue
                                                                                   : Answer::Cancel;
            case Buttons::CancelTryContinue: {
                const int k = choose("  (Enter = Continue, t = Try Again, c = Cancel) ", {"", "t", "c"});
                return k == 0 ? Answer::Continue : (k == 1 ? Answer::Retry : Answer::Cancel);
            }
            case Buttons::Ok:
                break;
        }
    }
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return answerYes ? Answer::Yes : Answer::No;
        case Buttons::ContinueCancel:
        case Buttons::CancelTryContinue:
            return answerYes ? Answer::Continue : Answer::Cancel;
        case Buttons::OkCancel:
            return answerYes ? Answer::Ok : Answer::Cancel;
        case Buttons::RetryCancel:
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

bool ConsoleUi::prompt(std::string_view text, std::string_view caption) {
    endProgressLine();
    std::fprintf(out_, "[%s] %s\n", Printable(caption).c_str(), Printable(text).c_str());
    if (input) {
        return choose("  (Enter = Continue, q = Cancel) ", {"", "q"}) == 0;
    }
    return answerYes;
}

std::optional<std::string> ConsoleUi::enterText(std::string_view prompt, std::string_view caption,
                                                std::string_view initial) {
    endProgressLine();
    if (!input) {
        return std::nullopt;
    }
    std::fprintf(out_, "[%s] %s [%.*s] (q = Cancel): ", Printable(caption).c_str(), Printable(prompt).c_str(),
                 static_cast<int>(initial.size()), initial.data());
    const auto line = readLine();
    if (!line) {
        std::fprintf(out_, "\n");
        return std::nullopt;
    }
    if (*line == "q" || *line == "Q") {
        return std::nullopt;
    }
    return line->empty() ? std::string(initial) : *line;
}

std::optional<std::string> ConsoleUi::saveFile(const FileDialog& dialog) {
    endProgressLine();
    if (saveFileAnswer.empty()) {
        return std::nullopt;
    }
    std::fprintf(out_, "[%s] %s\n", Printable(dialog.title).c_str(), saveFileAnswer.c_str());
    return saveFileAnswer;
}

int ConsoleUi::form(Form& form) {
    endProgressLine();
    if (!input) {
        return FormCancelled;
    }
    std::fprintf(out_, "[%s]\n", Printable(form.title).c_str());
    for (FormField& field : form.fields) {
        switch (field.kind) {
            case FormField::Kind::Label:
                std::fprintf(out_, "  %s\n", Printable(field.label).c_str());
                break;
            case FormField::Kind::Text:
            case FormField::Kind::Choice: {
                if (field.readOnly) {
                    std::fprintf(out_, "  %s %s\n", Printable(field.label).c_str(), field.text.c_str());
                    break;
                }
                std::fprintf(out_, "  %s [%s] (q = Cancel): ", Printable(field.label).c_str(),
                             field.text.c_str());
                const auto line = readLine();
                if (!line || *line == "q" || *line == "Q") {
                    std::fprintf(out_, "\n");
                    return FormCancelled;
                }
                if (!line->empty()) {
                    field.text = *line;
                }
                break;
            }
            case FormField::Kind::Check: {
                const std::string q = "  " + Printable(field.label) + (field.checked ? " [y]" : " [n]") +
                                      " (y = Yes, n = No, Enter = keep) ";
                const int k = choose(q, {"y", "n", ""});
                if (k < 0) {
                    return FormCancelled;
                }
                if (k < 2) {
                    field.checked = k == 0;
                }
                break;
            }
            case FormField::Kind::Color:
                break;
        }
    }
    return choose("  (Enter = " + Printable(form.okCaption) + ", q = Cancel) ", {"", "q"}) == 0
               ? FormOk
               : FormCancelled;
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
