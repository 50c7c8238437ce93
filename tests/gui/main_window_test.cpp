// The real main window offscreen: menus and check marks as Qt shows them, the button row, Halt and
// Quit, the saved bitmap, resizing, and commands clicked in odd states.

#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "commands/command_ids.h"
#include "commands/commands.h"
#include "commands/menu_model.h"
#include "commands/menus.h"
#include "gui_rig.h"

using namespace vna;

namespace {

QAction* FindAction(QWidget* menuOwner, const QStringList& path) {
    QList<QAction*> actions = menuOwner->actions();
    QAction* found = nullptr;
    for (int depth = 0; depth < path.size(); ++depth) {
        found = nullptr;
        for (QAction* a : actions) {
            if (a->text() == path[depth]) {
                found = a;
                break;
            }
        }
        if (!found) {
            return nullptr;
        }
        if (depth + 1 < path.size()) {
            if (!found->menu()) {
                return nullptr;
            }
            actions = found->menu()->actions();
        }
    }
    return found;
}

QPushButton* FindButton(test::GuiRig& rig, const QString& caption) {
    for (QPushButton* b : rig.window().buttons()) {
        if (b->text() == caption && b->isVisible()) {
            return b;
        }
    }
    return nullptr;
}

// Answers every modal dialog that opens (message boxes with their default button), noting their
// texts, so a test never hangs on a dialog.
struct DialogCloser {
    QStringList texts;
    QTimer timer;
    std::function<bool(QWidget*)> handle;
    DialogCloser() {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            // Offscreen, a dialog may never become the active window: look for any visible one.
            QWidget* w = QApplication::activeModalWidget();
            for (QWidget* top : QApplication::topLevelWidgets()) {
                if (!w && top->isVisible() && qobject_cast<QDialog*>(top)) {
                    w = top;
                }
            }
            if (!w) {
                return;
            }
            if (handle && handle(w)) {
                return;
            }
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            } else if (auto* d = qobject_cast<QDialog*>(w)) {
                d->reject();
            }
        });
        timer.start();
    }
};

} // namespace

TEST(MainWindow, MenusAndCheckMarksFollowTheState) {
    test::GuiRig rig;
    rig.StartDemo();
    QMenuBar* bar = rig.window().menuBar();
    QStringList menus;
    for (QAction* a : bar->actions()) {
        menus << a->text();
    }
    EXPECT_EQ(
        menus.join("|").toStdString(),
        "File|Functions|Calibrate|Setup|Markers|Bands|Utilities|Port B Functions|Multi Channel|TDR|Help");
    ASSERT_NE(FindAction(bar, {"File", "Load Port A Graph"}), nullptr);
    // The keys that do what an item does are shown beside it, bound to nothing: the window takes
    // its keys itself (and ignores them during a sweep).
    for (const char* keyed : {"Swap Graphs\tUp/Down", "Print\tP", "Quit\tQ"}) {
        const QAction* item = FindAction(bar, {"File", keyed});
        ASSERT_NE(item, nullptr) << keyed;
        EXPECT_TRUE(item->shortcut().isEmpty()) << keyed;
    }
    QAction* low = FindAction(bar, {"Setup", "Power Control", "Low current mode"});
    ASSERT_NE(low, nullptr);
    EXPECT_FALSE(low->isChecked());
    EXPECT_TRUE(FindAction(bar, {"Setup", "Cursor Normally ON"})->isChecked());
    EXPECT_FALSE(FindAction(bar, {"Port B Functions"})->isEnabled());

    // Diagnostic mode, Port B on with the weight at 0.5, a band starting at 0, TDR on.
    rig.st().DiagMode = 1;
    rig.st().PortB_on = 1;
    rig.st().avgweight = 0.5;
    rig.st().DdsPowerOn = 0;
    rig.st().bandTable[2].start = 0;
    commands::BuildMenus(rig.p());
    rig.Pump();
    bar = rig.window().menuBar();
    EXPECT_NE(FindAction(bar, {"File", "Load Port B Graph"}), nullptr);
    EXPECT_TRUE(FindAction(bar, {"Setup", "Power Control", "Low current mode"})->isChecked());
    EXPECT_TRUE(FindAction(bar, {"Port B Functions", "Averaging Weight", "Med "})->isChecked());
    EXPECT_FALSE(FindAction(bar, {"Port B Functions", "Averaging Weight", "Low "})->isChecked());
    EXPECT_FALSE(FindAction(bar, {"Port B Functions", "Averaging Weight", "High"})->isChecked());
    EXPECT_NE(FindAction(bar, {"My Vars", "myvar1"}), nullptr);
    EXPECT_NE(FindAction(bar, {"Setup", "Debug Toggle"}), nullptr);
    EXPECT_FALSE(FindAction(bar, {"Bands", " 80_meters"})->isEnabled());
    EXPECT_TRUE(FindAction(bar, {"Bands", " 60_meters"})->isEnabled());
    EXPECT_NE(FindButton(rig, "Scan B"), nullptr);

    rig.st().TdrActive = 1;
    commands::BuildMenus(rig.p());
    rig.Pump();
    EXPECT_NE(FindAction(rig.window().menuBar(), {"File", "Save TDR Graph"}), nullptr);
    ASSERT_NE(FindButton(rig, "Scan TDR"), nullptr);
    EXPECT_FALSE(FindButton(rig, "Port A/B")->isEnabled());
}

