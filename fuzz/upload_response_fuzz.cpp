// libFuzzer target for what the collecting service answers. The first two bytes choose an
// HTTP status and a size limit; the rest is the reply (or the transport's error message).
// Whatever comes, the text shown must be valid UTF-8 without control characters other than
// tab, CR and LF, within its limit, unchanged when made fit to show again; its pieces must
// give back the text, each within its size; and the reply file's text must hold no CR.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "upload/response_text.h"
#include "upload/upload_target.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "upload_response_fuzz: %s\n", what);
    std::abort();
}

void CheckShowable(const std::string& text, size_t limit) {
    Check(text.size() <= limit, "text longer than its limit");
    Check(ResponseText(text, text.size()) == text, "text not stable when made fit again");
    for (unsigned char c : text)
        Check(c >= 0x20 || c == '\t' || c == '\r' || c == '\n', "control character shown");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int status = 100 + data[0] * 2;              // 100 .. 610
    const size_t limit = static_cast<size_t>(data[1]);  // 0 .. 255, small to reach the cuts
    const std::string_view reply(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::string shown = ResponseText(reply, limit);
    CheckShowable(shown, limit);
    const std::string whole = ResponseText(reply, reply.size());
    Check(whole.size() == reply.size(), "a byte was lost or added");
    Check(whole.compare(0, shown.size(), shown) == 0, "cut text is not the start of the whole");

    const size_t piece = limit < 4 ? 4 : limit;
    std::string joined;
    for (const std::string& p : SplitResponse(whole, piece)) {
        Check(p.size() <= piece, "piece longer than asked");
        Check(ResponseText(p, p.size()) == p, "piece cut inside a character");
        joined += p;
    }
    Check(joined == whole, "pieces do not give back the text");

    Check(LfLineEnds(reply).find('\r') == std::string::npos, "CR left in the file text");

    CHttpReply r;
    r.iStatus = status;
    r.sBody = std::string(reply);
    const CUploadAttempt ok = JudgeUploadReply(r, limit);
    Check(ok.bOk == (status < 400), "status judged wrongly");
    CheckShowable(ok.sResponse, limit + kUploadErrorMessageBytes + 64);
    r.iError = 28;
    r.sError = std::string(reply);
    const CUploadAttempt failed = JudgeUploadReply(r, limit);
    Check(!failed.bOk, "transport error judged a success");
    CheckShowable(failed.sResponse, kUploadErrorMessageBytes + 64);
    return 0;
}
