// The magnetometer console played on a pseudo-terminal: a stored survey as the console sends
// it in its 'Manual ASCII transfer' (the mapping file's records, newest first, with the
// readings in the console's own line layout, GGA sentences and status lines starting with 0
// between them), written in pieces at a serial line's pace.
#pragma once

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/resistivity.h"
#include "common/survey.h"
#include "common/survey_file.h"
#include "common/text_format.h"
#include "tests/support/pty_pair.h"

namespace consoletest {

namespace fs = std::filesystem;

class CConsolePty : public testpty::CPtyPair {
public:
    CConsolePty() = default;
    ~CConsolePty() { Join(); }

    // Writes the bytes and waits until the reading side has them queued.
    void Send(std::string_view bytes) {
        if (WriteAll(bytes)) WaitQueued(bytes.size());
    }
    // Sends in pieces of `piece` bytes from a thread of its own, at about `baud` (ten bits a
    // byte), as a console does; Done() tells when the last piece is written.
    void SendPaced(std::string bytes, size_t piece, int baud) {
        Join();
        done_ = false;
        writer_ = std::thread([this, bytes = std::move(bytes), piece, baud] {
            const auto perPiece = std::chrono::microseconds(
                static_cast<long long>(piece) * 10 * 1000000 / baud);
            for (size_t at = 0; at < bytes.size(); at += piece) {
                WriteAll(std::string_view(bytes).substr(at, piece));
                std::this_thread::sleep_for(perPiece);
            }
            done_ = true;
        });
    }
    bool Done() const { return done_; }
    void Join() {
        if (writer_.joinable()) writer_.join();
    }

private:
    std::thread writer_;
    std::atomic<bool> done_{true};
};

inline std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The console's reading line of a mapping reading record "30 n v 0 v 0 ... time date": a
// record number, receiver 1 as "v,55,80,55" (levels 5.5 and 8.0, current level 5, status 5),
// the others as "v,50,55", time, date and two trailing fields.
inline std::string ConsoleReadingLine(std::string_view record, int number) {
    std::vector<std::string> t;
    std::istringstream in{std::string(record)};
    for (std::string s; in >> s;) t.push_back(s);
    const int n = std::stoi(t[1]);
    std::string line = std::to_string(number % 2 == 0 ? 1 : 2);
    for (int k = 0; k < n; ++k)
        line += " " + t[static_cast<size_t>(2 + 2 * k)] + (k == 0 ? ",55,80,55" : ",50,55");
    line += " " + t[static_cast<size_t>(2 + 2 * n)] + " " + t[static_cast<size_t>(3 + 2 * n)];
    line += " 12 0";
    return line;
}

struct ConsoleSurvey {
    std::string stream;       // what the console sends
    std::string destination;  // what the destination file must hold afterwards
    int nReading = 0;
    int nLine = 0;  // lines the console sends (every kind)
    std::vector<float> firstResistances;  // receiver values of the line's first reading
};

// A stored survey of one line: `readings` readings of three receivers one second apart,
// markers 0 (at 0 m), 1 (at the middle) and 2 (at the end, 50 m per marker).
inline ConsoleSurvey MakeConsoleSurvey(const fs::path& folder, int readings) {
    CGantrelSurvey survey;
    CGantrelLine& line = *survey.AddLine();
    line.pGeometry->fReceiverDipole = line.pGeometry->fTransmitterDipole = 2.5f;
    line.pGeometry->fRopeLength = 5.0f;
    const std::int64_t start = 1245030000;
    for (int i = 0; i < readings; ++i) {
        CGantrelData& d = *line.AddData();
        d.time = start + i;
        d.iMilliSecond = 450;
        d.nReceiver = 3;
        for (int j = 0; j < 3; ++j) d.fResistance[j] = 100.125f - 25.0f * static_cast<float>(j) + static_cast<float>(i);
        d.iCurrentLevel[0] = d.iCurrentLevel[1] = d.iCurrentLevel[2] = 5;
    }
    const int marks[] = {0, readings / 2, readings - 1};
    for (int k = 0; k < 3; ++k) {
        CMarkerData& m = *line.AddMarker();
        m.iDataIndex = marks[k];
        m.time = start + marks[k];
        m.dY = 50.0 * k;
        m.fDistance = static_cast<float>(m.dY);
        m.iMarkerNumber = k;
        m.iLineID = 0;
    }
    const fs::path stn = folder / "stored.stn";
    EXPECT_TRUE(WriteMappingFile(survey, stn));
    std::istringstream in(ReadBytes(stn));
    ConsoleSurvey c;
    int number = 0;
    bool header = true;
    for (std::string rec; std::getline(in, rec);) {
        if (!rec.empty() && rec.back() == '\r') rec.pop_back();
        if (header) {  // "99 0 0 1" is the file's, not the console's
            header = false;
            continue;
        }
        if (rec.rfind("30", 0) == 0) {
            c.stream += ConsoleReadingLine(rec, number) + "\r\n";
            c.destination += rec + "\r\n";
            ++c.nReading;
            ++c.nLine;
            if (++number % 3 == 0) {
                const std::string gga =
                    "$GPGGA,003000.00,3512.00009,N,13942.00019,E,1,09,0.9,11.5,M,39.5,M,,*5C";
                c.stream += gga + "\r\n";
                c.destination += gga + "\r\n";
                ++c.nLine;
            }
            if (number % 10 == 0) {  // the console's status line, not a record
                c.stream += "0 " + std::to_string(number) + " 0\r\n";
                ++c.nLine;
            }
        } else {
            c.stream += rec + "\r\n";
            c.destination += rec + "\r\n";
            ++c.nLine;
        }
    }
    for (int j = 0; j < 3; ++j) c.firstResistances.push_back(line.pData[0].fResistance[j]);
    return c;
}

}  // namespace consoletest
