// The processing program's side of the upload to the collecting service.
#include "processing/database_commands.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/http_client.h"
#include "common/language.h"
#include "common/settings.h"
#include "common/text_format.h"
#include "exchange/xml_writer.h"
#include "processing/commands.h"
#include "upload/response_text.h"
#include "upload/upload_documents.h"
#include "upload/upload_target.h"

namespace fs = std::filesystem;

namespace {

bool CanUpload(const CBrivaneContext& ctx) {
    return ctx.doc.survey.nLine > 0 && GetHttpClient() != nullptr;
}

// Writes bytes as the file's new content through a temporary in the same folder, so that a
// failed write leaves the previous file as it was.
bool ReplaceFile(const fs::path& path, std::string_view bytes) {
    fs::path temp = path;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

std::string CrLf(std::string_view text) {
    std::string out;
    for (char c : LfLineEnds(text)) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void UploadDataToDatabase(CBrivaneContext& ctx) {
    CHttpClient* client = GetHttpClient();
    if (client == nullptr) return;
    const CGantrelSurvey& survey = ctx.doc.survey;
    ctx.prompter.Message(FormatC(Tr("Number of line = %d Number of data = %d", "測線数 = %d データ数 = %d"),
                                 survey.nLine,
                                 CountSurveyReadings(survey)));

    const fs::path documentFile = kSurveyUploadDocumentFile;
    CXmlDocument doc;
    const CXmlStatus built = BuildSurveyDocument(survey, ctx.doc.sProjectName, doc);
    if (!built.ok()) {
        ctx.Fail(CannotWriteFileMessage(documentFile) + ": " + built.message);
        return;
    }
    const std::string body = doc.Text();
    if (!ReplaceFile(documentFile, body)) {
        ctx.Fail(CannotWriteFileMessage(documentFile));
        return;
    }

    CHttpPost post = UploadRequest(SurveyUploadURL(ctx.doc), kSurveyUploadTimeoutMs,
                                   kSurveyReplyBytes);
    post.iConnectTimeoutMs = kSurveyUploadConnectTimeoutMs;
    const CHttpReply reply = client->Post(post, body);

    // The reply file is replaced by every upload; after a failed one it is empty.
    const fs::path replyFile = kSurveyUploadReplyFile;
    const std::string text =
        reply.Transferred() ? ResponseText(reply.sBody, kSurveyReplyBytes) : std::string();
    const bool replyWritten = ReplaceFile(replyFile, CrLf(text));

    if (!reply.Transferred()) {
        ctx.Fail(FormatC(Tr("An exception occurred.\r\n Error: %d\r\n %s",
                            "例外が発生しました。\r\n エラー: %d\r\n %s"),
                         reply.iError,
                         ResponseText(reply.sError, kUploadErrorMessageBytes).c_str()));
        return;
    }
    for (const std::string& piece : SplitResponse(text, kSurveyReplyPieceBytes))
        ctx.prompter.Message(piece);
    if (!replyWritten) ctx.Fail(CannotWriteFileMessage(replyFile));
    // The reply was shown; an error status still means the survey was not taken.
    if (reply.iStatus >= 400)
        ctx.Failed(FormatC("the service answered with the HTTP status %d", reply.iStatus));
}

void SurveyProperty(CBrivaneContext& ctx) {
    CDlgProperty values;
    values.sProjectName = ctx.doc.sProjectName;
    if (!ctx.prompter.EditDialog(values)) return;
    ctx.doc.sProjectName = values.sProjectName;
    WriteSettingString("sProjectName", values.sProjectName);
}

}  // namespace

std::string SurveyUploadURL(const CBrivaneDoc& doc) {
    return doc.sUploadURL.empty() ? ServiceURL(kSurveyUploadPath) : doc.sUploadURL;
}

void RegisterDatabaseCommands(CCommandTable& table) {
    table.Bind(kCmdUploadDatabase, UploadDataToDatabase, CanUpload);
    table.Bind(kCmdSurveyProperty, SurveyProperty);
}
