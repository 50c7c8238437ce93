#include "platform/fake/scripted_ui.h"

namespace vna::platform::fake {

namespace {

Answer FirstButton(Buttons b) {
    switch (b) {
        case Buttons::Ok:
        case Buttons::OkCancel:
            return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Answer::Yes;
        case Buttons::RetryCancel:
            return Answer::Retry;
        case Buttons::ContinueCancel:
            return Answer::Continue;
        case Buttons::CancelTryContinue:
            return Answer::Cancel;
    }
    return Answer::Ok;
}

} // namespace

// The handle the program holds; the record stays with the Ui.
class ScriptedChartWindow final : public ChartWindow {
public:
    ScriptedChartWindow(std::shared_ptr<ScriptedWindow> w, const bool& printAccepted)
        : w_(std::move(w)), printAccepted_(printAccepted) {}
    ~ScriptedChartWindow() override {
        w_->open = false;
        w_->handler = nullptr;
    }
    ScriptedWindow& record() { return *w_; }

    Canvas& canvas() override { return w_->canvas; }
    void setTitle(std::string_view title) override { w_->title = std::string(title); }
    void setButtons(const std::vector<PushButton>& buttons) override {
        w_->buttons = buttons;
        ++w_->setButtonCalls;
    }
    void setEventHandler(std::function<void(const Event&)> handler) override {
        w_->handler = std::move(handler);
    }
    bool isOpen() const override { return w_->open; }
    void close() override { w_->open = false; }
    void resize(int width, int height) override { w_->canvas.resize(width, height); }
    Point position() const override { return w_->position; }
    void raise() override {}
    bool print() override {
        if (printAccepted_) {
            ++w_->prints;
        }
        return printAccepted_;
    }

private:
    std::shared_ptr<ScriptedWindow> w_;
    const bool& printAccepted_;
};

void ScriptedWindow::click(const std::string& caption) {
    if (const PushButton* b = findButton(caption)) {
        deliver(Event{EventType::Button, 0, 0, 0, b->id});
    }
}

void ScriptedWindow::userClose() {
    if (!open) {
        return;
    }
    open = false;
    deliver(Event{EventType::CloseRequest});
}

const PushButton* ScriptedWindow::findButton(const std::string& caption) const {
    for (const PushButton& b : buttons) {
        if (b.caption == caption) {
            return &b;
        }
    }
    return nullptr;
}

ScriptedWindow* ScriptedUi::findWindow(const std::string& title) const {
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((*it)->title == title) {
            return it->get();
        }
    }
    return nullptr;
}

std::unique_ptr<ChartWindow> ScriptedUi::openChartWindow(const ChartWindowSpec& spec) {
    record({"openWindow", spec.title,
            std::to_string(spec.x) + "," + std::to_string(spec.y) + "," + std::to_string(spec.width) + "x" +
                std::to_string(spec.height)});
    if (!windowsOpen) {
        return nullptr;
    }
    auto w = std::make_shared<ScriptedWindow>();
    w->spec = spec;
    w->title = spec.title;
    w->canvas.resize(spec.width, spec.height);
    w->position = {spec.x, spec.y};
    windows.push_back(w);
    if (onWindowOpen) {
        onWindowOpen(*w);
    }
    return std::make_unique<ScriptedChartWindow>(w, printAccepted);
}

void ScriptedUi::runWindow(ChartWindow& window) {
    auto* handle = dynamic_cast<ScriptedChartWindow*>(&window);
    if (!handle) {
        return;
    }
    // The record is held here too: the handler may drop the program's handle.
    ScriptedWindow& w = handle->record();
    while (w.open) {
        ++pumps_;
        if (onPump) {
            onPump(pumps_);
        }
        if (w.events.empty()) {
            w.userClose();
            break;
        }
        const Event e = w.events.front();
        w.events.pop_front();
        w.deliver(e);
    }
}

bool ScriptedUi::savePngImage(const Canvas&, int width, int height, const std::string& path,
                              std::string& error) {
    record({"savePng", path, std::to_string(width) + "x" + std::to_string(height)});
    if (!imagesWritten) {
        error = "no image writer";
        return false;
    }
    imagesSaved.push_back(path);
    return true;
}

bool ScriptedUi::saveSvgImage(int width, int height, const std::function<void(Canvas&)>& draw,
                              const std::string& path, std::string& error) {
    record({"saveSvg", path, std::to_string(width) + "x" + std::to_string(height)});
    if (!imagesWritten) {
        error = "no SVG writer";
        return false;
    }
    auto canvas = std::make_shared<RecordingCanvas>(width, height);
    draw(*canvas);
    svgCanvases.push_back(canvas);
    imagesSaved.push_back(path);
    return true;
}

std::vector<UiCall> ScriptedUi::messages() const {
    std::vector<UiCall> out;
    for (const UiCall& c : calls) {
        if (c.kind == "message") {
            out.push_back(c);
        }
    }
    return out;
}

void ScriptedUi::record(UiCall call) {
    if (log_) {
        log_->add("ui." + call.kind + ":" + call.text);
    }
    calls.push_back(std::move(call));
}

Answer ScriptedUi::message(std::string_view text, std::string_view caption, Buttons buttons, Icon) {
    UiCall call{"message", std::string(text), std::string(caption), buttons};
    record(call);
    if (onDialog) {
        onDialog(call);
    }
    if (messageAnswers.empty()) {
        return FirstButton(buttons);
    }
    Answer a = messageAnswers.front();
    messageAnswers.pop_front();
    return a;
}

