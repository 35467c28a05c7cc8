// The logging program's upload of recorded readings: the upload switch, the URL, the failure
// counter, and one worker that posts the readings in the order they were recorded.
//
// Recording never waits for the network. Submit copies what the document needs (the reading
// and the latest fix) into the document text and queues it; one worker thread posts the
// queued documents one after the other, each bounded by the time limit (2000 ms), so a
// service that accepts the connection and never answers costs the worker at most the limit
// per reading and costs recording nothing. The outcomes come back through TakeEvents, which
// the acquisition's poll tick drains into the received-lines log, in recording order.
//
// The queue holds a bounded number of readings (64 by default, about a minute of readings):
// when a slow service falls that far behind, further readings are not uploaded (they are in
// the survey file all the same), counted as dropped, and one notice says so. The third
// failure in a row switches the upload off and drops what is waiting; a success in between
// resets the count; switching on again starts the count afresh.
//
// UploadMode::Inline posts inside Submit instead (blocking the caller at most the limit), for
// callers that want the Part's synchronous order and for deterministic tests; the events and
// counts are the same.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/http_client.h"
#include "common/survey.h"
#include "upload/upload_target.h"

struct CUploadEvent {
    bool bOk = false;           // the service took the reading
    std::string sResponse;      // for the received-lines log: the reply or the error text
    bool bSwitchedOff = false;  // third failure in a row: the switch is off now; show
                                // kUploadStoppedMessage and uncheck the menu item
    bool bQueueFull = false;    // a notice, not an upload: readings are being dropped
};

// Every reading offered while the switch was on ends in exactly one of the other counts:
// nOffered = nUploaded + nFailed + nDroppedFull + nCancelled + nWaiting.
struct CUploadCounts {
    int nOffered = 0;      // readings handed to Submit while the switch was on
    int nUploaded = 0;     // taken by the service
    int nFailed = 0;       // failed uploads
    int nDroppedFull = 0;  // not queued: the queue was full
    int nCancelled = 0;    // waiting when the switch went off (third failure, the menu)
    int nWaiting = 0;      // queued or being posted at the moment of Counts()
};

enum class UploadMode { Worker, Inline };

class CPrompter;
class CReadingUploader;
// "Setup Brivane database": a text input labelled "URL to uploading data" showing the current
// URL; OK makes the edit the URL and stores it as "sRegistrationURL", Cancel changes
// nothing. True on OK.
bool SetupUploadURL(CPrompter& prompter, CReadingUploader& uploader);

class CReadingUploader {
public:
    // The URL starts as LoadReadingUploadURL(); the switch starts off.
    explicit CReadingUploader(CHttpClient& client, UploadMode mode = UploadMode::Worker,
                              size_t capacity = 64);
    // Drops what is waiting and waits for the upload in progress (at most its limit).
    ~CReadingUploader();
    CReadingUploader(const CReadingUploader&) = delete;
    CReadingUploader& operator=(const CReadingUploader&) = delete;

    // The upload switch ("Upload  data to database"). Off drops the readings waiting; an
    // upload in progress still ends and reports, but no longer counts.
    void SetEnabled(bool bOn);
    bool IsEnabled() const;
    // Readings submitted from now on go to url.
    void SetURL(std::string url);
    std::string URL() const;
    void SetTimeoutMs(int iTimeoutMs);

    // Call after the reading was written to the survey file, while recording and not paused.
    // latestFix: the latest GPS fix, null when none was received. False when the reading is
    // not to be uploaded: the switch is off, or the queue is full.
    bool Submit(const CGantrelData& reading, const CGPSData* latestFix);

    // Outcomes since the last call, oldest first (at most the last 1000 are kept).
    std::vector<CUploadEvent> TakeEvents();
    // Called on the worker thread after each new event, without any lock held (e.g. to wake
    // a window's event loop); it may call TakeEvents.
    void SetNotify(std::function<void()> notify);

    // Waits until no reading is waiting or being posted, at most limit; true when idle.
    bool WaitIdle(std::chrono::milliseconds limit);
    CUploadCounts Counts() const;

private:
    struct Item {
        std::string sURL;
        std::string sBody;
        unsigned iGeneration = 0;
    };
    void Run();
    // Records one outcome; the lock is held.
    void RecordLocked(unsigned iGeneration, const CUploadAttempt& attempt);
    void PushEventLocked(CUploadEvent event);
    void DropWaitingLocked();
    void Notify();

    CHttpClient& client_;
    const UploadMode mode_;
    const size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Item> queue_;
    std::deque<CUploadEvent> events_;
    std::function<void()> notify_;
    std::string sURL_;
    int iTimeoutMs_ = kReadingUploadTimeoutMs;
    bool bEnabled_ = false;
    bool bBusy_ = false;
    bool bStop_ = false;
    bool bFullReported_ = false;
    // Changes whenever the switch does, so that a reply to an older session is not counted.
    unsigned iGeneration_ = 0;
    CUploadFailureCounter counter_;
    CUploadCounts counts_;
    std::thread worker_;  // last: starts when everything above exists
};
