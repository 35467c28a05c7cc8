#include "upload/reading_uploader.h"

#include <utility>

#include "common/prompter.h"
#include "upload/upload_documents.h"

namespace {
constexpr size_t kMaxEvents = 1000;
}  // namespace

bool SetupUploadURL(CPrompter& prompter, CReadingUploader& uploader) {
    const auto url =
        prompter.InputText("Setup Brivane database", "URL to uploading data", uploader.URL());
    if (!url) return false;
    uploader.SetURL(*url);
    StoreReadingUploadURL(*url);
    return true;
}

CReadingUploader::CReadingUploader(CHttpClient& client, UploadMode mode, size_t capacity)
    : client_(client),
      mode_(mode),
      capacity_(capacity > 0 ? capacity : 1),
      sURL_(LoadReadingUploadURL()) {
    if (mode_ == UploadMode::Worker) worker_ = std::thread([this] { Run(); });
}

CReadingUploader::~CReadingUploader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        bStop_ = true;
        queue_.clear();
    }
    work_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void CReadingUploader::SetEnabled(bool bOn) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (bOn == bEnabled_) return;
        bEnabled_ = bOn;
        ++iGeneration_;
        counter_.Reset();
        bFullReported_ = false;
        if (!bOn) DropWaitingLocked();
    }
    idle_.notify_all();
}

bool CReadingUploader::IsEnabled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return bEnabled_;
}

void CReadingUploader::SetURL(std::string url) {
    std::lock_guard<std::mutex> lock(mutex_);
    sURL_ = std::move(url);
}

std::string CReadingUploader::URL() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sURL_;
}

void CReadingUploader::SetTimeoutMs(int iTimeoutMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    iTimeoutMs_ = iTimeoutMs;
}

bool CReadingUploader::Submit(const CGantrelData& reading, const CGPSData* latestFix) {
    if (!IsEnabled()) return false;
    Item item;
    item.sBody = BuildReadingDocument(reading, latestFix);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!bEnabled_ || bStop_) return false;
    ++counts_.nOffered;
    item.sURL = sURL_;
    item.iGeneration = iGeneration_;
    if (mode_ == UploadMode::Inline) {
        bBusy_ = true;
        const int timeout = iTimeoutMs_;
        lock.unlock();
        const CUploadAttempt attempt = PostReadingDocument(client_, item.sURL, item.sBody, timeout);
        lock.lock();
        RecordLocked(item.iGeneration, attempt);
        bBusy_ = false;
        lock.unlock();
        idle_.notify_all();
        Notify();
        return true;
    }
    if (queue_.size() >= capacity_) {
        ++counts_.nDroppedFull;
        if (!bFullReported_) {
            bFullReported_ = true;
            CUploadEvent e;
            e.bQueueFull = true;
            e.sResponse =
                "Upload queue full: readings are not uploaded until the service catches up";
            PushEventLocked(std::move(e));
            lock.unlock();
            Notify();
        }
        return false;
    }
    queue_.push_back(std::move(item));
    lock.unlock();
    work_.notify_one();
    return true;
}

std::vector<CUploadEvent> CReadingUploader::TakeEvents() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<CUploadEvent> out(std::make_move_iterator(events_.begin()),
                                  std::make_move_iterator(events_.end()));
    events_.clear();
    return out;
}

void CReadingUploader::SetNotify(std::function<void()> notify) {
    std::lock_guard<std::mutex> lock(mutex_);
    notify_ = std::move(notify);
}

bool CReadingUploader::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, limit, [this] { return queue_.empty() && !bBusy_; });
}

CUploadCounts CReadingUploader::Counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    CUploadCounts c = counts_;
    c.nWaiting = static_cast<int>(queue_.size()) + (bBusy_ ? 1 : 0);
    return c;
}

void CReadingUploader::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return bStop_ || !queue_.empty(); });
        if (bStop_) return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        bBusy_ = true;
        const int timeout = iTimeoutMs_;
        lock.unlock();
        const CUploadAttempt attempt = PostReadingDocument(client_, item.sURL, item.sBody, timeout);
        lock.lock();
        RecordLocked(item.iGeneration, attempt);
        bBusy_ = false;
        idle_.notify_all();
        lock.unlock();
        Notify();
        lock.lock();
    }
}

void CReadingUploader::RecordLocked(unsigned iGeneration, const CUploadAttempt& attempt) {
    CUploadEvent e;
    e.bOk = attempt.bOk;
    e.sResponse = attempt.sResponse;
    if (attempt.bOk) {
        ++counts_.nUploaded;
        bFullReported_ = false;
    } else {
        ++counts_.nFailed;
    }
    if (iGeneration == iGeneration_ && bEnabled_ && counter_.Count(attempt.bOk)) {
        bEnabled_ = false;
        ++iGeneration_;
        DropWaitingLocked();
        e.bSwitchedOff = true;
    }
    PushEventLocked(std::move(e));
}

void CReadingUploader::PushEventLocked(CUploadEvent event) {
    if (events_.size() >= kMaxEvents) events_.pop_front();
    events_.push_back(std::move(event));
}

void CReadingUploader::DropWaitingLocked() {
    counts_.nCancelled += static_cast<int>(queue_.size());
    queue_.clear();
}

void CReadingUploader::Notify() {
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        notify = notify_;
    }
    if (notify) notify();
}
