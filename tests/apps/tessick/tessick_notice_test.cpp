// What the logging window tells the operator while it records: never in a message box (its
// modal loop would hold the poll, and with it every reading and fix, until it is closed), and
// the upload address checked before it is stored.
#include <QAction>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <thread>

#include "logger/tessick_menu.h"
#include "tests/apps/tessick/tessick_gui_support.h"
#include "tests/support/gga_sentences.h"
#include "tests/support/http_test_server.h"

namespace tessick_test {
namespace {

// Notes every modal window that opens and closes it after a second, so that a test of a
// window that wrongly opens one fails instead of waiting for a person.
class CModalWatch {
public:
    CModalWatch() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) {
                open_.invalidate();
                return;
            }
            if (!open_.isValid()) {
                open_.start();
                auto* box = qobject_cast<QMessageBox*>(modal);
                seen.push_back((box != nullptr ? box->text() : modal->windowTitle()).toStdString());
            } else if (open_.elapsed() > 1000) {
                modal->close();
            }
        });
        timer_.start();
    }
    std::vector<std::string> seen;

private:
    QTimer timer_;
    QElapsedTimer open_;
};

// A device that sends as it likes, the window reading or not.
class CFeed : public testpty::CPtyPair {
public:
    bool Write(std::string_view bytes) { return WriteAll(bytes); }
};

// The poll timer runs until pred holds, at most ms milliseconds.
template <class Pred>
bool RunUntil(Pred pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms) QTest::qWait(10);
    return pred();
}

class TessickNotice : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        testhttp::ClearProxyEnvironment();
        ASSERT_TRUE(server.Ready());
    }
    void TearDown() override {
        server.Stop();  // a hanging request lets go
        WindowTest::TearDown();
    }
    QString StatusText() { return Form().findChild<QLabel*>(QString::number(kIdcStatus))->text(); }
    testhttp::Server server;
};

TEST_F(TessickNotice, AnUploadSwitchedOffWhileRecordingHoldsNoReadingBack) {
    server.Always({200, "", true});
    const struct {
        const char* name;
        std::string url;
    } services[] = {
        {"hanging", server.URL("/up.php")},
        {"refusing", "http://127.0.0.1:" + std::to_string(testhttp::ClosedPort()) + "/up.php"},
    };
    const std::string gga = std::string(gga_table::kCases[0].line) + "\r\n";
    for (const auto& service : services) {
        SCOPED_TRACE(service.name);
        window.reset();
        WriteSettingString("sRegistrationURL", service.url);
        Make();
        CFeed console, gps;
        StartGantrel(console);
        AnswerPort(gps.Path());
        QTest::mouseClick(&Big(kIdcGPS), Qt::LeftButton);
        ASSERT_EQ(S().bGPSStarted, 1);
        ASSERT_TRUE(W().RunCommand(kCmdUpload));
        Key(Qt::Key_M);
        ASSERT_EQ(S().iRecordState, 1);
        const fs::path file = S().sSurveyPath[kFirstInstrument];

        // From here on a message would be a real box, as the operator would see it. The
        // instrument and the GPS go on sending whatever the window does: a reading and a fix
        // every 200 ms (the fix 50 ms after the reading), from their own thread.
        P().SetScripted(false);
        CModalWatch watch;
        std::atomic<bool> bStop{false};
        std::atomic<int> nSent{0};
        std::thread devices([&] {
            while (!bStop) {
                console.Write(Console(1.0 + nSent));
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                gps.Write(gga);
                ++nSent;
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
            }
        });
        RunUntil([&] { return S().bUpload == 0; }, 10000);
        QTest::qWait(1500);
        bStop = true;
        devices.join();
        const int n = nSent;
        EXPECT_TRUE(RunUntil(
            [&] {
                const auto records = Records(file);
                return CountKind(records, "30") == n && CountKind(records, "21") == n;
            },
            2000));
        EXPECT_EQ(S().bUpload, 0) << "three failures switched it off";
        EXPECT_EQ(watch.seen, std::vector<std::string>{});
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(StatusText().contains("Upload error ! Stopped data uploading."))
            << StatusText().toStdString();
        EXPECT_TRUE(Form().findChild<QLabel*>(QString::number(kIdcStatus))->isVisible());
        EXPECT_FALSE(W().Action(kCmdUpload)->isChecked());

        // In the file reading and fix alternate as they came, each with its own time.
        std::vector<std::string> kinds;
        for (const auto& r : Records(file))
            if (r.rfind("30 ", 0) == 0 || r.rfind("21 ", 0) == 0) kinds.push_back(r.substr(0, 2));
        ASSERT_EQ(kinds.size(), static_cast<size_t>(2 * n));
        for (size_t k = 0; k < kinds.size(); ++k) EXPECT_EQ(kinds[k], k % 2 ? "21" : "30") << k;
        ASSERT_EQ(S().readings.Count(), n);
        for (int k = 1; k < n; ++k) {
            const auto& a = S().readings[static_cast<size_t>(k - 1)];
            const auto& b = S().readings[static_cast<size_t>(k)];
            const std::int64_t ms = (b.time - a.time) * 1000 + b.iMilliSecond - a.iMilliSecond;
            EXPECT_GE(ms, 100) << "reading " << k << " taken when it came";
        }

        // The E key ends the line: no box takes it.
        Key(Qt::Key_E);
        EXPECT_EQ(S().iRecordState, 0);
        P().SetScripted(true);
    }
}

TEST_F(TessickNotice, TheUploadAddressIsRefusedAsTessickCliRefusesIt) {
    const std::string stored = server.URL("/up.php");
    WriteSettingString("sRegistrationURL", stored);
    Make();
    P().PushAnswer([](QDialog& d) {
        SetFieldText(d, "value", "notaurl");
        ClickButton(d, OkText());
    });
    // The refusal is said and the dialog comes back; cancelled (no answer queued) it stores
    // nothing.
    W().RunCommand(kCmdSetupDatabase);
    EXPECT_EQ(P().Messages(),
              std::vector<std::string>{"'notaurl' is no http:// or https:// address"});
    EXPECT_EQ(ReadSettingString("sRegistrationURL", ""), stored);
    EXPECT_EQ(W().Uploader()->URL(), stored);
    EXPECT_EQ(P().History().back().sText, "URL to uploading data") << "asked again";
}

}  // namespace
}  // namespace tessick_test
