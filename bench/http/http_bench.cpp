// HTTP engine benchmark: one large body fetched through FCHttpRequestManager
// (callbacks that only count bytes) against a bare WinINet loop with the same
// 64 KiB reads (the engine's while data keeps up) that keeps the body too,
// taking turns in this one process.
// A loop that drops the bytes is measured as well, for what holding costs.
//
// Usage: http_bench <url or path> <body bytes> <rounds>
// A path is taken relative to HTTP_TEST_URL (set by the test server's
// "serve.py -- command" form). Prints BENCH lines with the throughput of each
// side and the peak private bytes, then the two RATIO lines.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "http/http_request_manager.h"
#include "http/internet_handle.h"

namespace {

double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Committed private memory of this process: what Windows calls private bytes.
SIZE_T privateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    const char* address = nullptr;
    while (::VirtualQuery(address, &info, sizeof(info)) == sizeof(info)) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

// Samples privateBytes() every few milliseconds while it lives.
class PeakSampler {
public:
    PeakSampler() : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_.reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
    }
    ~PeakSampler() {
        ::SetEvent(stop_.get());
        ::WaitForSingleObject(thread_.get(), INFINITE);
    }
    void Sample() {
        const SIZE_T current = privateBytes();
        for (;;) {
            const LONG seen = peak_;
            if (static_cast<SIZE_T>(seen) >= current) break;
            if (::InterlockedCompareExchange(&peak_, static_cast<LONG>(current), seen) == seen) break;
        }
    }
    SIZE_T Peak() const { return static_cast<SIZE_T>(peak_); }

private:
    static DWORD WINAPI Run(void* self) {
        auto* sampler = static_cast<PeakSampler*>(self);
        do {
            sampler->Sample();
        } while (::WaitForSingleObject(sampler->stop_.get(), 2) == WAIT_TIMEOUT);
        return 0;
    }
    base::unique_handle stop_;
    base::unique_handle thread_;
    volatile LONG peak_ = 0;
};

class CountingManager : public FCHttpRequestManager {
public:
    long long bytes = 0;
    bool done = false;
    std::string body;
    PeakSampler* sampler = nullptr;

protected:
    void OnDataReceived(FCHttpRequest&, int byteCount) override { bytes += byteCount; }
    void OnRequestFinished(FCHttpRequest& request) override {
        request.TakeReceivedData(body);  // held once, as the pipeline holds a download
        if (sampler) sampler->Sample();
        done = true;
    }
};

// Bytes per second through the manager; 0 when the body came back short.
double runOurs(const std::wstring& url, long long size, PeakSampler* sampler) {
    CountingManager manager;
    manager.sampler = sampler;
    RequestHeader header;
    header.url = url;
    const double start = now();
    manager.AddRequest(header);
    MSG message;
    while (!manager.done && ::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    const double seconds = now() - start;
    if (manager.bytes != size || static_cast<long long>(manager.body.size()) != size) {
        std::fprintf(stderr, "ours: got %lld bytes of %lld\n", manager.bytes, size);
        return 0;
    }
    return static_cast<double>(size) / seconds;
}

// Bytes per second through a plain WinINet loop with the engine's flags and
// reads. With `keep`, the loop holds the body as the engine does (reserved
// from Content-Length, appended per read), so the two differ only by the
// engine's threads, notifications and locking; without, the bytes are dropped.
double runBare(const std::wstring& url, long long size, bool keep) {
    wchar_t host[256] = {}, path[1024] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 1024;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) return 0;
    std::string body;
    const double start = now();
    http::unique_hinternet session(::InternetOpenW(L"bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    http::unique_hinternet connection(
        ::InternetConnectW(session.get(), host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    http::unique_hinternet request(::HttpOpenRequestW(connection.get(), L"GET", path, nullptr, nullptr, nullptr,
                                                      RequestHeader::defaultOpenFlags, 0));
    if (!::HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return 0;
    if (keep) {
        DWORD length = 0, lengthSize = sizeof(length);
        if (::HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &lengthSize,
                             nullptr)) {
            body.reserve(length);
        }
    }
    static char buffer[65536];
    DWORD read = 0;
    long long total = 0;
    while (::InternetReadFile(request.get(), buffer, sizeof(buffer), &read) && read != 0) {
        if (keep) body.append(buffer, read);
        total += read;
    }
    const double seconds = now() - start;
    if (total != size || (keep && static_cast<long long>(body.size()) != size)) {
        std::fprintf(stderr, "bare: got %lld bytes of %lld\n", total, size);
        return 0;
    }
    return static_cast<double>(size) / seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fputs("usage: http_bench <url or path> <body bytes> <rounds>\n", stderr);
        return 2;
    }
    std::wstring url = argv[1];
    if (!url.empty() && url[0] == L'/') {
        wchar_t base[256] = {};
        const DWORD length = ::GetEnvironmentVariableW(L"HTTP_TEST_URL", base, 256);
        if (length == 0 || length >= 256) {
            std::fputs("http_bench: a path needs HTTP_TEST_URL\n", stderr);
            return 2;
        }
        url = base + url;
    }
    const long long size = _wtoi64(argv[2]);
    const int rounds = std::max(1, _wtoi(argv[3]));

    std::vector<double> ours, bare, dropping;
    for (int round = 0; round < rounds; ++round) {
        // Rotate who goes first, so no side always meets a warm or a cold machine.
        for (int turn = 0; turn < 3; ++turn) {
            switch ((round + turn) % 3) {
            case 0: ours.push_back(runOurs(url, size, nullptr)); break;
            case 1: bare.push_back(runBare(url, size, true)); break;
            case 2: dropping.push_back(runBare(url, size, false)); break;
            }
        }
        if (ours.back() == 0 || bare.back() == 0 || dropping.back() == 0) return 1;
        std::printf("BENCH http_round_%d_engine_throughput %.1f MB/s\n", round + 1, ours.back() / 1e6);
        std::printf("BENCH http_round_%d_bare_throughput %.1f MB/s\n", round + 1, bare.back() / 1e6);
        std::printf("BENCH http_round_%d_bare_dropping_throughput %.1f MB/s\n", round + 1, dropping.back() / 1e6);
    }
    // Memory apart, so the sampler costs the throughput rounds nothing.
    SIZE_T peak = 0;
    const SIZE_T before = privateBytes();
    {
        PeakSampler sampler;
        if (runOurs(url, size, &sampler) == 0) return 1;
        peak = sampler.Peak();
    }
    std::printf("BENCH http_engine_throughput %.1f MB/s\n", median(ours) / 1e6);
    std::printf("BENCH http_bare_throughput %.1f MB/s\n", median(bare) / 1e6);
    std::printf("BENCH http_bare_dropping_throughput %.1f MB/s\n", median(dropping) / 1e6);
    // The engine against a loop that does not even keep the body: what holding it costs.
    std::printf("BENCH http_engine_vs_bare_dropping %.3f ratio\n", median(ours) / median(dropping));
    std::printf("BENCH http_private_bytes_before %lu bytes\n", static_cast<unsigned long>(before));
    std::printf("BENCH http_peak_private_bytes %lu bytes\n", static_cast<unsigned long>(peak));
    std::printf("RATIO http_engine_vs_bare_wininet %.3f\n", median(ours) / median(bare));
    std::printf("RATIO http_peak_memory_per_body_byte %.3f\n", static_cast<double>(peak) / static_cast<double>(size));
    return 0;
}
