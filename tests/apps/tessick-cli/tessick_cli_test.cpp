// The headless logger: its options, and the program itself run against pseudo-terminals as
// the instrument console and the GPS, keys through a pipe or a terminal, signals, and a real
// HTTP server on 127.0.0.1 for the upload.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "apps/tessick-cli/cli_options.h"
#include "tests/support/http_test_server.h"
#include "tests/support/small_disk.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// ---------------------------------------------------------------------------------------------
// Options

std::optional<CCliOptions> Parse(std::vector<std::string> args, std::string* why = nullptr) {
    std::string error;
    auto o = ParseCliOptions(args, error);
    if (why != nullptr) *why = error;
    return o;
}

TEST(TessickCliOptions, DevicesDemonstrationsAndScript) {
    auto o = Parse({"--port", "/dev/ttyUSB0:9600", "--port2", "/dev/x:1/y", "--gps-demo", "track",
                    "--file-id", "0", "--speed", "20", "--script", "21 e; 1 m;11 M ;; 22 q"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->port->sPath, "/dev/ttyUSB0");
    EXPECT_EQ(o->port->iBaudIndex, 6) << "9600 is the seventh rate";
    EXPECT_EQ(o->port2->sPath, "/dev/x:1/y") << "a colon inside the path is no baud rate";
    EXPECT_EQ(o->port2->iBaudIndex, -1);
    EXPECT_EQ(o->gpsDemo, CliGPSDemo::Track);
    EXPECT_EQ(o->fileID, 0);
    EXPECT_EQ(o->dSpeed, 20.0);
    ASSERT_EQ(o->script.size(), 4u);
    EXPECT_EQ(o->script[0].iMs, 1000);
    EXPECT_EQ(o->script[1].key, 'm');
    EXPECT_EQ(o->script[2].key, 'e');
    EXPECT_EQ(o->script[3].iMs, 22000);

    o = Parse({"--demo", "constant", "--geometry", "10:2.5:7.5"});
    ASSERT_TRUE(o && o->geometry);
    EXPECT_EQ(o->geometry->iTransmitterIndex, 4);
    EXPECT_EQ(o->geometry->iReceiverIndex, 2);
    EXPECT_EQ(o->geometry->fRopeLength, 7.5f);

    o = Parse({"--demo", "replay:/tmp/a.txt", "--gps-demo", "replay:/tmp/b.txt", "--lang", "ja"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->demo, CliInstrumentDemo::Replay);
    EXPECT_EQ(o->demoFile, "/tmp/a.txt");
    EXPECT_EQ(o->gpsDemoFile, "/tmp/b.txt");
    EXPECT_EQ(o->iLanguage, 1);
}

TEST(TessickCliOptions, UnusableOptionsSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--port", "/dev/ttyS0:9601"}, "--port: baud rate '9601' is not one of the 15"},
        {{"--gps", "/dev/ttyS0:abc"},
         "--gps: baud rate 'abc' is not one of the 15 the logger knows: "
         "110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, "
         "38400, 56000, 57600, 115200, 128000, 256000"},
        {{"--demo", "three-layer"}, "--demo: 'three-layer' is none of"},
        {{"--port", "/dev/a", "--demo", "constant"}, "--port and --demo both"},
        {{"--demo", "constant", "--gps", "/dev/a", "--gps-registry"}, "--gps, --gps-registry"},
        {{"--demo", "constant", "--file-id", "10000"}, "--file-id: '10000' is not a number"},
        {{"--demo", "constant", "--speed", "0"}, "--speed: '0'"},
        {{"--demo", "constant", "--script", "1 m; x e"}, "--script: script item 'x e'"},
        {{"--demo", "constant", "--script", "1 z"}, "--script: script item '1 z': the key must be"},
        {{"--demo", "constant", "--prefix", "a/b"}, "--prefix: 'a/b' cannot begin"},
        {{"--demo", "constant", "--upload", "ftp://x"}, "--upload: 'ftp://x' is no http"},
        {{"--demo", "constant", "--upload", "http:///up.php"},
         "--upload: 'http:///up.php' names no host"},
        {{"--demo"}, "--demo needs a value"},
        {{"--demo", "constant", "--geometry", "5:7:5"}, "--geometry: '5:7:5' is not TX:RX:ROPE"},
        {{"--demo", "constant", "--geometry", "5:5"}, "--geometry: '5:5' is not"},
        {{"--gps-demo", "track"}, "nothing to record"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--demo", "constant", "--live", "2:8"}, "--live: \"2:8\": four to seven fields"},
        {{"--demo", "constant", "--live", "2:0:5:5"}, "--live: \"2:0:5:5\": the number of layers"},
        {{"--demo", "constant", "--live-distance", "markers:0"},
         "--live-distance: 'markers:0' is neither"},
        {{"--demo", "constant", "--live-model", ""}, "--live-model: empty file name"},
    };
    for (const auto& [args, message] : cases) {
        std::string why;
        EXPECT_FALSE(Parse(args, &why)) << message;
        EXPECT_EQ(why.rfind(message, 0), 0u) << why;
    }
    EXPECT_TRUE(Parse({"--help", "--frobnicate-later-is-not-read"}) == std::nullopt);
    EXPECT_TRUE(Parse({"--help"})->bHelp);
}

// ---------------------------------------------------------------------------------------------
// The program

// A pseudo-terminal the program opens as its serial device; the test writes into the master.
class CDevice {
public:
    CDevice() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) ADD_FAILURE() << "openpty";
        path_ = name;
        // Not inherited by the program: pulling the cable must hang the device up for it.
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
    }
    ~CDevice() {
        if (master_ >= 0) close(master_);
        close(slave_);
    }
    const std::string& Path() const { return path_; }
    void Send(const std::string& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    int Slave() const { return slave_; }
    // As if the cable was pulled.
    void Unplug() {
        close(master_);
        master_ = -1;
    }
    int Master() const { return master_; }

private:
    int master_ = -1, slave_ = -1;
    std::string path_;
};

