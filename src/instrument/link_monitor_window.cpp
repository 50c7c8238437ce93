// The diagnostic monitor window over the link log.

#include <algorithm>
#include <memory>

#include "core/atomic_file.h"
#include "core/path_split.h"
#include "core/program.h"
#include "instrument/link_log.h"
#include "platform/canvas.h"

namespace vna::instrument {

namespace {

constexpr int MonitorWidth = 900;
constexpr int MonitorHeight = 440;
constexpr int TextTop = 32;
constexpr int TextLeft = 6;
constexpr std::uint32_t ShowEveryMs = 200;
// Events kept for "Save Log": about half an hour of the instrument at rest, a few sweeps of
// 300 points.
constexpr std::size_t MonitorCapacity = 4000;
enum MonitorButton { ButtonClear = 1, ButtonSave };

class MonitorWindow final : public LinkLog {
public:
    MonitorWindow(core::Program& p, std::unique_ptr<platform::ChartWindow> w)
        : LinkLog(p, MonitorCapacity), p_(p), window_(std::move(w)) {
        std::vector<platform::PushButton> buttons;
        const char* captions[] = {"Clear", "Save Log"};
        for (int i = 0; i < 2; ++i) {
            platform::PushButton b;
            b.caption = captions[i];
            b.id = i == 0 ? ButtonClear : ButtonSave;
            b.x = 6 + 84 * i;
            b.y = 3;
            b.width = 78;
            b.height = 23;
            b.color = 0xe1e1e1;
            b.fontFace = "arial";
            buttons.push_back(b);
        }
        window_->setButtons(buttons);
        window_->setEventHandler([this](const platform::Event& e) {
            if (e.type == platform::EventType::Button && e.id == ButtonClear) {
                clear();
                redraw();
            } else if (e.type == platform::EventType::Button && e.id == ButtonSave) {
                SaveTextAs(p_, " Save Monitor Log", "monitor_log.txt", lines());
            }
        });
        platform::Canvas& c = window_->canvas();
        c.setFont("Courier New", 9, 400);
        lineHeight_ = std::max(c.textExtent("Xg").height, 8);
        rows_ = std::max((c.height() - TextTop) / lineHeight_, 2);
        redraw();
    }

    bool open() const { return window_ && window_->isOpen(); }
    void raise() { window_->raise(); }

    void idle() {
        if (pending_ > 0 && window_->isOpen()) {
            show();
        }
    }

protected:
    // The events are drawn in batches, a few times a second: text is what costs, and no one reads
    // faster. The rest of a batch is drawn when the program next waits for the user.
    void added() override {
        if (!window_->isOpen()) {
            return;
        }
        ++pending_;
        if (p_.clock.tickMs() - lastShown_ >= ShowEveryMs) {
            show();
        }
    }

private:
    // Draws the lines not shown yet below the last one, or, when they do not fit, the newest of
    // them from the top of the page (jump scroll: at most a page of text per batch).
    void show() {
        lastShown_ = p_.clock.tickMs();
        const int n = static_cast<int>(std::min<std::size_t>(pending_, size()));
        pending_ = 0;
        if (row_ + n > rows_) {
            redraw(std::max(std::min(n, rows_), rows_ / 2));
            return;
        }
        platform::Canvas& c = window_->canvas();
        for (int i = n; i > 0; --i) {
            drawLine(c, size() - static_cast<std::size_t>(i), row_++);
        }
        c.flush();
    }

    void drawLine(platform::Canvas& c, std::size_t index, int row) {
        const int y = TextTop + row * lineHeight_;
        c.fillRect(0, y, c.width(), y + lineHeight_, platform::MakeRgb(255, 255, 255));
        c.text(TextLeft, y, line(index));
    }

    // Shows the newest `keep` lines from the top (all that fit when 0).
    void redraw(int keep = 0) {
        platform::Canvas& c = window_->canvas();
        c.fillRect(0, 0, c.width(), c.height(), platform::MakeRgb(255, 255, 255));
        c.setFont("Courier New", 9, 400);
        c.setTextBackground(false, platform::MakeRgb(255, 255, 255));
        c.setTextColor(p_.st.monitorTextColor);
        c.text(180, 8, "Exchanges with the instrument (" + std::to_string(seen()) + ")");
        const std::size_t n =
            std::min<std::size_t>(size(), static_cast<std::size_t>(keep > 0 ? keep : rows_));
        row_ = 0;
        for (std::size_t i = size() - n; i < size(); ++i) {
            drawLine(c, i, row_++);
        }
        c.flush();
    }

    core::Program& p_;
    std::unique_ptr<platform::ChartWindow> window_;
    int lineHeight_ = 14;
    int rows_ = 2;
    int row_ = 0;
    std::size_t pending_ = 0;
    std::uint32_t lastShown_ = 0;
};

} // namespace

bool SaveTextAs(core::Program& p, const std::string& title, const std::string& defaultName,
                const std::vector<std::string>& lines) {
    platform::FileDialog dialog;
    dialog.title = title;
    dialog.filter = "Text Files(*.txt)|*.txt||";
    dialog.defaultExtension = "txt";
    dialog.initialFolder = core::DialogFolder(p.st.lastDialogFolder, p.st.ProgramFolder);
    dialog.initialName = defaultName;
    const auto chosen = p.ui.saveFile(dialog);
    if (!chosen || chosen->size() <= 2) {
        return false;
    }
    std::string text;
    for (const std::string& l : lines) {
        text += l + "\r\n";
    }
    std::string error;
    if (!core::WriteFileAtomic(*chosen, text, &error)) {
        p.ui.message("The file\r\n" + *chosen + "\r\ncould not be written: " + error, title);
        return false;
    }
    p.st.lastDialogFolder = core::SplitPath(*chosen).folder;
    return true;
}

void OpenLinkMonitor(core::Program& p) {
    if (auto* open = dynamic_cast<MonitorWindow*>(p.linkMonitor.get()); open && open->open()) {
        open->raise();
        return;
    }
    platform::ChartWindowSpec spec;
    spec.title = "Diagnostic Monitor";
    spec.x = 40;
    spec.y = 120;
    spec.width = MonitorWidth;
    spec.height = MonitorHeight;
    auto w = p.ui.openChartWindow(spec);
    if (!w) {
        return;
    }
    p.linkMonitor = std::make_unique<MonitorWindow>(p, std::move(w));
}

void CloseLinkMonitor(core::Program& p) {
    if (dynamic_cast<MonitorWindow*>(p.linkMonitor.get())) {
        p.linkMonitor.reset();
    }
}

void ShowPendingLinkEvents(core::Program& p) {
    if (auto* open = dynamic_cast<MonitorWindow*>(p.linkMonitor.get())) {
        open->idle();
    }
}

bool LinkMonitorOpen(const core::Program& p) {
    const auto* open = dynamic_cast<const MonitorWindow*>(p.linkMonitor.get());
    return open && open->open();
}

} // namespace vna::instrument
