// Certificate helper for the HTTPS scenarios; runs inside a scenario's prefix,
// so what it trusts is trusted there only.
//
//   certtool trust FILE          adds the certificate in FILE (PEM or DER) to the
//                                local machine's Root store
//   certtool trusted FILE        exits 0 when that certificate is in the local
//                                machine's Root store, 1 when not
//   certtool verify FILE HOST    checks the certificate as a TLS server's for HOST
//                                the way WinINet does (chain, then the SSL policy);
//                                prints "chain 0x<trust errors> policy 0x<error>",
//                                exits 0 when the system accepts it, 1 when not
// Exit code 2: wrong arguments, 3: the file cannot be read or decoded.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/unique_any.h"

namespace {

constexpr int kRefused = 1;
constexpr int kUsageError = 2;
constexpr int kBadFile = 3;

inline void closeStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }
inline void freeCertificate(PCCERT_CONTEXT certificate) { ::CertFreeCertificateContext(certificate); }
inline void freeChain(PCCERT_CHAIN_CONTEXT chain) { ::CertFreeCertificateChain(chain); }

using unique_store = base::unique_any<base::simple_traits<HCERTSTORE, nullptr, closeStore>>;
using unique_certificate = base::unique_any<base::simple_traits<PCCERT_CONTEXT, nullptr, freeCertificate>>;
using unique_chain = base::unique_any<base::simple_traits<PCCERT_CHAIN_CONTEXT, nullptr, freeChain>>;

void print(const std::string& line) {
    const std::string text = line + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void printError(const char* what) {
    char line[160];
    std::snprintf(line, sizeof line, "%s failed: error 0x%08lx", what, ::GetLastError());
    print(line);
}

bool readFile(const wchar_t* path, std::vector<BYTE>& bytes) {
    base::unique_file file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 20)) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

// PEM ("-----BEGIN CERTIFICATE-----") or DER.
unique_certificate loadCertificate(const wchar_t* path) {
    std::vector<BYTE> bytes;
    if (!readFile(path, bytes)) return unique_certificate();
    std::vector<BYTE> der;
    DWORD size = 0;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    const DWORD length = static_cast<DWORD>(bytes.size());
    if (::CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr) && size) {
        der.resize(size);
        if (!::CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) {
            return unique_certificate();
        }
        der.resize(size);
    } else {
        der = bytes;
    }
    return unique_certificate(
        ::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size())));
}

unique_store openMachineRoot(DWORD access) {
    return unique_store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE | access,
                                        L"Root"));
}

int trust(PCCERT_CONTEXT certificate) {
    const unique_store root = openMachineRoot(0);
    if (!root) {
        printError("CertOpenStore");
        return kRefused;
    }
    if (!::CertAddCertificateContextToStore(root.get(), certificate, CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        printError("CertAddCertificateContextToStore");
        return kRefused;
    }
    print("trusted");
    return 0;
}

int trusted(PCCERT_CONTEXT certificate) {
    const unique_store root = openMachineRoot(CERT_STORE_READONLY_FLAG);
    if (!root) {
        printError("CertOpenStore");
        return kRefused;
    }
    const unique_certificate found(::CertFindCertificateInStore(root.get(), X509_ASN_ENCODING, 0, CERT_FIND_EXISTING,
                                                                certificate, nullptr));
    print(found ? "present" : "absent");
    return found ? 0 : kRefused;
}

int verify(PCCERT_CONTEXT certificate, const wchar_t* host) {
    // What WinINet asks of a server's certificate: a chain for server
    // authentication, then the SSL policy for the host name.
    LPSTR usage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
    unique_chain chain;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0, nullptr,
                                   chain.put())) {
        printError("CertGetCertificateChain");
        return kRefused;
    }
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host);
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara, &status)) {
        printError("CertVerifyCertificateChainPolicy");
        return kRefused;
    }
    char line[96];
    std::snprintf(line, sizeof line, "chain 0x%08lx policy 0x%08lx", chain.get()->TrustStatus.dwErrorStatus,
                  status.dwError);
    print(line);
    return status.dwError == 0 ? 0 : kRefused;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return kUsageError;
    const std::wstring command = argv[1];
    const unique_certificate certificate = loadCertificate(argv[2]);
    if (!certificate) {
        printError("reading the certificate");
        return kBadFile;
    }
    if (command == L"trust" && argc == 3) return trust(certificate.get());
    if (command == L"trusted" && argc == 3) return trusted(certificate.get());
    if (command == L"verify" && argc == 4) return verify(certificate.get(), argv[3]);
    return kUsageError;
}
