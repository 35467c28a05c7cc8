#include "common/http_client.h"

#include <atomic>

namespace {
std::atomic<CHttpClient*> gClient{nullptr};
}  // namespace

void SetHttpClient(CHttpClient* client) {
    gClient.store(client);
}

CHttpClient* GetHttpClient() {
    return gClient.load();
}
