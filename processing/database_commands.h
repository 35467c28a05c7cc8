// "Upload data to database" and "Survey property" (submenu "Database" of the Japanese
// option menu): the open survey sent to the collecting service as one XML document, and the
// survey's project name that goes with it.
#pragma once

#include <cstddef>
#include <string>

#include "common/prompter.h"

// The dialog "Property" with the edit "Project name".
struct CDlgProperty : CDialogValues {
    std::string sProjectName;
    std::string DialogName() const override { return "Property"; }
};

// Files the upload leaves in the process's current directory: the document sent, and the
// service's reply.
inline constexpr const char* kSurveyUploadDocumentFile = "test.xml";
inline constexpr const char* kSurveyUploadReplyFile = "UploadDataToDatabase.txt";
// A whole survey can be megabytes: the exchange may take this long once connected, ms.
inline constexpr int kSurveyUploadConnectTimeoutMs = 2000;
inline constexpr int kSurveyUploadTimeoutMs = 30000;
// Reply bytes kept, and the size of the pieces shown one message box each.
inline constexpr size_t kSurveyReplyBytes = 65536;
inline constexpr size_t kSurveyReplyPieceBytes = 8192;

// The URL the survey goes to: the document's override when set (the batch line's --upload),
// else the survey path at the service address.
class CBrivaneDoc;
std::string SurveyUploadURL(const CBrivaneDoc& doc);