TEST(MainWindow, MenuCommandsRunThroughTheWindowAndRebuildTheirMenu) {
    test::GuiRig rig;
    rig.StartDemo();
    QAction* voice = FindAction(rig.window().menuBar(), {"Setup", "Audio Out", "Voice Output"});
    ASSERT_NE(voice, nullptr);
    voice->trigger();
    rig.Pump();
    EXPECT_EQ(rig.st().voice, 1);
    EXPECT_TRUE(FindAction(rig.window().menuBar(), {"Setup", "Audio Out", "Voice Output"})->isChecked());
    // The old bar was replaced while its own action ran; the window still works.
    FindAction(rig.window().menuBar(), {"Setup", "Audio Out", "Voice Output"})->trigger();
    rig.Pump();
    EXPECT_EQ(rig.st().voice, 0);
}

TEST(MainWindow, ButtonRowGeometryAndHaltAndQuitDuringASweep) {
    test::GuiRig rig;
    rig.StartDemo();
    QPushButton* scan = FindButton(rig, "Scan A");
    QPushButton* halt = FindButton(rig, "Halt");
    QPushButton* quit = FindButton(rig, "Quit");
    ASSERT_TRUE(scan && halt && quit);
    EXPECT_EQ(scan->x(), rig.p().display.g.box.left + scan->width());
    EXPECT_EQ(scan->y(), commands::ButtonRowMargin) << "in the row's own strip above the graph";
    EXPECT_EQ(scan->width(), (rig.st().WinWidth - rig.p().display.g.box.left) / 12 - 1);
    EXPECT_EQ(FindButton(rig, "Status")->width(), scan->width() + 5);
    EXPECT_FALSE(scan->toolTip().isEmpty());

    rig.st().SweepRunning = 1;
    rig.st().recycle = 1;
    QTest::mouseClick(scan, Qt::LeftButton);
    rig.Pump();
    EXPECT_EQ(rig.st().SweepRunning, 1) << "Scan is ignored while a sweep runs";
    QTest::mouseClick(halt, Qt::LeftButton);
    rig.Pump();
    EXPECT_EQ(rig.st().SweepRunning, 0);
    EXPECT_EQ(rig.st().recycle, 0);
    EXPECT_EQ(rig.st().ProgramRunning, 1);
    rig.st().SweepRunning = 1;
    QTest::mouseClick(quit, Qt::LeftButton);
    rig.Pump();
    EXPECT_EQ(rig.st().ProgramRunning, 0);
    EXPECT_EQ(rig.st().SweepRunning, 0);
}

