#pragma once

#include <QMainWindow>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/menu_model.h"

#include "platform/events.h"
#include "platform/qt/qt_canvas.h"

namespace vna::platform::qt {

// The client area: paints the canvas's backing store and turns keys and mouse input into the
// program's events.
class CanvasWidget final : public QWidget {
    Q_OBJECT
public:
    CanvasWidget(QtCanvas& canvas, std::function<void(const Event&)>& handler, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void send(const Event& e);

    QtCanvas& canvas_;
    std::function<void(const Event&)>& handler_;
};

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(int width, int height, std::function<void(const Event&)>& handler);

    QtCanvas& canvas() { return canvas_; }
    CanvasWidget* client() { return client_; }
    // Closes the window for good (the close box itself only asks the program to quit).
    void closeForGood();
    // Lays out the button row in its strip between the menu bar and the client area, so no
    // button ever hides a part of the graph; clicks go to `clicked` with the button's id.
    void setButtons(const std::vector<PushButton>& buttons, const std::function<void(int)>& clicked);
    const std::vector<QPushButton*>& buttons() const { return buttons_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QtCanvas canvas_;
    std::function<void(const Event&)>& handler_;
    QWidget* buttonRow_;
    CanvasWidget* client_;
    bool closing_ = false;
    std::vector<QPushButton*> buttons_;
    std::vector<int> buttonIds_;
    std::function<void(int)> clicked_;
};

// Caption, place, font, colour, enabling and tool tip of a push button as the program describes it.
void StyleButton(QPushButton* b, const PushButton& spec);

// The virtual key code of a Qt key event (letters and digits as their upper-case character,
// keypad digits as the numeric-keypad codes), or 0 for keys the program does not use.
int VirtualKey(int qtKey, bool keypad);

} // namespace vna::platform::qt