bool ScriptedUi::prompt(std::string_view text, std::string_view caption) {
    UiCall call{"prompt", std::string(text), std::string(caption), Buttons::ContinueCancel};
    record(call);
    if (onDialog) {
        onDialog(call);
    }
    if (promptAnswers.empty()) {
        return true;
    }
    bool a = promptAnswers.front();
    promptAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedUi::enterText(std::string_view prompt, std::string_view caption,
                                                 std::string_view) {
    UiCall call{"enterText", std::string(prompt), std::string(caption), Buttons::OkCancel};
    record(call);
    if (onDialog) {
        onDialog(call);
    }
    if (textAnswers.empty()) {
        return std::nullopt;
    }
    auto a = textAnswers.front();
    textAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedUi::openFile(const FileDialog& dialog) {
    UiCall call{"openFile", dialog.title, dialog.initialFolder, Buttons::OkCancel};
    record(call);
    if (onDialog) {
        onDialog(call);
    }
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

std::optional<std::string> ScriptedUi::saveFile(const FileDialog& dialog) {
    UiCall call{"saveFile", dialog.title, dialog.initialFolder, Buttons::OkCancel};
    record(call);
    if (onDialog) {
        onDialog(call);
    }
    if (fileAnswers.empty()) {
        return std::nullopt;
    }
    auto a = fileAnswers.front();
    fileAnswers.pop_front();
    return a;
}

EditorAction ScriptedUi::editText(std::string_view title, int width, int height, std::string& text) {
    UiCall call{"editText", text,
                std::string(title) + "|" + std::to_string(width) + "x" + std::to_string(height), Buttons::Ok};
    record(call);
    if (onDialog) {
        onDialog(call);
    }
    if (editorSteps.empty()) {
        return EditorAction::Quit;
    }
    EditorStep step = editorSteps.front();
    editorSteps.pop_front();
    if (step.newText) {
        text = *step.newText;
    }
    return step.action;
}

void ScriptedUi::deliver(const Event& e) {
    if (handler_) {
        handler_(e);
    }
}

void ScriptedUi::processEvents() {
    ++pumps_;
    if (onPump) {
        onPump(pumps_);
    }
    if (!events.empty()) {
        Event e = events.front();
        events.pop_front();
        deliver(e);
    }
}

void ScriptedUi::waitForEvents() {
    if (events.empty()) {
        if (onIdle) {
            onIdle();
        } else {
            deliver(Event{EventType::CloseRequest});
        }
        return;
    }
    Event e = events.front();
    events.pop_front();
    deliver(e);
}

void ScriptedUi::createMainWindow(int x, int y, int width, int height) {
    record({"createMainWindow",
            std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) + "x" +
                std::to_string(height),
            ""});
    canvas_ = std::make_unique<RecordingCanvas>(width, height);
    closed_ = false;
}

void ScriptedUi::setWindowTitle(std::string_view title) {
    title_ = std::string(title);
    record({"title", title_, ""});
}

void ScriptedUi::focusMainWindow() {
    record({"focus", "", ""});
}

void ScriptedUi::closeSecondaryWindows() {
    record({"closeSecondary", "", ""});
    for (const auto& w : windows) {
        w->userClose();
    }
}

void ScriptedUi::closeMainWindow() {
    record({"closeMain", "", ""});
    closed_ = true;
}

void ScriptedUi::setMenuBar(const MenuBar& bar) {
    menuBar_ = bar;
    ++menuBuilds_;
}

void ScriptedUi::setButtons(const std::vector<PushButton>& buttons) {
    buttons_ = buttons;
}

int ScriptedUi::form(Form& form) {
    UiCall call{"form", form.title, "", Buttons::OkCancel};
    record(call);
    forms.push_back(form);
    if (onDialog) {
        onDialog(call);
    }
    if (formAnswers.empty()) {
        return FormCancelled;
    }
    auto answer = std::move(formAnswers.front());
    formAnswers.pop_front();
    return answer ? answer(form) : FormCancelled;
}

void ScriptedUi::textWindow(std::string_view title, const std::vector<std::string>& lines, int width,
                            int height) {
    record({"textWindow", std::string(title), std::to_string(width) + "x" + std::to_string(height)});
    textWindows.emplace_back(std::string(title), lines);
}

void ScriptedUi::resizeMainWindow(int width, int height) {
    record({"resize", std::to_string(width) + "x" + std::to_string(height), ""});
    if (canvas_) {
        canvas_->resize(width, height);
    }
}

bool ScriptedUi::printMainWindow() {
    record({"print", "", ""});
    if (printAccepted) {
        ++prints_;
    }
    return printAccepted;
}

bool ScriptedUi::openDocument(std::string_view pathOrUrl) {
    record({"openDocument", std::string(pathOrUrl), ""});
    return documentsOpen;
}

namespace {

const MenuItem* FindIn(const std::vector<MenuItem>& items, const std::vector<std::string>& path,
                       std::size_t at) {
    for (const MenuItem& item : items) {
        if (item.caption != path[at]) {
            continue;
        }
        if (at + 1 == path.size()) {
            return &item;
        }
        if (const MenuItem* found = FindIn(item.children, path, at + 1)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

const MenuItem* ScriptedUi::findMenuItem(const std::vector<std::string>& path) const {
    if (path.size() < 2) {
        return nullptr;
    }
    for (const Menu& menu : menuBar_.menus) {
        if (menu.caption == path[0]) {
            if (const MenuItem* found = FindIn(menu.items, path, 1)) {
                return found;
            }
        }
    }
    return nullptr;
}

const PushButton* ScriptedUi::findButton(const std::string& caption) const {
    for (const PushButton& b : buttons_) {
        if (b.caption == caption) {
            return &b;
        }
    }
    return nullptr;
}

} // namespace vna::platform::fake
