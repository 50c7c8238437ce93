// Every menu item of every state of the main window, clicked through the real Qt menus on the
// simulated unit: each one must do something the user can see (a dialog or a window, a message, a
// changed setting, check mark or picture). A silent item is a defect.

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>

#include "commands/commands.h"
#include "commands/menus.h"
#include "files/init_file.h"
#include "gui_rig.h"
#include "platform/qt/main_window.h"
#include "sim/dut.h"
#include "sim/sim_cal.h"
#include "sim/sim_serial_port.h"

using namespace vna;

namespace {

struct WalkRig : test::GuiRigOn<sim::SimSerialPort> {
    WalkRig() {
        serial.unit.dut = *sim::ParseDut("rlc-series:r=30,l=1.2u,c=80p");
        const std::string cal = dir.file("unit.acal");
        EXPECT_TRUE(sim::WriteUnitCalFile(serial.unit, cal, clock.now()));
        StartWithInstrument(cal);
    }
};

// Closes every dialog and secondary window that opens, counting them, and ends a running
// measurement loop with a key after a while, as a user would.
class Closer {
public:
    explicit Closer(WalkRig& rig) : rig_(rig) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start();
    }
    int seen = 0;
    QStringList messages;

private:
    void tick() {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible() || top == static_cast<QWidget*>(rig_.ui.mainWindow()) ||
                qobject_cast<QMenu*>(top)) {
                continue;
            }
            ++seen;
            if (auto* box = qobject_cast<QMessageBox*>(top)) {
                // The answer that changes least: Cancel or No where the box has one.
                messages << box->text();
                if (auto* escape = qobject_cast<QPushButton*>(box->escapeButton())) {
                    escape->click();
                } else {
                    box->done(QMessageBox::Ok);
                }
            } else if (auto* d = qobject_cast<QDialog*>(top)) {
                d->reject();
            } else {
                top->close();
            }
            return;
        }
        if (rig_.st().SweepRunning && ++loopTicks_ > 40) {
            loopTicks_ = 0;
            commands::MainWindowEvent(rig_.p(), platform::Event{platform::EventType::KeyDown, 'X', 0, 0, 0});
        }
    }
    WalkRig& rig_;
    QTimer timer_;
    int loopTicks_ = 0;
};

// What the user can see of the program, apart from dialogs: the picture, the menus with their check
// marks and enabling, and the settings.
std::string Looks(WalkRig& rig) {
    std::string s =
        std::to_string(qHashBits(rig.image().constBits(), static_cast<size_t>(rig.image().sizeInBytes())));
    std::function<void(QMenu*)> menu = [&](QMenu* m) {
        for (QAction* a : m->actions()) {
            s += a->text().toStdString() + (a->isChecked() ? "+" : "-") + (a->isEnabled() ? "e" : "d");
            if (a->menu()) {
                menu(a->menu());
            }
        }
    };
    for (QAction* a : rig.window().menuBar()->actions()) {
        s += "|" + a->text().toStdString() + (a->isEnabled() ? "e" : "d");
        if (a->menu()) {
            menu(a->menu());
        }
    }
    const core::AppState& st = rig.st();
    const int decimals = st.NumDecimals;
    s += files::InitFileText(rig.p(), 0);
    rig.st().NumDecimals = decimals;
    for (int v : {st.DiagMode, st.DiagSwitch1, st.DiagSwitch2, st.DiagSwitch3, st.DiagSwitch4, st.TdrActive,
                  st.PortB_on, st.RefToAntenna, st.ExtensionFlag}) {
        s += std::to_string(v);
    }
    // The TDR view's own settings, which its menu switches (they show when the view is drawn).
    for (int v : {st.tdrHighRes, st.tdrLinearZ, st.tdrShowRho, st.tdrLines, st.tdrMetres, st.tdrSmoothing}) {
        s += std::to_string(v);
    }
    for (double v : {st.myvar1, st.myvar2, st.myvar3, st.myvar4, st.Z0real, st.PortB_Delay, st.freq}) {
        s += std::to_string(v);
    }
    return s;
}

