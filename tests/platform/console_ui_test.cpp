// The terminal Ui of the command-line tool: its questions answered from an input stream.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/console_ui.h"

using namespace vna::platform;

namespace {

// A Ui reading `typed` as the user's keystrokes and writing to a buffer.
struct Terminal {
    explicit Terminal(const std::string& typed) : text(typed) {
        in = ::fmemopen(text.data(), text.size(), "r");
        out = ::open_memstream(&outText, &outSize);
        ui = std::make_unique<ConsoleUi>(out);
        ui->input = in;
    }
    ~Terminal() {
        std::fclose(in);
        std::fclose(out);
        std::free(outText);
    }
    std::string shown() {
        std::fflush(out);
        return std::string(outText, outSize);
    }
    std::string text;
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
    char* outText = nullptr;
    std::size_t outSize = 0;
    std::unique_ptr<ConsoleUi> ui;
    // The port as the program sees it (with the defaults of its declarations).
    Ui& port() { return *ui; }
};

} // namespace

TEST(ConsoleUi, PromptsQuestionsAndEntriesAreAnsweredOnTheTerminal) {
    Terminal t("\nq\nmaybe\nY\nn\n\nt\nc\n\n 75 \nq\n");
    EXPECT_TRUE(t.ui->prompt(" Attach short circuit to the Port A connector.  ", " Standard Cal Port A"));
    EXPECT_FALSE(t.ui->prompt(" Attach open circuit to the Port A connector.  ", " Standard Cal Port A "));
    // A line that is no answer is asked again.
    EXPECT_EQ(t.port().message("Use it?", " Cal Problem", Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(t.port().message("Use it?", " Cal Problem", Buttons::YesNo), Answer::No);
    EXPECT_EQ(t.port().message("Go on?", " Cal Load Warning ", Buttons::CancelTryContinue), Answer::Continue);
    EXPECT_EQ(t.port().message("Go on?", " Cal Load Warning ", Buttons::CancelTryContinue), Answer::Retry);
    EXPECT_EQ(t.port().message("Go on?", " Cal Load Warning ", Buttons::CancelTryContinue), Answer::Cancel);
    // An empty entry keeps the value shown; "q" cancels.
    EXPECT_EQ(t.ui->enterText(" Cal Standard (ohms)", " Cal Standard (ohms)", "50"), std::string("50"));
    EXPECT_EQ(t.ui->enterText(" Cal Standard (ohms)", " Cal Standard (ohms)", "50"), std::string(" 75 "));
    EXPECT_EQ(t.ui->enterText(" Cal Standard (ohms)", " Cal Standard (ohms)", "50"), std::nullopt);
    // The end of the input is a cancel.
    EXPECT_FALSE(t.ui->prompt("More?", "x"));
    EXPECT_EQ(t.port().message("More?", "x", Buttons::YesNo), Answer::No);
    const std::string shown = t.shown();
    EXPECT_NE(shown.find("[ Standard Cal Port A]  Attach short circuit to the Port A connector.  \n"
                         "  (Enter = Continue, q = Cancel) "),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("(y = Yes, n = No) "), std::string::npos);
    EXPECT_NE(shown.find("[ Cal Standard (ohms)]  Cal Standard (ohms) [50] (q = Cancel): "),
              std::string::npos);
    // A message box with only OK waits for nothing.
    EXPECT_EQ(t.port().message("Port B Cal is Complete", " Port B Cal", Buttons::Ok), Answer::Ok);
}

TEST(ConsoleUi, FormsAndTheSaveDialog) {
    Terminal t("1\n\n500p\n\n\nq\n");
    Form f;
    f.title = " Custom Cal Limits";
    for (const char* label : {"Start", "Stop", "Step"}) {
        FormField field;
        field.kind = FormField::Kind::Text;
        field.label = label;
        field.text = "9";
        f.fields.push_back(field);
    }
    EXPECT_EQ(t.ui->form(f), FormOk);
    EXPECT_EQ(f.fields[0].text, "1");
    EXPECT_EQ(f.fields[1].text, "9");
    EXPECT_EQ(f.fields[2].text, "500p");
    EXPECT_EQ(t.ui->form(f), FormCancelled);
    FileDialog d;
    d.title = " Save Calibration File";
    EXPECT_EQ(t.ui->saveFile(d), std::nullopt);
    t.ui->saveFileAnswer = "/tmp/x.acal";
    EXPECT_EQ(t.ui->saveFile(d), std::string("/tmp/x.acal"));
    // Without an input the questions take their safe answer, as before.
    ConsoleUi quiet(t.out);
    EXPECT_FALSE(quiet.prompt("p", "c"));
    EXPECT_EQ(quiet.form(f), FormCancelled);
    EXPECT_EQ(quiet.enterText("p", "c", "5"), std::nullopt);
}

TEST(ConsoleUi, TheProgressLineIsRewrittenInPlaceAndGivesWayToOtherOutput) {
    Terminal t("");
    Progress p{"Port A sweep", 40, 400, 80, 4.5, false};
    // Off unless the tool turned it on (standard error is no terminal).
    t.ui->progress(p);
    EXPECT_EQ(t.shown(), "");
    t.ui->progressLine = true;
    t.ui->progress(p);
    p.done = 400;
    p.secondsLeft = 0;
    t.ui->progress(p);
    EXPECT_EQ(t.shown(), "\rPort A sweep: 40 of 400 points, 80.0 points/s, 5 s left\x1b[K"
                         "\rPort A sweep: 400 of 400 points, 80.0 points/s, 0 s left\x1b[K");
    // A message takes the line away first, so it starts at the left edge of a clean line.
    t.port().message("Cal Data Error  freq= 1", "37453");
    EXPECT_NE(t.shown().find("\x1b[K\r\x1b[K[37453] Cal Data Error  freq= 1\n"), std::string::npos);
    // So does the end of the work, once.
    t.ui->progress(p);
    p.finished = true;
    t.ui->progress(p);
    t.ui->progress(p);
    const std::string shown = t.shown();
    EXPECT_EQ(shown.substr(shown.size() - 11), "left\x1b[K\r\x1b[K");
    EXPECT_EQ(DurationText(3725), "1 h 02 min");
    EXPECT_EQ(DurationText(125.4), "2 min 05 s");
}
