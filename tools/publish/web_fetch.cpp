#include "web_fetch.h"

#include "http/finished_request.h"

WebFetcher::Result WebFetcher::fetch(const std::wstring& url, HANDLE file, Sha256Hash* hash, long long maxBytes,
                                     std::wstring& failure, DWORD& storeError, long long& bytes) {
    file_ = file;
    hash_ = hash;
    stored_ = 0;
    // Until the request says otherwise (a loop that ends without it is no success).
    failure_ = L"Download error.";
    result_ = Result::RequestFailed;
    storeError_ = 0;
    done_ = false;
    RequestHeader header;
    header.headerText = L"Accept: */*\r\n";
    header.url = url;
    header.maxBodyBytes = maxBytes;
    requestId_ = AddRequest(header);
    MSG message;
    while (!done_ && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    if (!done_) {
        DeleteRequest(requestId_);
        done_ = true;  // nothing that still comes for it is taken
    }
    failure = failure_;
    storeError = storeError_;
    bytes = stored_;
    return result_;
}

void WebFetcher::end(Result result) {
    result_ = result;
    done_ = true;
}

void WebFetcher::endWithFailure(const std::wstring& text) {
    failure_ = text;
    end(Result::RequestFailed);
}

// Takes what has arrived and writes it on; false (and the fetch ended) when
// it cannot be stored.
bool WebFetcher::storeArrived(FCHttpRequest& request) {
    request.TakeReceivedData(chunk_);
    if (chunk_.empty()) return true;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(chunk_.size());
    if (!::WriteFile(file_, chunk_.data(), size, &written, nullptr) || written != size) {
        storeError_ = ::GetLastError();
        end(Result::StoreFailed);
        return false;
    }
    if (hash_ != nullptr && !hash_->add(chunk_.data(), size)) {
        storeError_ = ::GetLastError();
        end(Result::StoreFailed);
        return false;
    }
    stored_ += size;
    std::string().swap(chunk_);
    return true;
}

void WebFetcher::OnResponseHeaders(FCHttpRequest& request) {
    if (done_ || request.GetId() != requestId_) return;
    if (request.GetResponseInfo().statusCode != 0) return;
    DeleteRequest(request.GetId());
    endWithFailure(unansweredRequestFailure(request));
}

void WebFetcher::OnDataReceived(FCHttpRequest& request, int) {
    if (done_ || request.GetId() != requestId_) return;
    // Only the body of a good answer is worth keeping; any other is judged at its end.
    if (request.GetResponseInfo().statusCode == 200 && !storeArrived(request)) DeleteRequest(request.GetId());
}

void WebFetcher::OnRequestFinished(FCHttpRequest& request) {
    if (done_ || request.GetId() != requestId_) return;
    try {
        if (request.GetResponseInfo().statusCode == 200) {
            if (request.BodyTooLarge()) {
                end(Result::TooLarge);
                return;
            }
            if (!storeArrived(request)) return;
            if (bodyComplete(request, stored_)) {
                end(Result::Stored);
                return;
            }
        }
        endWithFailure(finishedRequestFailure(request));
    } catch (...) {
        endWithFailure(L"Download error.");
    }
}