// The program with its output on a pipe and its keys from a pipe (or a terminal given).
class CLogger {
public:
    // home, when given, is the program's home and working folder.
    CLogger(const std::vector<std::string>& args, const fs::path& config, int keysFd = -1,
            const fs::path& home = {}) {
        int out[2], in[2];
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(pipe(in), 0);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(keysFd >= 0 ? keysFd : in[0], 0);
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            close(in[1]);
            setenv("XDG_CONFIG_HOME", config.c_str(), 1);
            if (!home.empty() && (setenv("HOME", home.c_str(), 1) != 0 || chdir(home.c_str()) != 0))
                _exit(126);
            std::vector<char*> argv;
            std::string program = TESSICK_CLI;
            argv.push_back(program.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        out_ = out[0];
        in_ = in[1];
    }
    ~CLogger() {
        if (pid_ > 0 && !bExited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
        if (in_ >= 0) close(in_);
    }
    void Keys(const std::string& keys) {
        ASSERT_EQ(write(in_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    void CloseKeys() {
        close(in_);
        in_ = -1;
    }
    // Reads the output until it holds text (after what an earlier wait found).
    bool WaitFor(const std::string& text, std::chrono::seconds limit = 10s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const size_t at = output_.find(text, from_);
            if (at != std::string::npos) {
                from_ = at + text.size();
                return true;
            }
            const auto left = until - std::chrono::steady_clock::now();
            if (left <= 0s) return false;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                char buf[4096];
                const ssize_t n = read(out_, buf, sizeof buf);
                if (n <= 0) return output_.find(text, from_) != std::string::npos;
                output_.append(buf, static_cast<size_t>(n));
            }
        }
    }
    // The exit status (-1 when it did not end in time); the rest of the output is read.
    int Wait(std::chrono::seconds limit = 15s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < until) {
            WaitFor("\x01never", 0s);
            char buf[4096];
            pollfd p{out_, POLLIN, 0};
            while (poll(&p, 1, 20) > 0) {
                const ssize_t n = read(out_, buf, sizeof buf);
                if (n <= 0) break;
                output_.append(buf, static_cast<size_t>(n));
            }
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                bExited_ = true;
                for (ssize_t n; (n = read(out_, buf, sizeof buf)) > 0;)
                    output_.append(buf, static_cast<size_t>(n));
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return -1;
    }
    void Signal(int sig) { kill(pid_, sig); }
    const std::string& Output() const { return output_; }

private:
    pid_t pid_ = -1;
    int out_ = -1, in_ = -1;
    bool bExited_ = false;
    std::string output_;
    size_t from_ = 0;
};

std::vector<std::string> Records(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "CR LF: " << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::vector<double> Numbers(const std::string& record) {
    std::istringstream in(record);
    std::vector<double> v;
    for (std::string w; in >> w;) {
        if (w.find(':') != std::string::npos || w.find('/') != std::string::npos) break;
        v.push_back(std::stod(w));
    }
    return v;
}

// The numbers after a record's time and date (of a marker: 0, line, marker number, 5).
std::vector<double> Tail(const std::string& record) {
    std::istringstream in(record);
    std::vector<double> v;
    bool bAfterDate = false;
    for (std::string w; in >> w;) {
        if (w.find('/') != std::string::npos) {
            bAfterDate = true;
            continue;
        }
        if (bAfterDate) v.push_back(std::stod(w));
    }
    return v;
}

class TessickCli : public ::testing::Test {
protected:
    void SetUp() override {
        testhttp::ClearProxyEnvironment();
        dir = fs::temp_directory_path() /
              ("tessick-cli-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "data");
    }
    void TearDown() override { fs::remove_all(dir); }
    std::vector<std::string> Recording(std::vector<std::string> more) {
        std::vector<std::string> args = {
            "--folder", (dir / "data").string(), "--prefix", "t", "--file-id", "7"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    fs::path dir;
};

TEST_F(TessickCli, RecordsWhatTheConsoleAndTheGPSSendOnKeysFromAPipe) {
    CDevice console, gps;
    CLogger logger(
        Recording({"--port", console.Path() + ":9600", "--gps", gps.Path() + ":4800", "--echo"}),
        dir / "config");
    ASSERT_TRUE(logger.WaitFor("Recording to " + (dir / "data" / "t_0007.sto").string()))
        << logger.Output();
    EXPECT_TRUE(logger.Output().find(console.Path() + ": Baud rate=9600 Stop bits=1") !=
                std::string::npos)
        << logger.Output();
    logger.Keys("m\n");
    ASSERT_TRUE(logger.WaitFor(">>Start acquisition"));

    const std::string gga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    const std::vector<std::string> lines = {"12.345,121,135,55 ,23.456,98,46", "1.5,100,120,40"};
    console.Send(lines[0] + "\r\n");
    ASSERT_TRUE(logger.WaitFor(lines[0]));
    console.Send(lines[1].substr(0, 5));  // a line in two reads
    std::this_thread::sleep_for(150ms);
    console.Send(lines[1].substr(5) + "\r\n");
    ASSERT_TRUE(logger.WaitFor(lines[1]));
    gps.Send(gga + "\r\n$GPRMC,123519,A\r\n");
    ASSERT_TRUE(logger.WaitFor(gga));
    logger.Keys("m\n");
    ASSERT_TRUE(logger.WaitFor(">>Marker (1)"));
    console.Send("0.25,131,135,24\n");
    ASSERT_TRUE(logger.WaitFor("0.25,131,135,24"));
    logger.Keys("p\n");
    ASSERT_TRUE(logger.WaitFor(">>Pause start"));
    console.Send("9.75,131,135,24\n");  // paused: shown, not recorded
    ASSERT_TRUE(logger.WaitFor("9.75,131,135,24"));
    logger.Keys("p\ne\nq\n");
    ASSERT_TRUE(logger.WaitFor(">>End line"));
    ASSERT_EQ(logger.Wait(), 0) << logger.Output();
    EXPECT_NE(logger.Output().find("Lines: 1  Readings: 3  Fixes: 1  Markers: 3"),
              std::string::npos)
        << logger.Output();
    EXPECT_NE(logger.Output().find("File written: " + (dir / "data" / "t_0007.sto").string()),
              std::string::npos);

    const auto rec = Records(dir / "data" / "t_0007.sto");
    ASSERT_EQ(rec.size(), 8u);
    EXPECT_EQ(rec[0].rfind("33  GOHM", 0), 0u);
    EXPECT_EQ(Tail(rec[1]), (std::vector<double>{0, 0, 0, 5})) << "start marker: " << rec[1];
    EXPECT_EQ(Numbers(rec[2]), (std::vector<double>{30, 2, 12.345, 55, 23.456, 46}));
    EXPECT_EQ(Numbers(rec[3]), (std::vector<double>{30, 1, 1.5, 40}));
    EXPECT_EQ(rec[4].rfind("21 " + gga + "  ", 0), 0u) << rec[4];
    EXPECT_EQ(Tail(rec[5]), (std::vector<double>{0, 0, 1, 5})) << rec[5];
    EXPECT_EQ(Numbers(rec[6]), (std::vector<double>{30, 1, 0.25, 24}));
    EXPECT_EQ(Tail(rec[7]), (std::vector<double>{0, 0, 2, 5})) << "end marker: " << rec[7];

    std::ifstream ini(dir / "config" / "Sarovin Applications" / "Tessick.ini");
    std::stringstream s;
    s << ini.rdbuf();
    EXPECT_NE(s.str().find("iFileID=7"), std::string::npos) << "the logger's own settings";
    EXPECT_NE(s.str().find("FileNamePrefix=t"), std::string::npos);
}

TEST_F(TessickCli, SigtermEndsTheLineAndTheProgramCleanly) {
    CLogger logger(
        Recording({"--demo", "constant", "--gps-demo", "track", "--speed", "20", "--echo"}),
        dir / "config");
    ASSERT_TRUE(logger.WaitFor("Recording to"));
    logger.Keys("m\n");
    ASSERT_TRUE(logger.WaitFor(">>Start acquisition"));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(logger.WaitFor(" 4.244132,131,135,24")) << i;
    logger.Signal(SIGTERM);
    ASSERT_EQ(logger.Wait(), 0) << logger.Output();
    EXPECT_TRUE(logger.WaitFor("Stopped by a signal"));
    EXPECT_TRUE(logger.WaitFor(">>End line"));
    const auto rec = Records(dir / "data" / "t_0007.sto");
    ASSERT_GE(rec.size(), 6u);
    EXPECT_EQ(Tail(rec.back()), (std::vector<double>{0, 0, 1, 5}))
        << "the line is ended: " << rec.back();
    int n30 = 0, n21 = 0;
    for (const auto& r : rec) {
        n30 += r.rfind("30 5", 0) == 0;
        n21 += r.rfind("21 $GPGGA", 0) == 0;
    }
    EXPECT_GE(n30, 3);
    EXPECT_GE(n21, 3);
    EXPECT_NE(logger.Output().find("Readings: " + std::to_string(n30)), std::string::npos)
        << logger.Output();
}

TEST_F(TessickCli, KeysFromATerminalAreSinglePressesAndItsSettingsComeBack) {
    CDevice terminal;  // the program's terminal; the test types into the master
    termios before{};
    tcgetattr(terminal.Slave(), &before);
    before.c_lflag |= ICANON | ECHO;
    tcsetattr(terminal.Slave(), TCSANOW, &before);
    CLogger logger(Recording({"--demo", "constant", "--speed", "10"}), dir / "config",
                   terminal.Slave());
    ASSERT_TRUE(logger.WaitFor("Recording to"));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(write(terminal.Master(), "m", 1), 1);  // no line end
    ASSERT_TRUE(logger.WaitFor(">>Start acquisition")) << logger.Output();
    ASSERT_EQ(write(terminal.Master(), "q", 1), 1);
    ASSERT_EQ(logger.Wait(), 0) << logger.Output();
    EXPECT_TRUE(logger.WaitFor(">>End line")) << "quitting while recording ends the line";
    termios after{};
    tcgetattr(terminal.Slave(), &after);
    EXPECT_TRUE((after.c_lflag & ICANON) != 0 && (after.c_lflag & ECHO) != 0)
        << "the terminal is as it was";
}

TEST_F(TessickCli, JapaneseMessagesFromStartToSummary) {
    CLogger logger(Recording({"--demo", "constant", "--speed", "50", "--lang", "ja", "--script",
                              "0.5 m; 3.5 e; 4 q"}),
                   dir / "config");
    logger.CloseKeys();
    ASSERT_EQ(logger.Wait(), 0) << logger.Output();
    const std::string& out = logger.Output();
    EXPECT_NE(out.find("記録先 "), std::string::npos) << out;
    EXPECT_NE(out.find("測線: 1  測定値: "), std::string::npos) << out;
    EXPECT_NE(out.find("書き込んだファイル: "), std::string::npos) << out;
    EXPECT_EQ(out.find("Lines:"), std::string::npos) << out;
}

TEST_F(TessickCli, ScriptedKeysAndTheUploadOfEveryRecordedReading) {
    testhttp::Server server;
    ASSERT_TRUE(server.Ready());
    CLogger logger(
        Recording({"--demo", "two-layer", "--gps-demo", "track", "--speed", "50", "--geometry",
                   "10:5:2.5", "--upload", server.URL("/gantrel/upload_gantrel_data.php"),
                   "--script", "0.5 m; 4.5 e; 5 q"}),
        dir / "config");
    logger.CloseKeys();  // keys only from the script
    ASSERT_EQ(logger.Wait(), 0) << logger.Output();
    EXPECT_NE(logger.Output().find("Lines: 1  Readings: 4  Fixes: 4  Markers: 2"),
              std::string::npos)
        << logger.Output();
    EXPECT_NE(logger.Output().find("Upload: 4 offered, 4 uploaded, 0 failed, 0 dropped (queue "
                                   "full), 0 cancelled, 0 waiting at exit"),
              std::string::npos)
        << logger.Output();
    ASSERT_EQ(server.Requests().size(), 4u);
    const auto rec = Records(dir / "data" / "t_0007.sto");
    ASSERT_FALSE(rec.empty());
    EXPECT_EQ(rec[0].rfind("33  GOHM      7.500     10.000      2.500      5.000 ", 0), 0u)
        << "the geometry given, stored as the dialog stores it: " << rec[0];
    EXPECT_NE(server.Requests()[0].sBody.find("<number_of_receiver>5</number_of_receiver>"),
              std::string::npos);
}

TEST_F(TessickCli, LiveModelIsWrittenAtEndLineAndAtQuit) {
    const fs::path ovs = dir / "live.ovs";
    CLogger logger(Recording({"--demo", "two-layer", "--speed", "50", "--live-model", ovs.string(),
                              "--live", "2:4:5:5", "--live-distance", "markers:5", "--script",
                              "0.5 m; 5.5 m; 10.5 m; 15.5 e; 16 q"}),
                   dir / "config");
    logger.CloseKeys();
    ASSERT_EQ(logger.Wait(), 0) << logger.Output();
    const std::string out = logger.Output();
    const std::string written = "Live model written: " + ovs.string();
    const size_t first = out.find(written);
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_LT(first, out.find("Lines: 1")) << "at END LINE, before the summary";
    EXPECT_NE(out.find(written, first + 1), std::string::npos) << "and again at quit";
    // 15 readings, 5 m per 5 readings: 15 m and the 5 m spread of the receivers, in 2 m cells.
    EXPECT_NE(out.find("Live section: 11 columns, 11 inverted, median misfit 0."),
              std::string::npos)
        << out;
    std::ifstream in(ovs, std::ios::binary);
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "2000 8 3.000000\r");
}

TEST_F(TessickCli, UnusableOptionsAndDevicesEndWithTheirStatus) {
    CLogger help({"--help"}, dir / "config");
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.Output().find("--gps-demo track|replay:FILE"), std::string::npos);

    CLogger bad({"--demo", "constant", "--speed", "fast"}, dir / "config");
    EXPECT_EQ(bad.Wait(), 2);
    EXPECT_NE(bad.Output().find("tessick-cli: --speed: 'fast'"), std::string::npos);

    CLogger missing(Recording({"--port", (dir / "no-such-device").string()}), dir / "config");
    EXPECT_EQ(missing.Wait(), 1);
    EXPECT_NE(missing.Output().find("tessick-cli: could not start the instrument on"),
              std::string::npos)
        << missing.Output();

    CLogger noFile(Recording({"--demo", "replay:" + (dir / "absent.txt").string()}),
                   dir / "config");
    EXPECT_EQ(noFile.Wait(), 1);
    EXPECT_NE(noFile.Output().find("Could not open log file"), std::string::npos);
}

// However the run ends, a console lost mid-line gets its END marker and the run says it failed.
TEST_F(TessickCli, AConsoleLostMidLineIsEndedAtQuitAndTheRunFails) {
    const std::vector<std::pair<const char*, int>> endings = {{"q key", 0}, {"SIGTERM", SIGTERM}};
    for (const auto& [how, sig] : endings) {
        SCOPED_TRACE(how);
        fs::remove_all(dir / "data");
        fs::create_directories(dir / "data");
        CDevice console;
        CLogger logger(Recording({"--port", console.Path()}), dir / "config");
        ASSERT_TRUE(logger.WaitFor("Recording to")) << logger.Output();
        logger.Keys("m\n");
        ASSERT_TRUE(logger.WaitFor(">>Start acquisition"));
        console.Send("1.5,100,120,40\r\n");
        std::this_thread::sleep_for(300ms);
        console.Unplug();
        ASSERT_TRUE(logger.WaitFor("was disconnected")) << logger.Output();
        if (sig != 0)
            logger.Signal(sig);
        else
            logger.Keys("q\n");
        EXPECT_EQ(logger.Wait(), 1) << logger.Output();
        EXPECT_NE(logger.Output().find(">>End line"), std::string::npos) << logger.Output();
        EXPECT_NE(logger.Output().find("Instrument disconnected 1 time(s) during the run"),
                  std::string::npos);
        const auto rec = Records(dir / "data" / "t_0007.sto");
        ASSERT_EQ(rec.size(), 4u) << "geometry, START, the reading, END";
        EXPECT_EQ(rec[2].rfind("30 1", 0), 0u);
        EXPECT_EQ(Tail(rec[3]), (std::vector<double>{0, 0, 1, 5})) << rec[3];
    }
}

// Quitting while the disk is full: the readings held are counted, named with their file, and
// the run fails.
TEST_F(TessickCli, ReadingsAFullDiskDidNotTakeAreReportedAtExit) {
    testdata::CSmallDisk disk("cli");
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    ASSERT_TRUE(disk.Fill());
    CLogger logger({"--folder", disk.Folder().string(), "--prefix", "t", "--file-id", "7", "--demo",
                    "constant", "--speed", "50", "--script", "0.5 m; 4.5 q"},
                   dir / "config");
    logger.CloseKeys();
    EXPECT_EQ(logger.Wait(), 1) << logger.Output();
    const std::string file = (disk.Folder() / "t_0007.sto").string();
    EXPECT_NE(logger.Output().find("Readings: 0 "), std::string::npos) << logger.Output();
    const std::string& out = logger.Output();
    const size_t at = out.find(" readings could not be saved to " + file + "\n");
    ASSERT_NE(at, std::string::npos) << out;
    const size_t line = out.rfind('\n', at) + 1;
    EXPECT_GT(std::stoi(out.substr(line, at - line)), 0) << out;
    EXPECT_EQ(fs::exists(file) ? fs::file_size(file) : 0u, 0u) << "no half record either";
}

// Started as a background job of its terminal (output to it stops such a job with "tostop"),
// the logger touches the terminal for nothing but its output and records from its script.
TEST_F(TessickCli, ABackgroundJobRecordsWithoutBeingStopped) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    termios t{};
    tcgetattr(slave, &t);
    t.c_lflag |= TOSTOP;
    tcsetattr(slave, TCSANOW, &t);
    const std::vector<std::string> args =
        Recording({"--demo", "constant", "--speed", "50", "--script", "0.5 m; 3.5 e; 4 q"});
    const pid_t session = fork();
    if (session == 0) {
        // A shell's session: the terminal's foreground is this process's group.
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);  // a group of its own: a background job
            dup2(slave, 0);
            dup2(slave, 1);
            dup2(slave, 2);
            setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
            std::vector<std::string> copy = args;
            std::string program = TESSICK_CLI;
            std::vector<char*> argv{program.data()};
            for (auto& a : copy) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(job, &status, WUNTRACED);
        if (WIFSTOPPED(status)) kill(job, SIGKILL);
        _exit(WIFSTOPPED(status) ? 100 : WIFEXITED(status) ? WEXITSTATUS(status) : 101);
    }
    close(slave);
    std::string output;
    int status = -1;
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{master, POLLIN, 0};
        char buf[4096];
        if (poll(&p, 1, 50) > 0) {
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) output.append(buf, static_cast<size_t>(n));
        }
        if (waitpid(session, &status, WNOHANG) == session) break;
    }
    close(master);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "100: stopped as a background job\n" << output;
    const auto rec = Records(dir / "data" / "t_0007.sto");
    ASSERT_GE(rec.size(), 3u) << output;
    EXPECT_EQ(rec.back().rfind("3 ", 0), 0u) << "the line ended by the script";
}

// Starts that fail (a missing device, a folder that cannot be made) use up no file ID and
// change neither the saved port nor the saved folder: the next run goes on where the last
// good one left off.
TEST_F(TessickCli, AFailedStartLeavesFileIDPortAndFolderAsTheyWere) {
    const fs::path config = dir / "config";
    CDevice console;
    CLogger good(Recording({"--port", console.Path(), "--script", "0.3 q"}), config);
    ASSERT_EQ(good.Wait(), 0) << good.Output();

    CLogger missing({"--port", (dir / "none").string(), "--lang", "ja"}, config);
    EXPECT_EQ(missing.Wait(), 1);
    EXPECT_NE(missing.Output().find("で測定器を開始できません"), std::string::npos)
        << "in the language asked for: " << missing.Output();
    std::ofstream(dir / "file") << "x";
    CLogger folder({"--folder", (dir / "file" / "sub").string(), "--demo", "constant"}, config);
    EXPECT_EQ(folder.Wait(), 1);
    EXPECT_NE(folder.Output().find("tessick-cli: cannot record to the folder " +
                                   (dir / "file" / "sub").string() + ": "),
              std::string::npos)
        << folder.Output();

    std::string stored;
    for (const auto& e : fs::recursive_directory_iterator(config))
        if (e.is_regular_file()) {
            std::ifstream in(e.path());
            stored += std::string(std::istreambuf_iterator<char>(in), {});
        }
    EXPECT_NE(stored.find(console.Path()), std::string::npos) << stored;
    EXPECT_EQ(stored.find((dir / "none").string()), std::string::npos) << stored;
    EXPECT_EQ(stored.find("GantrelData"), std::string::npos) << "no fallback folder saved";

    CLogger next({"--demo", "constant", "--speed", "50", "--script", "0.5 q"}, config);
    ASSERT_EQ(next.Wait(), 0) << next.Output();
    EXPECT_NE(next.Output().find("Recording to " + (dir / "data" / "t_0008.sto").string()),
              std::string::npos)
        << next.Output();
}

// Saved settings that cannot be used stop the run at its start with the file and the reason:
// nothing is recorded in a folder nobody looks at or under a file ID the next run gives again.
TEST_F(TessickCli, UnusableSettingsAreToldAtStartAndNothingIsRecorded) {
    const fs::path config = dir / "config";
    const fs::path ini = config / "Sarovin Applications" / "Tessick.ini";
    const fs::path home = dir / "home";
    auto write = [&](const std::string& text) {
        fs::create_directories(ini.parent_path());
        std::ofstream(ini, std::ios::binary) << text;
    };
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string told;
    } cases[] = {
        {"a folder in place of the file", [&] { fs::create_directories(ini); },
         "tessick-cli: The settings cannot be read (" + ini.string() + ": Is a directory)"},
        {"a NUL in FolderPath",
         [&] { write("[General]\r\nFolderPath=" + (dir / "x").string() + "\\0y\r\n"); },
         "tessick-cli: The data folder '" + (dir / "x").string() +
             "\\x00y' cannot be used (a NUL character in the name): recording to " +
             (home / "GantrelData").string()},
        {"a 100,000-character prefix",
         [&] { write("[General]\r\nFileNamePrefix=" + std::string(100000, 'a') + "\r\n"); },
         "... (100000 characters)' cannot be used (file names of 100013 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(config);
        fs::remove_all(home);
        fs::create_directories(home);
        c.make();
        CLogger run({"--demo", "constant", "--speed", "50", "--script", "0.3 m; 1 e; 2 q"},
                    config, -1, home);
        EXPECT_EQ(run.Wait(), 1) << run.Output();
        EXPECT_NE(run.Output().find(c.told), std::string::npos) << run.Output();
        EXPECT_NE(run.Output().find("tessick-cli: not started: the settings above cannot be used"),
                  std::string::npos)
            << run.Output();
        EXPECT_EQ(run.Output().find("Recording to"), std::string::npos) << run.Output();
        for (const auto& e : fs::recursive_directory_iterator(dir))
            EXPECT_NE(e.path().extension(), ".sto") << e.path();
    }
}

}  // namespace