// The leaf items of the menu bar as caption paths, enabled ones only.
std::vector<QStringList> Items(QMenuBar* bar) {
    std::vector<QStringList> items;
    std::function<void(QMenu*, QStringList)> walk = [&](QMenu* m, QStringList path) {
        for (QAction* a : m->actions()) {
            if (a->isSeparator() || !a->isEnabled()) {
                continue;
            }
            if (a->menu()) {
                walk(a->menu(), path + QStringList{a->text()});
            } else {
                items.push_back(path + QStringList{a->text()});
            }
        }
    };
    for (QAction* a : bar->actions()) {
        if (a->menu() && a->isEnabled()) {
            walk(a->menu(), {a->text()});
        }
    }
    return items;
}

QAction* Find(QMenuBar* bar, const QStringList& path) {
    QList<QAction*> actions = bar->actions();
    QAction* found = nullptr;
    for (const QString& caption : path) {
        found = nullptr;
        for (QAction* a : actions) {
            if (a->text() == caption) {
                found = a;
            }
        }
        if (!found) {
            return nullptr;
        }
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
    }
    return found;
}

// Clicks every item of the present state; returns the items that showed nothing.
QStringList Walk(WalkRig& rig, Closer& closer, const std::function<void()>& state, QStringList& notYet) {
    QStringList silent;
    state();
    for (const QStringList& path : Items(rig.window().menuBar())) {
        const QString name = path.join(" > ");
        if (path.last().startsWith("Quit") || path.last() == "DC Power Off") {
            continue; // the end of the program and of the instrument: tested elsewhere
        }
        state();
        rig.Pump();
        QAction* a = Find(rig.window().menuBar(), path);
        if (!a) {
            silent << name + " (gone)";
            continue;
        }
        // A checked item chosen again (the baud rate in use, the gain set) has nothing to change.
        const bool checked = a->isChecked();
        const std::string before = Looks(rig);
        const int seen = closer.seen;
        const int messages = static_cast<int>(closer.messages.size());
        a->trigger();
        rig.Pump();
        for (int i = 0; i < 20 && closer.seen == seen; ++i) {
            QTest::qWait(5);
        }
        for (int i = messages; i < closer.messages.size(); ++i) {
            if (closer.messages[i].contains("not available yet")) {
                notYet << name;
            }
        }
        if (closer.seen == seen && Looks(rig) == before && !checked) {
            silent << name;
        }
        rig.st().SweepRunning = 0;
    }
    return silent;
}

} // namespace

TEST(MenuWalk, EveryItemOfEveryStateDoesSomethingVisible) {
    WalkRig rig;
    Closer closer(rig);
    QStringList notYet;
    const auto portA = [&] {
        rig.st().DiagMode = 0;
        rig.st().TdrActive = 0;
        rig.st().PortB_on = 0;
        commands::BuildMenus(rig.p());
    };
    const auto portB = [&] {
        rig.st().DiagMode = 0;
        rig.st().TdrActive = 0;
        rig.st().portb_cal_ok = 1;
        rig.st().PortB_on = 1;
        commands::BuildMenus(rig.p());
    };
    const auto tdr = [&] {
        rig.st().DiagMode = 0;
        rig.st().PortB_on = 0;
        rig.st().TdrActive = 1;
        commands::BuildMenus(rig.p());
    };
    const auto diagnostic = [&] {
        rig.st().DiagMode = 1;
        rig.st().TdrActive = 0;
        rig.st().PortB_on = 1;
        commands::BuildMenus(rig.p());
    };
    for (const auto& [name, state] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"Port A", portA}, {"Port B", portB}, {"TDR", tdr}, {"diagnostic mode", diagnostic}}) {
        SCOPED_TRACE(name);
        const QStringList silent = Walk(rig, closer, state, notYet);
        EXPECT_TRUE(silent.isEmpty()) << silent.join("\n").toStdString();
    }
    notYet.removeDuplicates();
    if (!notYet.isEmpty()) {
        std::cout << "Items that say \"not available yet\":\n  " << notYet.join("\n  ").toStdString() << "\n";
    }
}