TEST(MainWindow, SavedBitmapOpensAsAnImageOfTheClientArea) {
    test::GuiRig rig;
    rig.StartDemo();
    const QString path = QString::fromStdString(rig.dir.file("graph.bmp"));
    DialogCloser closer;
    closer.handle = [&](QWidget* w) {
        if (auto* d = qobject_cast<QFileDialog*>(w)) {
            EXPECT_EQ(d->windowTitle(), " Save BitMap");
            // Type the name, as a user would: selectFile() is lost while the folder still loads.
            if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) {
                edit->setText(path);
            }
            if (d->selectedFiles().value(0) != path) {
                return true; // not ready yet: again at the next tick
            }
            // Past QFileDialog's own checks of the name, which wait for its file-system model.
            static_cast<QDialog*>(d)->QDialog::accept();
            return true;
        }
        return false;
    };
    commands::RunCommand(rig.p(), commands::cmd::SaveImageBitmap);
    rig.Pump();
    QImage saved(path);
    ASSERT_FALSE(saved.isNull()) << "no bitmap at " << path.toStdString()
                                 << "; messages: " << closer.texts.join(" / ").toStdString();
    const QImage& client = rig.image();
    EXPECT_EQ(saved.width(), client.width());
    EXPECT_EQ(saved.height(), client.height() - 50);
    // The picture is the graph: the same pixels as the window's backing store.
    const int x = rig.p().display.g.box.left;
    const int y = (rig.p().display.g.box.top + rig.p().display.g.box.bottom) / 2;
    EXPECT_EQ(QColor(saved.pixel(x, y)), QColor(client.pixel(x, y)));
    EXPECT_EQ(rig.st().picture_file, path.toStdString());
}

TEST(MainWindow, ResizeToOnePixelAndBeyondTheScreenKeepsTheProgramRunning) {
    test::GuiRig rig;
    rig.StartDemo();
    const int w = rig.st().WinWidth;
    rig.window().resize(1, 1);
    rig.Pump();
    QTest::mouseMove(rig.window().client(), QPoint(0, 0));
    rig.Pump();
    EXPECT_EQ(rig.st().WinWidth, w) << "a window narrower than 201 pixels is not taken as the graph size";
    EXPECT_EQ(rig.st().ProgramRunning, 1);

    rig.window().resize(6000, 5000);
    rig.Pump();
    rig.ui.handlerForTests()(platform::Event{platform::EventType::MouseMove, 0, 5, 5, 0});
    rig.Pump();
    EXPECT_LE(rig.st().WinWidth, rig.st().ScreenWidth);
    EXPECT_LE(rig.st().WinHeight, rig.st().ScreenHeight - 35);
    const auto& b = rig.p().display.g.box;
    EXPECT_LT(b.right, rig.st().WinWidth);
    EXPECT_LT(b.bottom, rig.st().WinHeight);
    EXPECT_EQ(rig.st().ProgramRunning, 1);
}

TEST(MainWindow, HardwareCommandsInDemoModeSayWhyAndDoNothing) {
    test::GuiRig rig;
    rig.StartDemo();
    DialogCloser closer;
    for (int id : {commands::cmd::BattAutoOff, commands::cmd::StandardCal, commands::cmd::ConstantFreq,
                   commands::cmd::RfGainHigh}) {
        commands::RunCommand(rig.p(), id);
        rig.Pump();
    }
    EXPECT_EQ(closer.texts.size(), 4);
    for (const QString& t : closer.texts) {
        EXPECT_EQ(t.toStdString(), "This function requires the hardware");
    }
    EXPECT_EQ(rig.st().autopoweroff, 0);
    // The Port A/B button without a Port B calibration, clicked anyway.
    rig.st().portb_cal_ok = 0;
    commands::RunCommand(rig.p(), commands::cmd::ButtonPortAB);
    rig.Pump();
    EXPECT_EQ(closer.texts.back().toStdString(), "Port B is not calibrated.");
    EXPECT_EQ(rig.st().PortB_on, 0);
    EXPECT_EQ(rig.st().ProgramRunning, 1);
}
